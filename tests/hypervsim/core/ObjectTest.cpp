// Objects as the library reads and fills them: fetched by any spelling of a path, with the VARIANT types Windows
// gives; method signatures to spawn parameters from; Put's conversions; and every object a copy of the client's
// own. (The library reads no system property but __PATH, and calls no other method of an object.)
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
}

TEST_F(ObjectTest, PropertiesArriveWithTheTypesWindowsGivesAndMethodsWithTheirSignatures) {
    auto host = object(hostPath);
    auto memory = query(L"select * from Msvm_Memory");
    auto pools = query(L"select * from Msvm_ResourcePool where ResourceType = 33");
    auto links = query(L"select * from Msvm_ElementCapabilities");
    Object in, out, missingIn, missingOut;
    auto serviceClass = object(L"Msvm_VirtualSystemManagementService");
    ASSERT_EQ(serviceClass->GetMethod(L"DefineSystem", 0, in.put(), out.put()), S_OK);
    const struct {
        IWbemClassObject* object;
        const wchar_t* name;
        Value value;
        CIMTYPE type;
    } properties[] = {{host.get(), L"__Path", hostPath, CIM_STRING},
                      {host.get(), L"Description", std::wstring(L"Microsoft Hosting Computer System"), CIM_STRING},
                      {memory.at(0).get(), L"BlockSize", std::wstring(L"1048576"), CIM_UINT64},
                      {pools.at(0).get(), L"ResourceType", std::int32_t{33}, CIM_UINT16},
                      {pools[0].get(), L"Primordial", true, CIM_BOOLEAN},
                      {pools[0].get(), L"Capacity", std::monostate{}, CIM_UINT64},
                      {links.at(0).get(), L"Capabilities", get(links[0].get(), L"Capabilities"), CIM_REFERENCE},
                      {in.get(), L"ResourceSettings", std::monostate{}, CIM_STRING | CIM_FLAG_ARRAY},
                      {in.get(), L"ReferenceConfiguration", std::monostate{}, CIM_REFERENCE},
                      {out.get(), L"ReturnValue", std::monostate{}, CIM_UINT32},
                      {out.get(), L"ResultingSystem", std::monostate{}, CIM_REFERENCE}};
    for (const auto& [object, name, value, type] : properties) {
        CIMTYPE delivered = 0;
        EXPECT_EQ(get(object, name, &delivered), value) << narrow(name);
        EXPECT_EQ(delivered, type) << narrow(name);
    }
    EXPECT_TRUE(std::holds_alternative<std::wstring>(get(links[0].get(), L"Capabilities")));
    HyperVSim::OwnedVariant characteristics;
    CIMTYPE type = 0;
    ASSERT_EQ(links[0]->Get(L"Characteristics", 0, characteristics.get(), &type, nullptr), S_OK);
    EXPECT_EQ((*characteristics).vt, VT_ARRAY | VT_I4);
    EXPECT_EQ(type, CIM_UINT16 | CIM_FLAG_ARRAY);
    EXPECT_EQ(host->Get(L"NoSuchProperty", 0, characteristics.get(), nullptr, nullptr), wbem(WBEM_E_NOT_FOUND));
    EXPECT_EQ(serviceClass->GetMethod(L"NoSuchMethod", 0, missingIn.put(), missingOut.put()),
              wbem(WBEM_E_NOT_FOUND));
    EXPECT_FALSE(missingIn || missingOut);
    auto instance = query(L"select * from Msvm_VirtualSystemManagementService").at(0);
    EXPECT_EQ(instance->GetMethod(L"DefineSystem", 0, missingIn.put(), nullptr), wbem(WBEM_E_ILLEGAL_OPERATION));
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

    // Objects of one query share what the host had until one of them changes it.
    ASSERT_EQ(put(query(L"select * from Msvm_VirtualEthernetSwitch").at(0).get(), L"ElementName", renamed), S_OK);
    EXPECT_EQ(text(query(L"select * from Msvm_VirtualEthernetSwitch")[0].get(), L"ElementName"), original);
    Control::removeAllSwitches();
    EXPECT_EQ(text(fetched.get(), L"ElementName"), original);
}

}  // namespace
}  // namespace HyperVSimTest
