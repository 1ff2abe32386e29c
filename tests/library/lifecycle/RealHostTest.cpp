// What a real host does and the library copes with: refusals told only by a ReturnValue, templates listed with
// the Default last, and a machine's settings coming back together with those of a checkpoint.
#include <string_view>

#include "LibraryTests.h"

namespace VelmoraTest {
namespace {

// The method answers `returnValue` at once on its `occurrence`-th call, without running.
Fault refusing(const wchar_t* method, HRESULT returnValue, unsigned occurrence = 1) {
    return rule("ExecMethod", method, Fault::Kind::ReturnValue, returnValue, occurrence);
}

class RealHost : public HostTest {
protected:
    // createVM of a generation 2 machine on the first switch, then two images; the machine's path.
    std::wstring createAndAttach(Velmora::LogCallback log = captureLog) {
        MachineSettings settings({switchPaths().at(0)});
        CreatedMachine created;
        EXPECT_TRUE(Velmora::createVM(log, settings.record, created.created));
        EXPECT_TRUE(attach(created.path(), 2, images(2)));
        return created.path();
    }
    // The machine has its adapter on the first switch, the SCSI controller with both drives and its sizes.
    static void expectEquipped(const std::wstring& vmPath) {
        const auto vm = Control::machine(vmPath);
        ASSERT_TRUE(vm.has_value());
        ASSERT_EQ(vm->adapters.size(), 1u);
        EXPECT_EQ(vm->adapters[0].switches, std::vector<std::wstring>{switchPaths().at(0)});
        ASSERT_EQ(vm->controllers.size(), 1u);
        EXPECT_EQ(vm->controllers[0].kind, HyperVSim::ControllerView::Kind::Scsi);
        EXPECT_EQ(vm->controllers[0].drives.size(), 2u);
        EXPECT_EQ(vm->memoryMiB, 2048u);
        EXPECT_EQ(vm->processors, 2u);
        EXPECT_EQ(vm->processorWeight, 200u);
        EXPECT_TRUE(sameLines(errorsIn(capturedLines()), {error("Query returned no objects!")}));
    }
};

// A refusal that comes at once through a ReturnValue, where the simulated host refuses only through a job, ends
// a step as when the call fails: for createVM's follow-up steps and its adapters the step's own Error lines and
// true, for setDiskImages false. (Each method's refusal line: the method-call tests; the exports' results with
// every ExecMethod refused: the reliability sweep.)
TEST_F(RealHost, RefusalsThroughTheReturnValueFailLikeFailedCalls) {
    const struct {
        Fault fault;
        bool create;
        std::vector<std::string> errors;
    } cases[] = {
        {refusing(L"ModifyResourceSettings", 32773),
         true,
         {"ModifyResourceSettings returned 32773", "Failed to set RAM value. Default value 1024 MB will be used"}},
        {refusing(L"AddResourceSettings", 32773),
         true,
         {"AddResourceSettings returned 32773", "Cannot create new synthetic adapter",
          "Failed to set up connection to network adapters"}},
        {refusing(L"AddResourceSettings", 32774, 3),
         false,
         {"Query returned no objects!", "AddResourceSettings returned 32774"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.errors.front());
        Control::reset();
        const std::wstring vmPath = Control::defineMachine(L"vm1", 2);
        Control::injectFault(c.fault);
        clearCapturedLines();
        MachineSettings settings({switchPaths().at(0)}, L"vm2");
        CreatedMachine created;
        EXPECT_EQ(c.create ? createVM(settings, created) : attach(vmPath, 2, images(1)), c.create);
        EXPECT_TRUE(sameLines(errorsIn(capturedLines()), errors(c.errors)));
    }
}

// The templates of each pool are walked until the Default: a machine gets its adapter, its SCSI controller,
// drives and disks as on any host.
TEST_F(RealHost, DefaultTemplateListedLastStillEquipsTheMachine) {
    Control::setDefaultTemplateFirst(false);
    expectEquipped(createAndAttach());
}

// Takes a checkpoint of every machine when createVM starts sizing the one it has just defined.
int checkpointsTaken = 0;
void checkpointBeforeSizing(Velmora::LoggingLevel level, const char* line) {
    captureLog(level, line);
    if (std::string_view(line) != "Set VM RAM") return;
    for (const HyperVSim::MachineView& machine : Control::machines()) {
        Control::addCheckpoint(machine.path);
        ++checkpointsTaken;
    }
}

// The checkpoint's settings come first; memory, processors, adapters and disks go to the machine's own.
TEST_F(RealHost, AMachineWithACheckpointIsEquippedThroughItsOwnSettings) {
    checkpointsTaken = 0;
    const std::wstring vmPath = createAndAttach(checkpointBeforeSizing);
    EXPECT_EQ(checkpointsTaken, 1);
    expectEquipped(vmPath);
}

}  // namespace
}  // namespace VelmoraTest
