// Objects: fetching by path, system properties, class definitions with their methods, spawned instances,
// and that every object handed out is the client's own copy.
#include "WmiClient.h"

namespace HyperVSimTest {
namespace {

using ObjectTest = HostTest;

const std::wstring hostPath =
    L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
    L"Name=\"HVSIM01\"";

TEST_F(ObjectTest, GetObjectFindsAnInstanceByFullOrRelativePathWrittenAnyWay) {
    for (const std::wstring& path :
         {hostPath, std::wstring(L"Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"HVSIM01\""),
          std::wstring(L"msvm_computersystem.name='hvsim01',CreationClassName='MSVM_COMPUTERSYSTEM'"),
          std::wstring(L"//./root/virtualization/v2:Msvm_ComputerSystem.Name=\"HVSIM01\","
                       L"CreationClassName=\"Msvm_ComputerSystem\"")}) {
        Ref<IWbemClassObject> object;
        ASSERT_EQ(getObject(services.get(), path, object), S_OK) << std::string(path.begin(), path.end());
        EXPECT_EQ(text(object.get(), L"__PATH"), hostPath);
        EXPECT_EQ(text(object.get(), L"Description"), L"Microsoft Hosting Computer System");
    }
}

TEST_F(ObjectTest, GetObjectReportsWhatIsWrongWithAPath) {
    const std::pair<std::wstring, HRESULT> cases[] = {
        {L"Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"NOSUCH\"", wbem(WBEM_E_NOT_FOUND)},
        {L"Msvm_NoSuchClass", wbem(WBEM_E_INVALID_CLASS)},
        {L"Msvm_NoSuchClass.Name=\"x\"", wbem(WBEM_E_INVALID_CLASS)},
        {L"Msvm_ComputerSystem.Name=", wbem(WBEM_E_INVALID_OBJECT_PATH)},
        {L"Msvm_ComputerSystem.Name=\"unterminated", wbem(WBEM_E_INVALID_OBJECT_PATH)},
        {L"\\\\HVSIM01\\root\\cimv2:Msvm_ComputerSystem", wbem(WBEM_E_INVALID_NAMESPACE)},
    };
    for (const auto& [path, expected] : cases) {
        Ref<IWbemClassObject> object;
        EXPECT_EQ(getObject(services.get(), path, object), expected) << std::string(path.begin(), path.end());
        EXPECT_FALSE(object);
    }
}

TEST_F(ObjectTest, GetObjectOfAnEmptyPathGivesAnEmptyClass) {
    Ref<IWbemClassObject> object;
    ASSERT_EQ(services->GetObject(nullptr, 0, nullptr, object.out(), nullptr), S_OK);
    ASSERT_TRUE(object);
    EXPECT_EQ(i4(object.get(), L"__PROPERTY_COUNT"), 0);
    Ref<IWbemClassObject> spawned;
    EXPECT_EQ(object->SpawnInstance(0, spawned.out()), wbem(WBEM_E_INCOMPLETE_CLASS));
}

TEST_F(ObjectTest, InstancesCarryTheirSystemProperties) {
    Ref<IWbemClassObject> host;
    ASSERT_EQ(getObject(services.get(), hostPath, host), S_OK);
    EXPECT_EQ(text(host.get(), L"__RELPATH"),
              L"Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"HVSIM01\"");
    EXPECT_EQ(text(host.get(), L"__CLASS"), L"Msvm_ComputerSystem");
    EXPECT_EQ(text(host.get(), L"__SUPERCLASS"), L"CIM_ComputerSystem");
    EXPECT_EQ(text(host.get(), L"__DYNASTY"), L"CIM_ManagedElement");
    EXPECT_EQ(text(host.get(), L"__SERVER"), L"HVSIM01");
    EXPECT_EQ(text(host.get(), L"__NAMESPACE"), L"root\\virtualization\\v2");
    EXPECT_EQ(text(host.get(), L"__Path"), hostPath);  // names are case-insensitive
    EXPECT_EQ(i4(host.get(), L"__GENUS"), 2);

    Var derivation;
    CIMTYPE type = 0;
    LONG flavor = 0;
    ASSERT_EQ(host->Get(L"__DERIVATION", 0, derivation.get(), &type, &flavor), S_OK);
    EXPECT_EQ(derivation->vt, VT_ARRAY | VT_BSTR);
    EXPECT_EQ(type, CIM_STRING | CIM_FLAG_ARRAY);
    EXPECT_EQ(flavor, WBEM_FLAVOR_ORIGIN_SYSTEM);
    LONG upper = -1;
    SafeArrayGetUBound(derivation->parray, 1, &upper);
    BSTR nearest = nullptr;
    LONG first = 0;
    SafeArrayGetElement(derivation->parray, &first, &nearest);
    EXPECT_EQ(std::wstring(nearest), L"CIM_ComputerSystem");
    SysFreeString(nearest);
    EXPECT_EQ(upper, 5);  // six ancestors up to CIM_ManagedElement

    Var count;
    ASSERT_EQ(host->Get(L"__PROPERTY_COUNT", 0, count.get(), &type, nullptr), S_OK);
    EXPECT_EQ(count->vt, VT_I4);
    EXPECT_EQ(type, CIM_SINT32);
    EXPECT_GT(count->lVal, 10);

    Var missing;
    EXPECT_EQ(host->Get(L"NoSuchProperty", 0, missing.get(), nullptr, nullptr), wbem(WBEM_E_NOT_FOUND));
    EXPECT_EQ(host->Get(L"__NOSUCH", 0, missing.get(), nullptr, nullptr), wbem(WBEM_E_NOT_FOUND));
}

TEST_F(ObjectTest, PropertiesArriveInTheVariantTypesWindowsUses) {
    auto memory = queryAll(services.get(), L"select * from Msvm_Memory");
    ASSERT_FALSE(memory.empty());
    Var blockSize;
    CIMTYPE type = 0;
    LONG flavor = -1;
    ASSERT_EQ(memory[0]->Get(L"BlockSize", 0, blockSize.get(), &type, &flavor), S_OK);
    EXPECT_EQ(blockSize->vt, VT_BSTR);
    EXPECT_EQ(std::wstring(blockSize->bstrVal), L"1048576");
    EXPECT_EQ(type, CIM_UINT64);
    EXPECT_EQ(flavor, WBEM_FLAVOR_ORIGIN_PROPAGATED);  // declared by CIM_StorageExtent

    auto pools = queryAll(services.get(), L"select * from Msvm_ResourcePool");
    ASSERT_FALSE(pools.empty());
    Var resourceType, primordial;
    ASSERT_EQ(pools[0]->Get(L"ResourceType", 0, resourceType.get(), &type, nullptr), S_OK);
    EXPECT_EQ(resourceType->vt, VT_I4);
    EXPECT_EQ(type, CIM_UINT16);
    ASSERT_EQ(pools[0]->Get(L"Primordial", 0, primordial.get(), &type, nullptr), S_OK);
    EXPECT_EQ(primordial->vt, VT_BOOL);
    EXPECT_EQ(primordial->boolVal, VARIANT_TRUE);
    EXPECT_EQ(type, CIM_BOOLEAN);

    Var nullValue;
    ASSERT_EQ(pools[0]->Get(L"Capacity", 0, nullValue.get(), &type, nullptr), S_OK);
    EXPECT_EQ(nullValue->vt, VT_NULL);
    EXPECT_EQ(type, CIM_UINT64);  // the declared type even for NULL

    auto links = queryAll(services.get(), L"select * from Msvm_ElementCapabilities");
    ASSERT_FALSE(links.empty());
    Var reference, characteristics;
    ASSERT_EQ(links[0]->Get(L"Capabilities", 0, reference.get(), &type, nullptr), S_OK);
    EXPECT_EQ(reference->vt, VT_BSTR);
    EXPECT_EQ(type, CIM_REFERENCE);
    ASSERT_EQ(links[0]->Get(L"Characteristics", 0, characteristics.get(), &type, nullptr), S_OK);
    EXPECT_EQ(characteristics->vt, VT_ARRAY | VT_I4);
    EXPECT_EQ(type, CIM_UINT16 | CIM_FLAG_ARRAY);
}

TEST_F(ObjectTest, ClassDefinitionsHaveDefaultsAndAPathButNoInstanceValues) {
    Ref<IWbemClassObject> memoryClass;
    ASSERT_EQ(getObject(services.get(), L"Msvm_MemorySettingData", memoryClass), S_OK);
    EXPECT_EQ(i4(memoryClass.get(), L"__GENUS"), 1);
    EXPECT_EQ(text(memoryClass.get(), L"__PATH"), L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_MemorySettingData");
    EXPECT_EQ(text(memoryClass.get(), L"__RELPATH"), L"Msvm_MemorySettingData");
    EXPECT_EQ(typeOf(memoryClass.get(), L"InstanceID"), VT_NULL);
    EXPECT_EQ(i4(memoryClass.get(), L"ResourceType"), 4);

    BSTR origin = nullptr;
    ASSERT_EQ(memoryClass->GetPropertyOrigin(L"ResourceType", &origin), S_OK);
    EXPECT_EQ(std::wstring(origin), L"CIM_ResourceAllocationSettingData");
    SysFreeString(origin);
    EXPECT_EQ(memoryClass->InheritsFrom(L"CIM_ResourceAllocationSettingData"), S_OK);
    EXPECT_EQ(memoryClass->InheritsFrom(L"Msvm_ResourceAllocationSettingData"), wbem(WBEM_S_FALSE));
}

TEST_F(ObjectTest, GetMethodGivesParameterDefinitionsOfClassesOnly) {
    Ref<IWbemClassObject> serviceClass;
    ASSERT_EQ(getObject(services.get(), L"Msvm_VirtualSystemManagementService", serviceClass), S_OK);
    Ref<IWbemClassObject> in, out;
    ASSERT_EQ(serviceClass->GetMethod(L"DefineSystem", 0, in.out(), out.out()), S_OK);
    ASSERT_TRUE(in);
    ASSERT_TRUE(out);
    EXPECT_EQ(text(in.get(), L"__CLASS"), L"__PARAMETERS");
    CIMTYPE type = 0;
    Var value;
    ASSERT_EQ(in->Get(L"ResourceSettings", 0, value.get(), &type, nullptr), S_OK);
    EXPECT_EQ(type, CIM_STRING | CIM_FLAG_ARRAY);
    ASSERT_EQ(in->Get(L"ReferenceConfiguration", 0, value.get(), &type, nullptr), S_OK);
    EXPECT_EQ(type, CIM_REFERENCE);
    ASSERT_EQ(out->Get(L"ReturnValue", 0, value.get(), &type, nullptr), S_OK);
    EXPECT_EQ(type, CIM_UINT32);
    ASSERT_EQ(out->Get(L"ResultingSystem", 0, value.get(), &type, nullptr), S_OK);
    EXPECT_EQ(type, CIM_REFERENCE);

    Ref<IWbemClassObject> missingIn, missingOut;
    EXPECT_EQ(serviceClass->GetMethod(L"NoSuchMethod", 0, missingIn.out(), missingOut.out()),
              wbem(WBEM_E_NOT_FOUND));
    EXPECT_FALSE(missingIn);
    EXPECT_FALSE(missingOut);

    auto instances = queryAll(services.get(), L"select * from Msvm_VirtualSystemManagementService");
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_EQ(instances[0]->GetMethod(L"DefineSystem", 0, missingIn.out(), nullptr),
              wbem(WBEM_E_ILLEGAL_OPERATION));
    EXPECT_FALSE(missingIn);
}

TEST_F(ObjectTest, SpawnedInstancesStartFromTheClassAndHaveNoPath) {
    Ref<IWbemClassObject> vssdClass, fresh;
    ASSERT_EQ(getObject(services.get(), L"Msvm_VirtualSystemSettingData", vssdClass), S_OK);
    ASSERT_EQ(vssdClass->SpawnInstance(0, fresh.out()), S_OK);
    EXPECT_EQ(i4(fresh.get(), L"__GENUS"), 2);
    for (const wchar_t* name : {L"__PATH", L"__RELPATH", L"__SERVER", L"__NAMESPACE", L"ElementName"})
        EXPECT_EQ(typeOf(fresh.get(), name), VT_NULL) << std::string(name, name + std::wcslen(name));
    Var key = Var::text(L"Microsoft:ABC");
    ASSERT_EQ(fresh->Put(L"InstanceID", 0, key.get(), 0), S_OK);
    EXPECT_EQ(text(fresh.get(), L"__RELPATH"), L"Msvm_VirtualSystemSettingData.InstanceID=\"Microsoft:ABC\"");
    EXPECT_EQ(typeOf(fresh.get(), L"__PATH"), VT_NULL);

    Ref<IWbemClassObject> again;
    EXPECT_EQ(fresh->SpawnInstance(0, again.out()), wbem(WBEM_E_ILLEGAL_OPERATION));

    Ref<IWbemClassObject> serviceClass, in, parameters;
    ASSERT_EQ(getObject(services.get(), L"Msvm_ComputerSystem", serviceClass), S_OK);
    ASSERT_EQ(serviceClass->GetMethod(L"RequestStateChange", 0, in.out(), nullptr), S_OK);
    ASSERT_EQ(in->SpawnInstance(0, parameters.out()), S_OK);
    EXPECT_EQ(typeOf(parameters.get(), L"RequestedState"), VT_NULL);
}

TEST_F(ObjectTest, ObjectsAreCopiesThatNeverReachTheHost) {
    auto switches = queryAll(services.get(), L"select * from Msvm_VirtualEthernetSwitch");
    ASSERT_EQ(switches.size(), 2u);
    const std::wstring path = text(switches[0].get(), L"__PATH");
    Var renamed = Var::text(L"Renamed");
    ASSERT_EQ(switches[0]->Put(L"ElementName", 0, renamed.get(), 0), S_OK);
    EXPECT_EQ(text(switches[0].get(), L"ElementName"), L"Renamed");

    Ref<IWbemClassObject> fetched, clone;
    ASSERT_EQ(getObject(services.get(), path, fetched), S_OK);
    EXPECT_EQ(text(fetched.get(), L"ElementName"), L"Default Switch");
    EXPECT_EQ(HyperVSim::Control::switches()[0].name, L"Default Switch");

    ASSERT_EQ(fetched->Clone(clone.out()), S_OK);
    EXPECT_EQ(clone->CompareTo(0, fetched.get()), S_OK);
    ASSERT_EQ(clone->Put(L"ElementName", 0, renamed.get(), 0), S_OK);
    EXPECT_EQ(text(fetched.get(), L"ElementName"), L"Default Switch");
    EXPECT_EQ(clone->CompareTo(0, fetched.get()), wbem(WBEM_S_DIFFERENT));

    // Objects and enumerators share what the host had until one of them changes it.
    for (const LONG flags :
         {LONG{WBEM_FLAG_RETURN_IMMEDIATELY}, LONG{WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY}}) {
        Ref<IEnumWbemClassObject> enumerator;
        Ref<IWbemClassObject> first, again;
        ULONG returned = 0;
        ASSERT_EQ(execQuery(services.get(), L"select * from Msvm_VirtualEthernetSwitch", enumerator, flags), S_OK);
        ASSERT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, first.out(), &returned), S_OK);
        ASSERT_EQ(first->Put(L"ElementName", 0, renamed.get(), 0), S_OK);
        if (enumerator->Reset() == S_OK) {
            ASSERT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, again.out(), &returned), S_OK);
            EXPECT_EQ(text(again.get(), L"ElementName"), L"Default Switch");
        }
        EXPECT_EQ(
            text(queryAll(services.get(), L"select * from Msvm_VirtualEthernetSwitch")[0].get(), L"ElementName"),
            L"Default Switch");
    }
    HyperVSim::Control::removeAllSwitches();
    EXPECT_EQ(text(fetched.get(), L"ElementName"), L"Default Switch");
}

}  // namespace
}  // namespace HyperVSimTest
