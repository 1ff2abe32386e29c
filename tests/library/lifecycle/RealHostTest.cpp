// What a real host does that the default simulated host does not, and the library copes with: refusals
// told only by a method's ReturnValue, templates listed with the Default last, and machines whose settings
// come back together with those of a checkpoint.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "LifecycleSupport.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;
using HyperVSim::Fault;

const std::wstring hostSystem =
    L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
    L"Name=\"HVSIM01\"";

// The method answers `returnValue` at once on its `occurrence`-th call, without running.
void refuseAtOnce(const wchar_t* method, HRESULT returnValue, unsigned occurrence = 1) {
    Fault fault;
    fault.operation = "ExecMethod";
    fault.argument = method;
    fault.kind = Fault::Kind::ReturnValue;
    fault.result = returnValue;
    fault.occurrence = occurrence;
    hostFault(fault);
}

class RealHost : public LifecycleTest {
protected:
    // createVM of a generation 2 machine on the first switch; its path, or empty when it failed.
    std::wstring create(Velmora::LogCallback log = captureLog) {
        MachineSettings settings(L"vm1", 2);
        settings.withSwitches({hostSwitchPaths()[0]});
        CreatedMachine created;
        return Velmora::createVM(log, settings.record(), created.created) ? created.path() : std::wstring();
    }
    bool attach(const std::wstring& vmPath, std::size_t count) {
        const std::vector<std::wstring> images = makeImages(count);
        std::vector<const wchar_t*> list = pointers(images);
        return Velmora::setDiskImages(captureLog, vmPath.c_str(), 2, list.data(),
                                      static_cast<std::uint32_t>(count));
    }
};

// Each export, with each refusal that comes at once through a ReturnValue (the host's own, or injected
// where it refuses only through a job), ends as when the call itself fails: false after the method's line,
// or, for createVM's follow-up steps and its adapters, the step's own Error line and true.
TEST_F(RealHost, RefusalsThroughTheReturnValueFailLikeFailedCalls) {
    struct Row {
        const char* name;
        std::function<bool()> call;  // sets the host up, empties the captured lines and calls the export
        bool result;
        std::vector<const char*> errors;
    };
    const auto settled = [](const std::function<void()>& setUp, const std::function<bool()>& call) {
        return [setUp, call] {
            setUp();
            clearCapturedLines();
            return call();
        };
    };
    const auto machine = [] { return Control::defineMachine(L"vm1", 2); };
    std::wstring path;
    const std::vector<Row> rows{
        {"createVM with a name the host refuses",
         [] {
             MachineSettings settings(L"");
             CreatedMachine created;
             return Velmora::createVM(captureLog, settings.record(), created.created);
         },
         false,
         {"DefineSystem returned 32773"}},
        {"createVM whose memory is refused",
         settled([] { refuseAtOnce(L"ModifyResourceSettings", 32773); }, [this] { return !create().empty(); }),
         true,
         {"ModifyResourceSettings returned 32773", "Failed to set RAM value. Default value 1024 MB will be used"}},
        {"createVM whose adapter is refused",
         settled([] { refuseAtOnce(L"AddResourceSettings", 32773); }, [this] { return !create().empty(); }),
         true,
         {"AddResourceSettings returned 32773", "Cannot create new synthetic adapter",
          "Failed to set up connection to network adapters"}},
        {"deleteVM of a running machine",
         settled(
             [&] {
                 path = machine();
                 Velmora::startVM(captureLog, path.c_str());
             },
             [&] { return Velmora::deleteVM(captureLog, path.c_str()); }),
         false,
         {"DestroySystem returned 32775"}},
        {"startVM of the host itself",
         [] { return Velmora::startVM(captureLog, hostSystem.c_str()); },
         false,
         {"RequestStateChange returned 32770"}},
        {"stopVM of the host itself",
         [] { return Velmora::stopVM(captureLog, hostSystem.c_str()); },
         false,
         {"RequestStateChange returned 32770"}},
        {"setDiskImages whose SCSI controller is refused",
         settled(
             [&] {
                 path = machine();
                 refuseAtOnce(L"AddResourceSettings", 32773);
             },
             [&] { return attach(path, 1); }),
         false,
         {"Query returned no objects!", "AddResourceSettings returned 32773", "Failed to get SCSI controller"}},
        {"setDiskImages whose virtual hard disk is refused",
         settled(
             [&] {
                 path = machine();
                 refuseAtOnce(L"AddResourceSettings", 32774, 3);
             },
             [&] { return attach(path, 1); }),
         false,
         {"Query returned no objects!", "AddResourceSettings returned 32774"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Control::reset();
        clearCapturedLines();

        EXPECT_EQ(row.call(), row.result);

        LogLines errors;
        for (const char* line : row.errors) errors.push_back(error(line));
        EXPECT_TRUE(sameLines(linesOfLevel(capturedLines(), Velmora::Error), errors));
    }
}

// The templates of each pool are walked until the Default: a machine gets its adapter, its SCSI controller,
// drives and disks as on any host.
TEST_F(RealHost, DefaultTemplateListedLastStillEquipsTheMachine) {
    Control::setDefaultTemplateFirst(false);
    const std::wstring vmPath = create();
    ASSERT_FALSE(vmPath.empty());
    ASSERT_TRUE(attach(vmPath, 2));

    const auto vm = Control::machine(vmPath);
    ASSERT_EQ(vm->adapters.size(), 1u);
    EXPECT_EQ(vm->adapters[0].switches, std::vector<std::wstring>{hostSwitchPaths()[0]});
    ASSERT_EQ(vm->controllers.size(), 1u);
    EXPECT_EQ(vm->controllers[0].kind, HyperVSim::ControllerView::Kind::Scsi);
    EXPECT_EQ(vm->controllers[0].drives.size(), 2u);
    EXPECT_TRUE(sameLines(linesOfLevel(capturedLines(), Velmora::Error), {error("Query returned no objects!")}));
}

int checkpointsTaken = 0;

// Takes a checkpoint of every machine when createVM starts sizing the one it has just defined.
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
    const std::wstring vmPath = create(checkpointBeforeSizing);
    ASSERT_EQ(checkpointsTaken, 1);
    ASSERT_TRUE(attach(vmPath, 2));

    const auto vm = Control::machine(vmPath);
    MachineSettings requested;
    EXPECT_EQ(vm->memoryMiB * 1024 * 1024, requested.ramSizeBytes);
    EXPECT_EQ(vm->processors, static_cast<std::uint64_t>(requested.cpu.count));
    EXPECT_EQ(vm->processorWeight, static_cast<std::uint32_t>(requested.cpu.weight));
    ASSERT_EQ(vm->adapters.size(), 1u);
    EXPECT_EQ(vm->adapters[0].switches.size(), 1u);
    ASSERT_EQ(vm->controllers.size(), 1u);
    EXPECT_EQ(vm->controllers[0].drives.size(), 2u);
    EXPECT_TRUE(sameLines(linesOfLevel(capturedLines(), Velmora::Error), {error("Query returned no objects!")}));
}

}  // namespace
}  // namespace VelmoraTest
