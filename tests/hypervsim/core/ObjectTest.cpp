// Objects as the library reads and fills them: fetched by any spelling of a path, with their system
// properties and the VARIANT types Windows gives; class definitions, method signatures and spawned
// instances; Put's conversions; and every object a copy of the client's own.
#include "HostClient.h"

namespace HyperVSimTest {
namespace {

using ObjectTest = HostTest;

const std::wstring hostPath =
    L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
    L"Name=\"HVSIM01\"";

TEST_F(ObjectTest, GetObjectFindsByAnySpellingOfAPathAndSaysWhatIsWrongWithOthers) {
    const std::pair<std::wstring, HRESULT> paths[] = {
        {hostPath, S_OK},
        {L"Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"HVSIM01\"", S_OK},
        {L"msvm_computersystem.name='hvsim01',CreationClassName='MSVM_COMPUTERSYSTEM'", S_OK},
        {L"//./root/virtualization/"
         L"v2:Msvm_ComputerSystem.Name=\"HVSIM01\",CreationClassName=\"Msvm_ComputerSystem\"",
         S_OK},
        {L"Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"NOSUCH\"", wbem(WBEM_E_NOT_FOUND)},
        {L"Msvm_NoSuchClass", wbem(WBEM_E_INVALID_CLASS)},
        {L"Msvm_NoSuchClass.Name=\"x\"", wbem(WBEM_E_INVALID_CLASS)},
        {L"Msvm_ComputerSystem.Name=", wbem(WBEM_E_INVALID_OBJECT_PATH)},
        {L"Msvm_ComputerSystem.Name=\"unterminated", wbem(WBEM_E_INVALID_OBJECT_PATH)},
        {L"\\\\HVSIM01\\root\\cimv2:Msvm_ComputerSystem", wbem(WBEM_E_INVALID_NAMESPACE)}};
    for (const auto& [path, expected] : paths) {
        Object found;
        EXPECT_EQ(getObject(path, found), expected) << narrow(path);
        EXPECT_EQ(found ? text(found.get(), L"__PATH") : L"", expected == S_OK ? hostPath : L"");
    }
    Object empty, spawned;
    ASSERT_EQ(services->GetObject(nullptr, 0, nullptr, empty.put(), nullptr), S_OK);
    EXPECT_EQ(number(empty.get(), L"__PROPERTY_COUNT"), 0);
    EXPECT_EQ(empty->SpawnInstance(0, spawned.put()), wbem(WBEM_E_INCOMPLETE_CLASS));
}

TEST_F(ObjectTest, PropertiesArriveWithTheTypesWindowsGives) {
    auto host = object(hostPath);
    auto memory = query(L"select * from Msvm_Memory");
    auto pools = query(L"select * from Msvm_ResourcePool");
    auto links = query(L"select * from Msvm_ElementCapabilities");
    const struct {
        IWbemClassObject* object;
        const wchar_t* name;
        Value value;
        CIMTYPE type;
    } properties[] = {
        {host.get(), L"__RELPATH", std::wstring(hostPath.substr(hostPath.find(L':') + 1)), CIM_STRING},
        {host.get(), L"__CLASS", std::wstring(L"Msvm_ComputerSystem"), CIM_STRING},
        {host.get(), L"__SUPERCLASS", std::wstring(L"CIM_ComputerSystem"), CIM_STRING},
        {host.get(), L"__DYNASTY", std::wstring(L"CIM_ManagedElement"), CIM_STRING},
        {host.get(), L"__SERVER", std::wstring(L"HVSIM01"), CIM_STRING},
        {host.get(), L"__NAMESPACE", std::wstring(L"root\\virtualization\\v2"), CIM_STRING},
        {host.get(), L"__Path", hostPath, CIM_STRING},
        {host.get(), L"__GENUS", std::int32_t{2}, CIM_SINT32},
        {host.get(), L"__DERIVATION",
         std::vector<std::wstring>{L"CIM_ComputerSystem", L"CIM_System", L"CIM_EnabledLogicalElement",
                                   L"CIM_LogicalElement", L"CIM_ManagedSystemElement", L"CIM_ManagedElement"},
         CIM_STRING | CIM_FLAG_ARRAY},
        {host.get(), L"Description", std::wstring(L"Microsoft Hosting Computer System"), CIM_STRING},
        {memory.at(0).get(), L"BlockSize", std::wstring(L"1048576"), CIM_UINT64},
        {pools.at(0).get(), L"ResourceType", static_cast<std::int32_t>(number(pools[0].get(), L"ResourceType")),
         CIM_UINT16},
        {pools[0].get(), L"Primordial", true, CIM_BOOLEAN},
        {pools[0].get(), L"Capacity", std::monostate{}, CIM_UINT64},
        {links.at(0).get(), L"Capabilities", get(links[0].get(), L"Capabilities"), CIM_REFERENCE}};
    for (const auto& [object, name, value, type] : properties) {
        CIMTYPE delivered = 0;
        EXPECT_EQ(get(object, name, &delivered), value) << narrow(name);
        EXPECT_EQ(delivered, type) << narrow(name);
    }
    EXPECT_TRUE(std::holds_alternative<std::wstring>(get(links[0].get(), L"Capabilities")));
    HyperVSim::OwnedVariant characteristics;
    CIMTYPE type = 0;
    LONG flavor = 0;
    ASSERT_EQ(links[0]->Get(L"Characteristics", 0, characteristics.get(), &type, nullptr), S_OK);
    EXPECT_EQ((*characteristics).vt, VT_ARRAY | VT_I4);
    EXPECT_EQ(type, CIM_UINT16 | CIM_FLAG_ARRAY);
    ASSERT_EQ(memory[0]->Get(L"BlockSize", 0, characteristics.get(), nullptr, &flavor), S_OK);
    EXPECT_EQ(flavor, WBEM_FLAVOR_ORIGIN_PROPAGATED);  // declared by CIM_StorageExtent
    ASSERT_EQ(host->Get(L"__CLASS", 0, characteristics.get(), nullptr, &flavor), S_OK);
    EXPECT_EQ(flavor, WBEM_FLAVOR_ORIGIN_SYSTEM);
    EXPECT_GT(number(host.get(), L"__PROPERTY_COUNT"), 10);
    for (const wchar_t* missing : {L"NoSuchProperty", L"__NOSUCH"})
        EXPECT_EQ(host->Get(missing, 0, characteristics.get(), nullptr, nullptr), wbem(WBEM_E_NOT_FOUND));
}

TEST_F(ObjectTest, ClassesGiveDefaultsMethodSignaturesAndInstancesToFill) {
    auto memoryClass = object(L"Msvm_MemorySettingData");
    EXPECT_EQ(number(memoryClass.get(), L"__GENUS"), 1);
    EXPECT_EQ(text(memoryClass.get(), L"__PATH"), L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_MemorySettingData");
    EXPECT_EQ(text(memoryClass.get(), L"__RELPATH"), L"Msvm_MemorySettingData");
    EXPECT_TRUE(isNull(memoryClass.get(), L"InstanceID"));
    EXPECT_EQ(number(memoryClass.get(), L"ResourceType"), 4);
    BSTR origin = nullptr;
    ASSERT_EQ(memoryClass->GetPropertyOrigin(L"ResourceType", &origin), S_OK);
    EXPECT_EQ(HyperVSim::OwnedBstr(origin).get(), std::wstring(L"CIM_ResourceAllocationSettingData"));
    EXPECT_EQ(memoryClass->InheritsFrom(L"CIM_ResourceAllocationSettingData"), S_OK);
    EXPECT_EQ(memoryClass->InheritsFrom(L"Msvm_ResourceAllocationSettingData"), wbem(WBEM_S_FALSE));

    Object in, out, missingIn, missingOut;
    auto serviceClass = object(L"Msvm_VirtualSystemManagementService");
    ASSERT_EQ(serviceClass->GetMethod(L"DefineSystem", 0, in.put(), out.put()), S_OK);
    EXPECT_EQ(text(in.get(), L"__CLASS"), L"__PARAMETERS");
    const std::pair<IWbemClassObject*, std::pair<const wchar_t*, CIMTYPE>> signature[] = {
        {in.get(), {L"ResourceSettings", CIM_STRING | CIM_FLAG_ARRAY}},
        {in.get(), {L"ReferenceConfiguration", CIM_REFERENCE}},
        {out.get(), {L"ReturnValue", CIM_UINT32}},
        {out.get(), {L"ResultingSystem", CIM_REFERENCE}}};
    for (const auto& [parameters, parameter] : signature) {
        CIMTYPE type = 0;
        EXPECT_TRUE(isNull(parameters, parameter.first));
        get(parameters, parameter.first, &type);
        EXPECT_EQ(type, parameter.second) << narrow(parameter.first);
    }
    EXPECT_EQ(serviceClass->GetMethod(L"NoSuchMethod", 0, missingIn.put(), missingOut.put()),
              wbem(WBEM_E_NOT_FOUND));
    EXPECT_FALSE(missingIn || missingOut);
    auto instance = query(L"select * from Msvm_VirtualSystemManagementService").at(0);
    EXPECT_EQ(instance->GetMethod(L"DefineSystem", 0, missingIn.put(), nullptr), wbem(WBEM_E_ILLEGAL_OPERATION));

    // A spawned instance has no path until its key is set, and then a relative one alone.
    auto fresh = spawn(L"Msvm_VirtualSystemSettingData");
    EXPECT_EQ(number(fresh.get(), L"__GENUS"), 2);
    for (const wchar_t* name : {L"__PATH", L"__RELPATH", L"__SERVER", L"__NAMESPACE", L"ElementName"})
        EXPECT_TRUE(isNull(fresh.get(), name)) << narrow(name);
    ASSERT_EQ(put(fresh.get(), L"InstanceID", std::wstring(L"Microsoft:ABC")), S_OK);
    EXPECT_EQ(text(fresh.get(), L"__RELPATH"), L"Msvm_VirtualSystemSettingData.InstanceID=\"Microsoft:ABC\"");
    EXPECT_TRUE(isNull(fresh.get(), L"__PATH"));
    Object again;
    EXPECT_EQ(fresh->SpawnInstance(0, again.put()), wbem(WBEM_E_ILLEGAL_OPERATION));
}

TEST_F(ObjectTest, PutConvertsWhatWindowsConvertsAndRefusesTheRest) {
    const HRESULT mismatch = wbem(WBEM_E_TYPE_MISMATCH);
    using Texts = std::vector<std::wstring>;
    // clang-format off
    const struct {
        const wchar_t* name;
        Value value;
        HRESULT expected;
        Value delivered;  // what Get gives afterwards
    } puts[] = {
        {L"VirtualQuantity", std::int32_t{2048}, S_OK, std::wstring(L"2048")},
        {L"VirtualQuantity", std::wstring(L"18446744073709551615"), S_OK, std::wstring(L"18446744073709551615")},
        {L"Weight", std::int16_t{7}, S_OK, std::int32_t{7}},
        {L"ResourceType", std::wstring(L"31"), S_OK, std::int32_t{31}},
        {L"DynamicMemoryEnabled", std::wstring(L"True"), S_OK, true},
        {L"DynamicMemoryEnabled", false, S_OK, false},
        {L"ElementName", std::wstring(L"Memory"), S_OK, std::wstring(L"Memory")},
        {L"HostResource", Texts{L"a", L"b"}, S_OK, Texts{L"a", L"b"}},
        {L"ResourceType", std::int32_t{65536}, mismatch, std::int32_t{4}},
        {L"ResourceType", std::int32_t{-1}, mismatch, std::int32_t{4}},
        {L"VirtualQuantity", std::int32_t{-5}, mismatch, {}},
        {L"VirtualQuantity", std::wstring(L"18446744073709551616"), mismatch, {}},
        {L"VirtualQuantity", std::wstring(L"12 "), mismatch, {}},
        {L"VirtualQuantity", std::wstring(L""), mismatch, {}}, {L"Weight", true, mismatch, {}},
        {L"DynamicMemoryEnabled", std::wstring(L"yes"), mismatch, {}},
        {L"DynamicMemoryEnabled", std::int32_t{1}, mismatch, {}}, {L"ElementName", std::int32_t{3}, mismatch, {}},
        {L"ElementName", Texts{L"a"}, mismatch, {}}, {L"HostResource", std::wstring(L"a"), mismatch, {}},
        {L"NoSuchProperty", std::int32_t{1}, wbem(WBEM_E_NOT_FOUND), {}},
        {L"__CLASS", std::wstring(L"Other"), wbem(WBEM_E_READ_ONLY), std::wstring(L"Msvm_MemorySettingData")},
        {L"__PATH", std::wstring(L"x"), wbem(WBEM_E_READ_ONLY), {}}};
    // clang-format on
    for (const auto& [name, value, expected, delivered] : puts) {
        auto memory = spawn(L"Msvm_MemorySettingData");
        EXPECT_EQ(put(memory.get(), name, value), expected) << narrow(name);
        if (expected != wbem(WBEM_E_NOT_FOUND)) {
            EXPECT_EQ(get(memory.get(), name), delivered) << narrow(name);
        }
        // A NULL clears what was put.
        if (expected == S_OK) {
            EXPECT_EQ(put(memory.get(), name, {}), S_OK);
            EXPECT_TRUE(isNull(memory.get(), name)) << narrow(name);
        }
    }
}

TEST_F(ObjectTest, ObjectsAreCopiesThatNeverReachTheHost) {
    auto switches = query(L"select * from Msvm_VirtualEthernetSwitch");
    const std::wstring renamed = L"Renamed", original = L"Default Switch";
    ASSERT_EQ(put(switches.at(0).get(), L"ElementName", renamed), S_OK);
    EXPECT_EQ(text(switches[0].get(), L"ElementName"), renamed);
    auto fetched = object(text(switches[0].get(), L"__PATH"));
    EXPECT_EQ(text(fetched.get(), L"ElementName"), original);
    EXPECT_EQ(Control::switches()[0].name, original);

    Object clone;
    ASSERT_EQ(fetched->Clone(clone.put()), S_OK);
    EXPECT_EQ(clone->CompareTo(0, fetched.get()), S_OK);
    ASSERT_EQ(put(clone.get(), L"ElementName", renamed), S_OK);
    EXPECT_EQ(text(fetched.get(), L"ElementName"), original);
    EXPECT_EQ(clone->CompareTo(0, fetched.get()), wbem(WBEM_S_DIFFERENT));

    // Objects of one enumerator share what the host had until one of them changes it.
    for (const LONG flags :
         {LONG{WBEM_FLAG_RETURN_IMMEDIATELY}, LONG{WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY}}) {
        Enumerator enumerator;
        Object first, again;
        ULONG returned = 0;
        ASSERT_EQ(execQuery(services.get(), L"select * from Msvm_VirtualEthernetSwitch", enumerator, flags), S_OK);
        ASSERT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, first.put(), &returned), S_OK);
        ASSERT_EQ(put(first.get(), L"ElementName", renamed), S_OK);
        if (enumerator->Reset() == S_OK) {
            ASSERT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, again.put(), &returned), S_OK);
            EXPECT_EQ(text(again.get(), L"ElementName"), original);
        }
        EXPECT_EQ(text(query(L"select * from Msvm_VirtualEthernetSwitch")[0].get(), L"ElementName"), original);
    }
    Control::removeAllSwitches();
    EXPECT_EQ(text(fetched.get(), L"ElementName"), original);
}

}  // namespace
}  // namespace HyperVSimTest
