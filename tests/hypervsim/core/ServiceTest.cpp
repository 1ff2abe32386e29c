// The host's WMI service as the library uses it: queries and the enumerator, the seeded host and the walk
// from a pool to its Default template, ExecMethod's checks and call result, and the control interface's
// faults, journal and count of live objects that the library's tests rely on.
#include <thread>

#include "HostClient.h"

namespace HyperVSimTest {
namespace {

using ServiceTest = HostTest;
using HyperVSim::Fault;

// The library connects to root and opens virtualization\\v2 from there; only that namespace has the classes.
TEST_F(ServiceTest, TheLibrarysNamespacesAndNoOthersAreReached) {
    const HRESULT invalid = wbem(WBEM_E_INVALID_NAMESPACE), unreachable = static_cast<HRESULT>(0x800706BA);
    const std::pair<const wchar_t*, HRESULT> names[] = {{L"root", S_OK},
                                                        {L"//./ROOT", S_OK},
                                                        {L"root\\virtualization\\v2", S_OK},
                                                        {L"", invalid},
                                                        {L"root\\cimv2", invalid},
                                                        {L"ROOT\\", invalid},
                                                        {L"\\\\ROOT", unreachable},
                                                        {L"\\\\OTHERHOST\\root", unreachable}};
    for (const auto& [name, expected] : names) {
        Services root;
        EXPECT_EQ(connect(name, root), expected) << narrow(name);
        EXPECT_EQ(bool(root), expected == S_OK) << narrow(name);
    }
    Services root, step, v2;
    ASSERT_EQ(connect(L"root", root), S_OK);
    ASSERT_EQ(open(root.get(), L"virtualization", step), S_OK);
    EXPECT_EQ(open(step.get(), L"v2", v2), S_OK);
    for (const wchar_t* name : {L"cimv2", L"virtualization\\v1", L"\\virtualization\\v2", L""})
        EXPECT_EQ(open(root.get(), name, step), invalid) << narrow(name);
    EXPECT_EQ(open(services.get(), L"virtualization\\v2", step), invalid);
    Enumerator enumerator;
    EXPECT_EQ(execQuery(root.get(), L"select * from Msvm_ComputerSystem", enumerator), wbem(WBEM_E_INVALID_CLASS));
}

TEST_F(ServiceTest, QueriesFindWhatTheirTextSaysOrFailInExecQuery) {
    const std::wstring pool = L"Msvm_ResourcePool.InstanceID=\"Microsoft:NOSUCH\"";
    // clang-format off
    const std::pair<std::wstring, std::size_t> found[] = {
        {L"select * from Msvm_ComputerSystem", 1}, {L"select * from CIM_ComputerSystem", 3},
        // the host and the two switches {L"select * from CIM_ResourceAllocationSettingData", 20},
        // 5 pools x 4 templates {L"SELECT * FROM Msvm_VirtualEthernetSwitch WHERE ElementName = 'external switch'", 1},
        {L"select * from Msvm_ResourcePool where ResourceType = 33 and Primordial = True", 1},
        {L"select * from Msvm_ResourcePool where Primordial = False", 0},
        {L"select * from Msvm_Memory where (Name like '%\\\\0' or Name like '%\\\\1') and SystemName = \"HVSIM01\"", 2},
        {L"select * from Msvm_ResourcePool where Capacity is null", 5},
        {L"select * from Msvm_ResourceAllocationSettingData where InstanceID like '%\\\\Default'", 2}};
    // clang-format on
    for (const auto& [text, count] : found) EXPECT_EQ(query(text).size(), count) << narrow(text);

    const std::pair<std::wstring, WBEMSTATUS> refused[] = {
        {L"select * from Msvm_NoSuchClass", WBEM_E_INVALID_CLASS},
        {L"selec * from Msvm_Memory", WBEM_E_INVALID_QUERY},
        {L"select * from Msvm_Memory where NoSuchProperty = 1", WBEM_E_INVALID_QUERY},
        {L"Associators of {} where ResultClass = Msvm_AllocationCapabilities", WBEM_E_INVALID_QUERY},
        {L"References of {" + pool + L"} where ResultClass = Msvm_SettingsDefineCapabilities", WBEM_E_NOT_FOUND},
        {L"Associators of {" + pool + L"}", WBEM_E_NOT_FOUND},
        {L"Associators of {Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"HVSIM01\"} "
         L"where ResultClass = Msvm_NoSuchClass",
         WBEM_E_INVALID_CLASS}};
    for (const auto& [text, expected] : refused) {
        Enumerator enumerator;
        EXPECT_EQ(execQuery(services.get(), text, enumerator), wbem(expected)) << narrow(text);
        EXPECT_FALSE(enumerator);
    }
    Enumerator enumerator;
    EXPECT_EQ(services->ExecQuery(bstr(L"SQL").get(), bstr(L"select * from Msvm_Memory").get(), 0, nullptr,
                                  enumerator.put()),
              wbem(WBEM_E_INVALID_QUERY_TYPE));
    EXPECT_EQ(services->ExecQuery(bstr(L"WQL").get(), bstr(L"").get(), 0, nullptr, enumerator.put()),
              wbem(WBEM_E_INVALID_PARAMETER));
}

TEST_F(ServiceTest, NextFillsBatchesOfTheResultOfItsMomentAndEndsWithFalse) {
    Enumerator enumerator;
    ASSERT_EQ(execQuery(services.get(), L"select * from Msvm_VirtualEthernetSwitch", enumerator), S_OK);
    Control::addSwitch(L"Late Switch");
    IWbemClassObject* objects[2] = {};
    ULONG returned = 0;
    const struct {
        ULONG asked;
        WBEMSTATUS status;
        ULONG returned;
    } batches[] = {{1, WBEM_S_NO_ERROR, 1}, {2, WBEM_S_FALSE, 1}, {2, WBEM_S_FALSE, 0}, {0, WBEM_S_NO_ERROR, 0}};
    for (const auto& batch : batches) {
        EXPECT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), batch.asked, objects, &returned),
                  wbem(batch.status));
        EXPECT_EQ(returned, batch.returned);
        for (ULONG i = 0; i < returned; ++i) objects[i]->Release();
    }
    EXPECT_EQ(enumerator->Next(0, 1, nullptr, &returned), wbem(WBEM_E_INVALID_PARAMETER));
    EXPECT_EQ(enumerator->Next(0, 1, objects, nullptr), wbem(WBEM_E_INVALID_PARAMETER));
    EXPECT_EQ(query(L"select * from Msvm_VirtualEthernetSwitch").size(), 3u);
}

// The library's walk: pool -> allocation capabilities -> settings-define-capabilities references -> the one
// with ValueRole 0 -> the Default template its PartComponent names; the Default can be listed first or last.
TEST_F(ServiceTest, EveryPoolLeadsToItsDefaultTemplate) {
    auto pools = query(L"select * from Msvm_ResourcePool where Primordial = True");
    ASSERT_EQ(pools.size(), 5u);
    for (auto& pool : pools) {
        auto capabilities = query(L"Associators of {" + text(pool.get(), L"__RELPATH") +
                                  L"} where ResultClass = Msvm_AllocationCapabilities AssocClass = "
                                  L"Msvm_ElementCapabilities");
        ASSERT_EQ(capabilities.size(), 1u);
        const std::wstring capabilitiesPath = text(capabilities[0].get(), L"__PATH");
        auto links =
            query(L"References of {" + capabilitiesPath + L"} where ResultClass = Msvm_SettingsDefineCapabilities");
        ASSERT_EQ(links.size(), 4u);
        std::vector<long> roles;
        for (auto& link : links) roles.push_back(number(link.get(), L"ValueRole"));
        EXPECT_EQ(roles, (std::vector<long>{0, 3, 3, 3}));
        auto defaults = object(text(links[0].get(), L"PartComponent"));
        EXPECT_EQ(text(defaults.get(), L"InstanceID"),
                  L"Microsoft:Definition\\" + text(pool.get(), L"InstanceID").substr(10) + L"\\Default");
        EXPECT_EQ(get(defaults.get(), L"ResourceSubType"), get(pool.get(), L"ResourceSubType"));
        EXPECT_EQ(number(defaults.get(), L"ResourceType"), number(pool.get(), L"ResourceType"));
        EXPECT_EQ(query(L"References of {" + capabilitiesPath + L"} where Role = PartComponent").size(), 0u);
    }
}

TEST_F(ServiceTest, ExecMethodChecksPathMethodAndParametersBeforeTheMethodRuns) {
    const std::wstring service = servicePath();
    auto stateParameters = parameters(L"Msvm_ComputerSystem", L"RequestStateChange");
    auto settingsClass = object(L"Msvm_VirtualSystemSettingData");
    auto settings = spawn(L"Msvm_VirtualSystemSettingData");
    const struct {
        std::wstring path, method;
        IWbemClassObject* in;
        WBEMSTATUS expected;
    } refused[] = {{service, L"NoSuchMethod", nullptr, WBEM_E_INVALID_METHOD},
                   {service, L"DefineSystem", stateParameters.get(), WBEM_E_INVALID_METHOD_PARAMETERS},
                   {service, L"DefineSystem", settings.get(), WBEM_E_INVALID_METHOD_PARAMETERS},
                   {service, L"DefineSystem", settingsClass.get(), WBEM_E_INVALID_METHOD_PARAMETERS},
                   {L"Msvm_ComputerSystem.Name=", L"RequestStateChange", nullptr, WBEM_E_INVALID_OBJECT_PATH},
                   {L"Msvm_NoSuchClass.Name=\"x\"", L"RequestStateChange", nullptr, WBEM_E_INVALID_CLASS},
                   {L"Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"NOSUCH\"",
                    L"RequestStateChange", stateParameters.get(), WBEM_E_NOT_FOUND},
                   {service, L"RemoveResourceSettings", nullptr, WBEM_E_NOT_SUPPORTED}};
    for (const auto& row : refused) {
        const Call call = run(row.path, row.method, row.in);
        EXPECT_EQ(call.status, wbem(row.expected)) << narrow(row.method);
        EXPECT_FALSE(call.out || call.result) << narrow(row.method);
    }
    // A method runs before ExecMethod returns: its call result holds the output already.
    const Call call = defineSystem(settingsText(L"vm1"));
    LONG status = -1;
    Object output;
    ASSERT_EQ(call.result->GetCallStatus(0, &status), S_OK);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(call.result->GetResultObject(0, output.put()), S_OK);
    EXPECT_EQ(text(output.get(), L"ResultingSystem"), Control::machines().at(0).path);
}

TEST_F(ServiceTest, FaultsFireOnTheChosenCallAndTheJournalRecordsEveryCall) {
    const auto rule = [](const char* operation, Fault::Kind kind, std::int32_t result, std::wstring argument,
                         unsigned occurrence) {
        Fault fault;
        fault.operation = operation;
        fault.kind = kind;
        fault.result = result;
        fault.argument = std::move(argument);
        fault.occurrence = occurrence;
        return fault;
    };
    const HRESULT failure = wbem(WBEM_E_PROVIDER_FAILURE);
    Control::injectFault(rule("ExecQuery", Fault::Kind::Fail, failure, L"SELECT * FROM Msvm_Memory", 2));
    Control::injectFault(rule("ConnectServer", Fault::Kind::Fail, failure, {}, 0));
    Enumerator enumerator;
    // clang-format off
    const std::pair<const wchar_t*, HRESULT> calls[] = {
        {L"select * from Msvm_Memory", S_OK}, {L"select * from Msvm_VirtualEthernetSwitch", S_OK},
        {L"select * from Msvm_Memory", failure}, {L"select * from Msvm_Memory", S_OK}};
    // clang-format on
    for (const auto& [text, expected] : calls) EXPECT_EQ(execQuery(services.get(), text, enumerator), expected);
    Services root;
    EXPECT_EQ(connect(L"root", root), failure);
    EXPECT_EQ(connect(L"root", root), failure);
    Control::clearFaults();
    EXPECT_EQ(connect(L"root", root), S_OK);

    Control::clearJournal();
    const std::wstring text = L"select * from Msvm_VirtualEthernetSwitch";
    auto switches = query(text);
    switches.at(0)->Get(L"NoSuchProperty", 0, nullptr, nullptr, nullptr);
    const std::vector<HyperVSim::JournalEntry> expected{{"ExecQuery", text, 0},
                                                        {"Next", text, 0},
                                                        {"Next", text, 0},
                                                        {"Next", text, 1},
                                                        {"Get", L"NoSuchProperty", wbem(WBEM_E_NOT_FOUND)}};
    EXPECT_EQ(Control::journal(), expected);
    Control::enableJournal(false);
    query(text);
    Control::enableJournal(true);
    EXPECT_EQ(Control::journalCounts(),
              (std::map<std::string, std::size_t>{{"ExecQuery", 1}, {"Next", 3}, {"Get", 1}}));
    // The journal keeps the newest 65,536 calls; the counts stay exact beyond.
    for (int i = 0; i < 70000; ++i) switches[0]->Get(L"NoSuchProperty", 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(Control::journal().size(), 65536u);
    EXPECT_EQ(Control::journalCounts().at("Get"), 70001u);
}

TEST_F(ServiceTest, LiveObjectsCountWhatClientsHoldOnAnyThread) {
    EXPECT_EQ(Control::liveObjects(), 1);  // the fixture's services
    std::vector<Object> handedOver;
    std::thread([&] {
        if (CoInitializeEx(nullptr, COINIT_MULTITHREADED) < 0) return;
        handedOver = HyperVSimTest::query(hyperV().get(), L"select * from Msvm_Memory");
        CoUninitialize();
    }).join();
    Object clone;
    ASSERT_EQ(handedOver.at(0)->Clone(clone.put()), S_OK);
    EXPECT_EQ(Control::liveObjects(), 5);
    handedOver.clear();
    clone = nullptr;
    EXPECT_EQ(Control::liveObjects(), 1);
}

}  // namespace
}  // namespace HyperVSimTest
