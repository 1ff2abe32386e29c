// RequestStateChange and DestroySystem: starting, turning off and removing machines.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ModelClient.h"

namespace HyperVSimTest {
namespace {

class StateChangeTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        machine = defineMachine(L"vm1", 1);
        id = text(object(machine).get(), L"Name");
    }

    LONG enabledState() { return i4(object(machine).get(), L"EnabledState"); }
    std::vector<Ref<IWbemClassObject>> memoryOfMachine() {
        return queryAll(services.get(), L"select * from Msvm_Memory where SystemName = '" + id + L"'");
    }
    void expectCompletedJob(const Call& call) {
        ASSERT_EQ(call.status, S_OK);
        EXPECT_EQ(call.returnValue(), 4096);
        const Job job = jobOf(call);
        EXPECT_EQ(job.state, 7);
        EXPECT_EQ(job.errorCode, 0);
    }

    std::wstring machine, id;
};

TEST_F(StateChangeTest, StartingGivesTheMachineItsMemoryAndTurningOffTakesItAway) {
    auto memorySettings = associated(settingsPathOf(machine), L"Msvm_MemorySettingData");
    put(memorySettings[0].get(), L"VirtualQuantity", Var::i4(2048));
    ASSERT_EQ(modifyResource({embeddedText(memorySettings[0].get())}).returnValue(), 0);
    EXPECT_TRUE(memoryOfMachine().empty());

    expectCompletedJob(requestState(machine, 2));
    EXPECT_EQ(enabledState(), 2);
    auto memory = memoryOfMachine();
    ASSERT_EQ(memory.size(), 1u);
    EXPECT_EQ(text(memory[0].get(), L"Name"), id);
    EXPECT_EQ(text(memory[0].get(), L"BlockSize"), L"1048576");
    EXPECT_EQ(text(memory[0].get(), L"NumberOfBlocks"), L"2048");
    EXPECT_EQ(text(memory[0].get(), L"DeviceID").rfind(L"Microsoft:", 0), 0u);

    expectCompletedJob(requestState(machine, 3));
    EXPECT_EQ(enabledState(), 3);
    EXPECT_TRUE(memoryOfMachine().empty());
}

TEST_F(StateChangeTest, EachRunningMachineHasMemoryOfItsOwn) {
    const std::wstring other = defineMachine(L"vm2", 2);
    expectCompletedJob(requestState(machine, 2));
    expectCompletedJob(requestState(other, 2));
    EXPECT_EQ(memoryOfMachine().size(), 1u);
    // Host memory (two nodes and the aggregate) and one per machine.
    EXPECT_EQ(queryAll(services.get(), L"select * from Msvm_Memory").size(), 5u);
}

TEST_F(StateChangeTest, TheCurrentStateGives32775AndOtherRequests32770) {
    Call again = requestState(machine, 3);
    EXPECT_EQ(again.returnValue(), 32775);
    EXPECT_EQ(again.typeOf(L"Job"), VT_NULL);
    expectCompletedJob(requestState(machine, 2));
    EXPECT_EQ(requestState(machine, 2).returnValue(), 32775);
    for (SHORT other : {0, 1, 4, 6, 7, 8, 9, 10, 11})
        EXPECT_EQ(requestState(machine, other).returnValue(), 32770) << other;
    EXPECT_EQ(enabledState(), 2);

    const std::wstring host =
        L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
        L"Name=\"HVSIM01\"";
    EXPECT_EQ(requestState(host, 3).returnValue(), 32770);
}

TEST_F(StateChangeTest, DestroyRemovesTheMachineWithEverythingLinkedButNotItsImages) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("hypervsim-destroy-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto file = folder / "disk.vhdx";
    std::ofstream(file) << "image";
    const std::wstring settings = settingsPathOf(machine);
    auto driveTemplate = defaultTemplate(L"Msvm_ResourceAllocationSettingData", L"Synthetic Disk Drive");
    put(driveTemplate.get(), L"Parent", Var::text(resourcesOf(machine, L"Emulated IDE Controller")[0]));
    put(driveTemplate.get(), L"AddressOnParent", Var::text(L"0"));
    const std::wstring drive = added(addResource(settings, driveTemplate.get()));
    auto diskTemplate = defaultTemplate(L"Msvm_StorageAllocationSettingData", L"Virtual Hard Disk");
    put(diskTemplate.get(), L"Parent", Var::text(drive));
    put(diskTemplate.get(), L"HostResource", Var::texts({file.wstring()}));
    added(addResource(settings, diskTemplate.get()));

    const std::wstring keep = defineMachine(L"keep", 2);
    std::vector<std::wstring> gone{machine, settings};
    for (auto& resource : associated(settings, L"CIM_ResourceAllocationSettingData"))
        gone.push_back(text(resource.get(), L"__PATH"));
    ASSERT_EQ(gone.size(), 8u);  // memory, processor, two controllers, drive, disk

    expectCompletedJob(destroy(machine));
    for (const auto& path : gone) {
        Ref<IWbemClassObject> found;
        EXPECT_EQ(getObject(services.get(), path, found), wbem(WBEM_E_NOT_FOUND)) << narrow(path);
    }
    // Only the other machine's links are left.
    EXPECT_EQ(queryAll(services.get(), L"select * from Msvm_SettingsDefineState").size(), 1u);
    EXPECT_EQ(queryAll(services.get(), L"select * from Msvm_VirtualSystemSettingDataComponent").size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(file));
    std::filesystem::remove_all(folder);
    ASSERT_EQ(HyperVSim::Control::machines().size(), 1u);
    EXPECT_EQ(HyperVSim::Control::machines()[0].path, keep);
}

// Queries list machines in the order they were defined, whatever was removed or changed in between.
TEST_F(StateChangeTest, MachinesKeepTheirOrderThroughRemovalsAndChanges) {
    std::vector<std::wstring> order{machine};
    for (int i = 2; i <= 7; ++i) order.push_back(defineMachine(L"vm" + std::to_wstring(i)));
    // Paths, and the state of the one that changes.
    LONG changedState = 0;
    const auto listed = [&] {
        std::vector<std::wstring> paths;
        for (const auto& system : queryAll(services.get(), L"select * from Msvm_ComputerSystem")) {
            if (text(system.get(), L"Description") != L"Microsoft Virtual Machine") continue;
            paths.push_back(text(system.get(), L"__PATH"));
            if (paths.back() == order[5]) changedState = i4(system.get(), L"EnabledState");
        }
        return paths;
    };
    bool running = false;
    for (const std::size_t doomed : {1u, 2u, 4u, 3u, 0u}) {
        expectCompletedJob(destroy(order[doomed]));
        order[doomed].clear();
        running = !running;  // a changed machine is stored anew
        expectCompletedJob(requestState(order[5], running ? 2 : 3));
        std::vector<std::wstring> expected;
        for (const auto& path : order)
            if (!path.empty()) expected.push_back(path);
        EXPECT_EQ(listed(), expected);
        EXPECT_EQ(changedState, running ? 2 : 3);
    }
    order.push_back(defineMachine(L"vm8"));
    EXPECT_EQ(listed(), (std::vector<std::wstring>{order[5], order[6], order[7]}));
}

// Every start and stop leaves a finished job: the host keeps the newest 1,024, the one just handed out
// among them.
TEST_F(StateChangeTest, AHostKeepsItsNewestFinishedJobs) {
    std::vector<std::wstring> jobs;
    for (int i = 0; i < 1030; ++i) {
        const Call call = requestState(machine, i % 2 == 0 ? 2 : 3);
        ASSERT_EQ(call.returnValue(), 4096);
        jobs.push_back(text(call.out.get(), L"Job"));
        EXPECT_EQ(jobOf(call).state, 7);
    }
    EXPECT_EQ(queryAll(services.get(), L"select * from Msvm_ConcreteJob").size(), 1024u);
    Ref<IWbemClassObject> found;
    EXPECT_EQ(getObject(services.get(), jobs[5], found), wbem(WBEM_E_NOT_FOUND));
    EXPECT_EQ(getObject(services.get(), jobs[6], found), S_OK);
}

TEST_F(StateChangeTest, DestroyRefusesARunningMachineAndPathsThatNameNone) {
    expectCompletedJob(requestState(machine, 2));
    Call running = destroy(machine);
    EXPECT_EQ(running.returnValue(), 32775);
    EXPECT_EQ(HyperVSim::Control::machines().size(), 1u);

    const std::wstring unknown =
        L"Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\",Name=\"00000000-0000-0000-0000-"
        L"000000000000\"";
    EXPECT_EQ(destroy(unknown).status, wbem(WBEM_E_NOT_FOUND));
    EXPECT_EQ(destroy(L"Msvm_ComputerSystem.Name=").status, wbem(WBEM_E_INVALID_METHOD_PARAMETERS));
    EXPECT_EQ(destroy(L"").status, wbem(WBEM_E_INVALID_METHOD_PARAMETERS));

    expectCompletedJob(requestState(machine, 3));
    expectCompletedJob(destroy(machine));
    EXPECT_EQ(destroy(machine).status, wbem(WBEM_E_NOT_FOUND));
    EXPECT_TRUE(HyperVSim::Control::machines().empty());
}

}  // namespace
}  // namespace HyperVSimTest
