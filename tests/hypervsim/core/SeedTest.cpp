// The default host as a client finds it, the library's walk from a pool to its default template, and the
// control interface's view of the host.
#include "WmiClient.h"

namespace HyperVSimTest {
namespace {

using HyperVSim::Control;
using SeedTest = HostTest;

TEST_F(SeedTest, TheDefaultHostHasTwoSwitchesAndItsMemory) {
    auto switches = queryAll(services.get(), L"select * from Msvm_VirtualEthernetSwitch");
    ASSERT_EQ(switches.size(), 2u);
    EXPECT_EQ(text(switches[0].get(), L"ElementName"), L"Default Switch");
    EXPECT_EQ(text(switches[1].get(), L"ElementName"), L"External Switch");
    const std::wstring path = text(switches[0].get(), L"__PATH");
    EXPECT_EQ(path.rfind(L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.CreationClassName="
                         L"\"Msvm_VirtualEthernetSwitch\",Name=\"",
                         0),
              0u);
    ASSERT_EQ(Control::switches().size(), 2u);
    EXPECT_EQ(Control::switches()[0].path, path);

    auto memory = queryAll(services.get(), L"select * from Msvm_Memory");
    ASSERT_EQ(memory.size(), 3u);
    std::uint64_t nodes = 0, aggregate = 0;
    for (const auto& item : memory) {
        const std::wstring name = text(item.get(), L"Name");
        EXPECT_EQ(name, text(item.get(), L"DeviceID"));
        EXPECT_EQ(name.rfind(L"Microsoft:", 0), 0u);
        EXPECT_EQ(text(item.get(), L"SystemName"), L"HVSIM01");
        EXPECT_EQ(text(item.get(), L"BlockSize"), L"1048576");
        const std::uint64_t blocks = std::stoull(text(item.get(), L"NumberOfBlocks"));
        (name.find(L"Aggregate") != std::wstring::npos ? aggregate : nodes) += blocks;
    }
    EXPECT_EQ(nodes, 65536u);
    EXPECT_EQ(aggregate, 65536u);
}

// The library's walk: pool -> allocation capabilities -> first settings-define-capabilities reference ->
// ValueRole 0 -> the template its PartComponent names.
TEST_F(SeedTest, EveryPoolLeadsToItsDefaultTemplate) {
    const std::pair<std::wstring, std::wstring> pools[] = {
        {L"ResourceSubType = 'Microsoft:Hyper-V:Synthetic Ethernet Port'",
         L"Msvm_SyntheticEthernetPortSettingData"},
        {L"ResourceType = 33", L"Msvm_EthernetPortAllocationSettingData"},
        {L"ResourceSubType = 'Microsoft:Hyper-V:Synthetic SCSI Controller'", L"Msvm_ResourceAllocationSettingData"},
        {L"ResourceSubType = 'Microsoft:Hyper-V:Synthetic Disk Drive'", L"Msvm_ResourceAllocationSettingData"},
        {L"ResourceSubType = 'Microsoft:Hyper-V:Virtual Hard Disk'", L"Msvm_StorageAllocationSettingData"},
    };
    for (const auto& [condition, templateClass] : pools) {
        SCOPED_TRACE(std::string(condition.begin(), condition.end()));
        auto pool = queryAll(services.get(),
                             L"select * from Msvm_ResourcePool where " + condition + L" and Primordial = True");
        ASSERT_EQ(pool.size(), 1u);
        const std::wstring poolGuid = text(pool[0].get(), L"InstanceID").substr(10);
        auto capabilities = queryAll(services.get(), L"Associators of {" + text(pool[0].get(), L"__PATH") +
                                                         L"} where ResultClass = Msvm_AllocationCapabilities "
                                                         L"AssocClass = Msvm_ElementCapabilities");
        ASSERT_EQ(capabilities.size(), 1u);
        auto links = queryAll(services.get(), L"References of {" + text(capabilities[0].get(), L"__PATH") +
                                                  L"} where ResultClass = Msvm_SettingsDefineCapabilities");
        ASSERT_EQ(links.size(), 4u);
        EXPECT_EQ(i4(links[0].get(), L"ValueRole"), 0);
        EXPECT_EQ(i4(links[0].get(), L"ValueRange"), 0);
        const std::pair<LONG, LONG> others[] = {{3, 1}, {3, 2}, {3, 3}};
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(i4(links[i + 1].get(), L"ValueRole"), others[i].first);
            EXPECT_EQ(i4(links[i + 1].get(), L"ValueRange"), others[i].second);
        }
        Ref<IWbemClassObject> defaults;
        ASSERT_EQ(getObject(services.get(), text(links[0].get(), L"PartComponent"), defaults), S_OK);
        EXPECT_EQ(text(defaults.get(), L"__CLASS"), templateClass);
        EXPECT_EQ(text(defaults.get(), L"InstanceID"), L"Microsoft:Definition\\" + poolGuid + L"\\Default");
        EXPECT_EQ(text(defaults.get(), L"ResourceSubType"), text(pool[0].get(), L"ResourceSubType"));
        EXPECT_EQ(i4(defaults.get(), L"ResourceType"), i4(pool[0].get(), L"ResourceType"));
    }
}

TEST_F(SeedTest, TheDefaultTemplateCanBeListedLast) {
    Control::setDefaultTemplateFirst(false);
    auto capabilities = queryAll(services.get(), L"select * from Msvm_AllocationCapabilities");
    ASSERT_EQ(capabilities.size(), 5u);
    for (const auto& item : capabilities) {
        auto links = queryAll(services.get(), L"References of {" + text(item.get(), L"__PATH") +
                                                  L"} where ResultClass = Msvm_SettingsDefineCapabilities");
        ASSERT_EQ(links.size(), 4u);
        EXPECT_EQ(i4(links[0].get(), L"ValueRole"), 3);
        EXPECT_EQ(i4(links[3].get(), L"ValueRole"), 0);
    }
    Control::setDefaultTemplateFirst(true);
    auto links = queryAll(services.get(), L"References of {" + text(capabilities[0].get(), L"__PATH") +
                                              L"} where ResultClass = Msvm_SettingsDefineCapabilities");
    EXPECT_EQ(i4(links[0].get(), L"ValueRole"), 0);
}

TEST_F(SeedTest, TheSeedIsTheSameAfterEveryReset) {
    const auto first = Control::switches();
    Control::addSwitch(L"Extra");
    Control::removeAllMemory();
    Control::reset();
    EXPECT_EQ(Control::switches().size(), first.size());
    EXPECT_EQ(Control::switches()[1].path, first[1].path);
    EXPECT_EQ(queryAll(services.get(), L"select * from Msvm_Memory").size(), 3u);
}

TEST_F(SeedTest, ControlEditsSwitchesAndMemory) {
    const std::wstring added = Control::addSwitch(L"Lab Switch");
    Ref<IWbemClassObject> found;
    ASSERT_EQ(getObject(services.get(), added, found), S_OK);
    EXPECT_EQ(text(found.get(), L"ElementName"), L"Lab Switch");
    Control::removeAllSwitches();
    EXPECT_TRUE(queryAll(services.get(), L"select * from Msvm_VirtualEthernetSwitch").empty());

    Control::removeAllMemory();
    Control::addMemory({{L"Name", std::wstring(L"Microsoft")},
                        {L"BlockSize", std::int32_t{4096}},
                        {L"NumberOfBlocks", HyperVSim::NullString{}}});
    auto memory = queryAll(services.get(), L"select * from Msvm_Memory");
    ASSERT_EQ(memory.size(), 1u);
    EXPECT_EQ(text(memory[0].get(), L"Name"), L"Microsoft");
    EXPECT_EQ(i4(memory[0].get(), L"BlockSize"), 4096);
    Var blocks;
    ASSERT_EQ(memory[0]->Get(L"NumberOfBlocks", 0, blocks.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(blocks->vt, VT_BSTR);
    EXPECT_EQ(blocks->bstrVal, nullptr);
    EXPECT_EQ(typeOf(memory[0].get(), L"DeviceID"), VT_NULL);
}

// Raw values of every kind side by side in one instance: each is delivered as given, a query's where clause
// sees them, and a Put replaces one override with the typed value while the others stay as they were.
TEST_F(SeedTest, MemoryOverridesOfEveryKindStayApartThroughAPut) {
    Control::removeAllMemory();
    Control::addMemory({{L"Name", std::wstring(L"Microsoft")},
                        {L"ElementName", std::wstring(L"Second text")},
                        {L"Caption", std::wstring()},
                        {L"HealthState", std::int16_t{-2}},
                        {L"Volatile", true},
                        {L"OperationalStatus", std::vector<std::wstring>{L"a", L""}},
                        {L"BlockSize", std::wstring(L"4096")}});
    auto memory = queryAll(services.get(), L"select * from Msvm_Memory where ElementName = 'Second text'");
    ASSERT_EQ(memory.size(), 1u);
    IWbemClassObject* item = memory[0].get();
    EXPECT_EQ(text(item, L"Name"), L"Microsoft");
    EXPECT_EQ(text(item, L"ElementName"), L"Second text");
    EXPECT_EQ(text(item, L"Caption"), L"");
    EXPECT_EQ(text(item, L"BlockSize"), L"4096");
    Var health, flag, states;
    ASSERT_EQ(item->Get(L"HealthState", 0, health.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(health->vt, VT_I2);
    EXPECT_EQ(health->iVal, -2);
    ASSERT_EQ(item->Get(L"Volatile", 0, flag.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(flag->vt, VT_BOOL);
    EXPECT_EQ(flag->boolVal, VARIANT_TRUE);
    ASSERT_EQ(item->Get(L"OperationalStatus", 0, states.get(), nullptr, nullptr), S_OK);
    ASSERT_EQ(states->vt, VT_ARRAY | VT_BSTR);
    EXPECT_EQ(states->parray->rgsabound[0].cElements, 2u);

    Var replacement;
    replacement->vt = VT_BSTR;
    replacement->bstrVal = SysAllocString(L"Put here");
    ASSERT_EQ(item->Put(L"Name", 0, replacement.get(), 0), S_OK);
    EXPECT_EQ(text(item, L"Name"), L"Put here");
    EXPECT_EQ(text(item, L"ElementName"), L"Second text");
    EXPECT_EQ(text(item, L"BlockSize"), L"4096");
    EXPECT_EQ(typeOf(item, L"NumberOfBlocks"), VT_NULL);
    EXPECT_EQ(text(queryAll(services.get(), L"select * from Msvm_Memory")[0].get(), L"Name"), L"Microsoft");
}

TEST_F(SeedTest, ControlShowsDefinedMachines) {
    const std::wstring first = Control::defineMachine(L"alpha", 1);
    const std::wstring second = Control::defineMachine(L"beta", 2);
    const auto machines = Control::machines();
    ASSERT_EQ(machines.size(), 2u);
    EXPECT_EQ(machines[0].path, first);
    EXPECT_EQ(machines[0].name, L"alpha");
    EXPECT_EQ(machines[0].generation, 1);
    EXPECT_EQ(machines[0].enabledState, 3);
    EXPECT_EQ(machines[0].memoryMiB, 1024u);
    EXPECT_EQ(machines[0].processors, 1u);
    ASSERT_EQ(machines[0].controllers.size(), 2u);
    EXPECT_EQ(machines[0].controllers[0].address, L"0");
    EXPECT_EQ(machines[0].controllers[1].address, L"1");
    EXPECT_EQ(machines[1].generation, 2);
    EXPECT_TRUE(machines[1].controllers.empty());
    ASSERT_TRUE(Control::machine(second));
    EXPECT_EQ(Control::machine(second)->name, L"beta");
    EXPECT_FALSE(
        Control::machine(L"Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"HVSIM01\""));
}

}  // namespace
}  // namespace HyperVSimTest
