// ExecQuery and the enumerator: select with where clauses, associators and references, their errors, and
// how Next reports partial and final batches.
#include <cstdint>

#include "WmiClient.h"

namespace HyperVSimTest {
namespace {

using QueryTest = HostTest;

std::vector<std::wstring> names(const std::vector<Ref<IWbemClassObject>>& objects, const wchar_t* property) {
    std::vector<std::wstring> result;
    for (const auto& object : objects) result.push_back(text(object.get(), property));
    return result;
}

TEST_F(QueryTest, SelectFiltersWithWhereClauses) {
    EXPECT_EQ(queryAll(services.get(), L"select * from Msvm_ComputerSystem").size(), 1u);
    EXPECT_EQ(names(queryAll(services.get(),
                             L"SELECT * FROM Msvm_VirtualEthernetSwitch WHERE ElementName = "
                             L"'external switch'"),
                    L"ElementName"),
              std::vector<std::wstring>{L"External Switch"});
    auto pools =
        queryAll(services.get(), L"select * from Msvm_ResourcePool where ResourceType = 33 and Primordial = True");
    ASSERT_EQ(pools.size(), 1u);
    EXPECT_EQ(text(pools[0].get(), L"ResourceSubType"), L"Microsoft:Hyper-V:Ethernet Connection");
    EXPECT_EQ(queryAll(services.get(),
                       L"select * from Msvm_ResourcePool where ResourceSubType = "
                       L"'Microsoft:Hyper-V:Synthetic Disk Drive' and Primordial = True")
                  .size(),
              1u);
    EXPECT_EQ(queryAll(services.get(), L"select * from Msvm_ResourcePool where Primordial = False").size(), 0u);
    EXPECT_EQ(queryAll(services.get(),
                       L"select * from Msvm_Memory where (Name like '%\\\\0' or Name like "
                       L"'%\\\\1') and SystemName = \"HVSIM01\"")
                  .size(),
              2u);
    EXPECT_EQ(queryAll(services.get(), L"select * from Msvm_ResourcePool where Capacity is null").size(), 5u);
    EXPECT_EQ(queryAll(services.get(),
                       L"select * from Msvm_ResourceAllocationSettingData where InstanceID like "
                       L"'%\\\\Default'")
                  .size(),
              2u);
}

TEST_F(QueryTest, SelectFromASuperclassReturnsSubclassInstances) {
    // The host and the two switches are all computer systems.
    EXPECT_EQ(queryAll(services.get(), L"select * from CIM_ComputerSystem").size(), 3u);
    // Templates of every pool: 5 pools x 4 templates.
    EXPECT_EQ(queryAll(services.get(), L"select * from CIM_ResourceAllocationSettingData").size(), 20u);
}

TEST_F(QueryTest, QueryErrorsComeFromExecQueryItself) {
    const std::pair<std::wstring, HRESULT> cases[] = {
        {L"select * from Msvm_NoSuchClass", wbem(WBEM_E_INVALID_CLASS)},
        {L"select * from", wbem(WBEM_E_INVALID_QUERY)},
        {L"selec * from Msvm_Memory", wbem(WBEM_E_INVALID_QUERY)},
        {L"select * from Msvm_Memory where NoSuchProperty = 1", wbem(WBEM_E_INVALID_QUERY)},
        {L"Associators of {} where ResultClass = Msvm_AllocationCapabilities", wbem(WBEM_E_INVALID_QUERY)},
        {L"References of {Msvm_ResourcePool.InstanceID=\"Microsoft:NOSUCH\"} where ResultClass = "
         L"Msvm_SettingsDefineCapabilities",
         wbem(WBEM_E_NOT_FOUND)},
        {L"Associators of {Msvm_ResourcePool.InstanceID=\"Microsoft:NOSUCH\"}", wbem(WBEM_E_NOT_FOUND)},
        {L"Associators of {Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"HVSIM01\"} "
         L"where ResultClass = Msvm_NoSuchClass",
         wbem(WBEM_E_INVALID_CLASS)},
    };
    for (const auto& [query, expected] : cases) {
        Ref<IEnumWbemClassObject> enumerator;
        EXPECT_EQ(execQuery(services.get(), query, enumerator), expected)
            << std::string(query.begin(), query.end());
        EXPECT_FALSE(enumerator);
    }
    Bstr sql(L"SQL"), wql(L"WQL"), query(L"select * from Msvm_Memory"), empty(L"");
    Ref<IEnumWbemClassObject> enumerator;
    EXPECT_EQ(services->ExecQuery(sql.get(), query.get(), 0, nullptr, enumerator.out()),
              wbem(WBEM_E_INVALID_QUERY_TYPE));
    EXPECT_EQ(services->ExecQuery(wql.get(), empty.get(), 0, nullptr, enumerator.out()),
              wbem(WBEM_E_INVALID_PARAMETER));
}

// Text handed over as a BSTR must be one: across the process boundary only its length prefix counts.
TEST_F(QueryTest, ArgumentsThatAreNoBstrAreRefusedAsTheStubWould) {
    struct {
        std::uint32_t byteLength = 2;  // a prefix that does not match the text after it
        wchar_t text[4] = L"WQL";
    } notABstr;
    Bstr query(L"select * from Msvm_Memory");
    Ref<IEnumWbemClassObject> enumerator;
    EXPECT_EQ(services->ExecQuery(notABstr.text, query.get(), 0, nullptr, enumerator.out()),
              static_cast<HRESULT>(0x800706F7));
    EXPECT_FALSE(enumerator);
}

TEST_F(QueryTest, ForwardOnlyImmediateQueriesReportUnknownClassesAtTheFirstNext) {
    Ref<IEnumWbemClassObject> enumerator;
    ASSERT_EQ(execQuery(services.get(), L"select * from Msvm_NoSuchClass", enumerator,
                        WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY),
              S_OK);
    Ref<IWbemClassObject> object;
    ULONG returned = 7;
    EXPECT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.out(), &returned),
              wbem(WBEM_E_INVALID_CLASS));
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(enumerator->Reset(), wbem(WBEM_E_INVALID_OPERATION));
}

TEST_F(QueryTest, NextFillsBatchesAndEndsWithFalse) {
    Ref<IEnumWbemClassObject> enumerator;
    ASSERT_EQ(execQuery(services.get(), L"select * from Msvm_Memory", enumerator), S_OK);
    IWbemClassObject* objects[2] = {};
    ULONG returned = 0;
    ASSERT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 2, objects, &returned), S_OK);
    EXPECT_EQ(returned, 2u);
    objects[0]->Release();
    objects[1]->Release();
    ASSERT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 2, objects, &returned), wbem(WBEM_S_FALSE));
    EXPECT_EQ(returned, 1u);
    objects[0]->Release();
    EXPECT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, objects, &returned), wbem(WBEM_S_FALSE));
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(enumerator->Next(0, 0, objects, &returned), S_OK);
    EXPECT_EQ(enumerator->Next(0, 1, nullptr, &returned), wbem(WBEM_E_INVALID_PARAMETER));
    EXPECT_EQ(enumerator->Next(0, 1, objects, nullptr), wbem(WBEM_E_INVALID_PARAMETER));

    ASSERT_EQ(enumerator->Reset(), S_OK);
    Ref<IWbemClassObject> again;
    ASSERT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, again.out(), &returned), S_OK);
    EXPECT_EQ(returned, 1u);
}

TEST_F(QueryTest, EnumeratorsHoldTheResultOfTheirMoment) {
    Ref<IEnumWbemClassObject> enumerator;
    ASSERT_EQ(execQuery(services.get(), L"select * from Msvm_VirtualEthernetSwitch", enumerator), S_OK);
    HyperVSim::Control::addSwitch(L"Late Switch");
    ULONG returned = 0;
    IWbemClassObject* objects[4] = {};
    EXPECT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 4, objects, &returned), wbem(WBEM_S_FALSE));
    EXPECT_EQ(returned, 2u);
    for (ULONG i = 0; i < returned; ++i) objects[i]->Release();
    EXPECT_EQ(queryAll(services.get(), L"select * from Msvm_VirtualEthernetSwitch").size(), 3u);
}

TEST_F(QueryTest, AssociatorsAndReferencesFollowAssociationsBothWays) {
    auto pools = queryAll(services.get(), L"select * from Msvm_ResourcePool where ResourceType = 6");
    ASSERT_EQ(pools.size(), 1u);
    const std::wstring poolPath = text(pools[0].get(), L"__PATH");

    auto capabilities = queryAll(services.get(), L"Associators of {" + poolPath +
                                                     L"} where ResultClass = Msvm_AllocationCapabilities "
                                                     L"AssocClass = Msvm_ElementCapabilities");
    ASSERT_EQ(capabilities.size(), 1u);
    const std::wstring capabilitiesPath = text(capabilities[0].get(), L"__PATH");

    // The way back, and the same with a relative path, single quotes and superclass filters.
    auto back = queryAll(services.get(), L"Associators of {" + capabilitiesPath +
                                             L"} where AssocClass = "
                                             L"CIM_ElementCapabilities");
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(text(back[0].get(), L"__PATH"), poolPath);
    const std::wstring relative = text(pools[0].get(), L"__RELPATH");
    EXPECT_EQ(
        queryAll(services.get(), L"Associators of {" + relative + L"} where ResultClass = CIM_Capabilities").size(),
        1u);

    auto links = queryAll(services.get(), L"References of {" + capabilitiesPath +
                                              L"} where ResultClass = Msvm_SettingsDefineCapabilities");
    EXPECT_EQ(links.size(), 4u);
    EXPECT_EQ(
        queryAll(services.get(), L"References of {" + capabilitiesPath + L"} where Role = PartComponent").size(),
        0u);
    EXPECT_EQ(
        queryAll(services.get(), L"References of {" + capabilitiesPath + L"} where Role = GroupComponent").size(),
        4u);
    auto templates = queryAll(services.get(), L"Associators of {" + capabilitiesPath +
                                                  L"} where AssocClass = Msvm_SettingsDefineCapabilities "
                                                  L"ResultRole = PartComponent");
    EXPECT_EQ(templates.size(), 4u);
    auto classes = queryAll(services.get(), L"Associators of {" + capabilitiesPath + L"} where ClassDefsOnly");
    EXPECT_EQ(classes.size(), 2u);  // the pool's class and the template class
}

}  // namespace
}  // namespace HyperVSimTest
