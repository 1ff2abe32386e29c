// startVM, stopVM and deleteVM: the request reaches the machine on the caller's path and changes it alone; a
// request for the state a machine is in, a stop of a machine that is gone and a deletion Hyper-V refuses.
#include "LibraryTests.h"

namespace VelmoraTest {
namespace {

class MachineState : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        vm_ = Control::defineMachine(L"vm1", 2);
        other_ = Control::defineMachine(L"vm2", 1);
    }
    static int state(const std::wstring& path) { return Control::machine(path)->enabledState; }
    static LogLines missing(const char* banner, const std::wstring& path, HRESULT result = wbem(WBEM_E_NOT_FOUND)) {
        return LogLines{info(banner), info("Request VM state change")} + connectionLines() +
               LogLines{objectLine(path), error("Could not get object: " + ascii(path) + ", err=" + code(result))};
    }
    static LogLines deleteLines() {
        return frame("Delete VM") + serviceLines() +
               methodLines("DestroySystem", {"Put value: AffectedSystem", "Get '__Path'"});
    }

    std::wstring vm_, other_;
};

TEST_F(MachineState, StartAndStopChangeTheMachineAlone) {
    EXPECT_TRUE(Velmora::startVM(captureLog, vm_.c_str()));
    EXPECT_EQ(state(vm_), 2);
    EXPECT_EQ(state(other_), 3);
    ASSERT_TRUE(Velmora::startVM(captureLog, other_.c_str()));
    EXPECT_TRUE(Velmora::stopVM(captureLog, vm_.c_str()));
    EXPECT_EQ(state(vm_), 3);
    EXPECT_EQ(state(other_), 2);
    EXPECT_TRUE(sameLines(capturedLines(), stateChangeLines("Starting VM", vm_) +
                                               stateChangeLines("Starting VM", other_) +
                                               stateChangeLines("Stopping VM", vm_)));
}

// Hyper-V answers a request for the state a machine is in with 32775 (invalid state); the request is met.
TEST_F(MachineState, StateTheMachineIsInAlreadyWarnsAndSucceeds) {
    const auto warned = [this](const char* banner) {
        LogLines lines = stateChangeLines(banner, vm_);
        lines.insert(lines.end() - 1, warning("VM is already in the requested state"));
        return lines;
    };
    EXPECT_TRUE(Velmora::stopVM(captureLog, vm_.c_str()));
    EXPECT_EQ(state(vm_), 3);
    ASSERT_TRUE(Velmora::startVM(captureLog, vm_.c_str()));
    EXPECT_TRUE(Velmora::startVM(captureLog, vm_.c_str()));
    EXPECT_EQ(state(vm_), 2);
    EXPECT_TRUE(sameLines(capturedLines(),
                          warned("Stopping VM") + stateChangeLines("Starting VM", vm_) + warned("Starting VM")));
}

TEST_F(MachineState, StopOfADeletedMachineWarnsAndSucceedsWhereAStartFails) {
    ASSERT_TRUE(Velmora::deleteVM(captureLog, vm_.c_str()));
    clearCapturedLines();
    EXPECT_TRUE(Velmora::stopVM(captureLog, vm_.c_str()));
    EXPECT_FALSE(Velmora::startVM(captureLog, vm_.c_str()));
    EXPECT_TRUE(sameLines(capturedLines(), missing("Stopping VM", vm_) +
                                               LogLines{warning("VM seems to be already deleted")} +
                                               missing("Starting VM", vm_)));
}

// Only a machine that WMI does not find counts as deleted: a path it cannot use or a lookup it refuses say
// nothing of the machine (nor does a host it cannot reach: the reliability sweep fails every export there).
TEST_F(MachineState, StopFailsWhenTheLookupFailsForAnotherReason) {
    ASSERT_TRUE(Velmora::startVM(captureLog, vm_.c_str()));
    const struct {
        std::wstring path;
        HRESULT injected;  // a failure injected into the lookup, or 0 for the host's own answer
        HRESULT result;
    } cases[] = {
        {L"not-a-path", 0, wbem(WBEM_E_INVALID_OBJECT_PATH)},
        {L"Msvm_Nothing.Name=\"x\"", 0, wbem(WBEM_E_INVALID_CLASS)},
        {vm_, wbem(WBEM_E_ACCESS_DENIED), wbem(WBEM_E_ACCESS_DENIED)},
    };
    for (const auto& c : cases) {
        clearCapturedLines();
        if (c.injected) Control::injectFault(rule("GetObject", c.path, Fault::Kind::Fail, c.injected));
        EXPECT_FALSE(Velmora::stopVM(captureLog, c.path.c_str())) << ascii(c.path);
        EXPECT_TRUE(sameLines(capturedLines(), missing("Stopping VM", c.path, c.result)));
    }
    EXPECT_EQ(state(vm_), 2);
}

// The method runs on the path as the caller wrote it, not on the __Path that WMI reports for the machine: a
// relative path works, and no __Path is read on the way.
TEST_F(MachineState, TheCallersPathTextIsUsedUnchanged) {
    const std::wstring prefix = std::wstring(L"\\\\") + HyperVSim::hostName + L"\\root\\virtualization\\v2:";
    ASSERT_TRUE(vm_.starts_with(prefix)) << "the host's paths changed form";
    const std::wstring relative = vm_.substr(prefix.size());
    Control::injectFault(rule("Get", L"__Path", Fault::Kind::Fail, failed, 0));
    EXPECT_TRUE(Velmora::startVM(captureLog, relative.c_str()));
    EXPECT_TRUE(sameLines(capturedLines(), stateChangeLines("Starting VM", relative)));
    EXPECT_EQ(state(vm_), 2);
}

// The machine is not looked up first: the host's verdict on DestroySystem is the result, a running machine
// is refused through its ReturnValue (32775, invalid state).
TEST_F(MachineState, DeleteRemovesTheMachineAloneAndHyperVsVerdictIsTheResult) {
    ASSERT_TRUE(Velmora::startVM(captureLog, other_.c_str()));
    clearCapturedLines();
    EXPECT_TRUE(Velmora::deleteVM(captureLog, vm_.c_str()));
    EXPECT_FALSE(Velmora::deleteVM(captureLog, vm_.c_str()));
    EXPECT_FALSE(Velmora::deleteVM(captureLog, other_.c_str()));
    EXPECT_TRUE(sameLines(capturedLines(), deleteLines() + LogLines{info("Delete VM - OK")} + deleteLines() +
                                               LogLines{error("Call failed, err= -2147217406")} + deleteLines() +
                                               LogLines{error("DestroySystem returned 32775")}));
    ASSERT_EQ(Control::machines().size(), 1u);
    EXPECT_EQ(Control::machines()[0].path, other_);
}

// The management service is the first instance of its class: a query that fails or finds none ends the
// deletion after its line, and no other instance is asked for.
TEST_F(MachineState, DeleteNeedsTheManagementService) {
    const wchar_t* query = L"select * from Msvm_VirtualSystemManagementService";
    const struct {
        Fault fault;
        const char* line;
    } cases[] = {
        {rule("Next", query, Fault::Kind::Fail, wbem(WBEM_E_TRANSPORT_FAILURE)),
         "Query::Next failed, err=-2147217387"},
        {rule("Next", query, Fault::Kind::NoObject), "Query returned no objects!"},
        {rule("Next", query, Fault::Kind::Fail, wbem(WBEM_S_FALSE)), "Query returned no objects!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Control::clearFaults();
        clearCapturedLines();
        Control::injectFault(c.fault);
        EXPECT_FALSE(Velmora::deleteVM(captureLog, vm_.c_str()));
        EXPECT_TRUE(sameLines(capturedLines(), frame("Delete VM") + serviceLines() + LogLines{error(c.line)}));
    }
    EXPECT_EQ(Control::machines().size(), 2u);
    Control::clearFaults();
    Control::clearJournal();
    Control::enableJournal(true);
    EXPECT_TRUE(Velmora::deleteVM(captureLog, vm_.c_str()));
    const auto journal = Control::journal();
    EXPECT_EQ(
        std::count_if(journal.begin(), journal.end(),
                      [&](const auto& entry) { return entry.operation == "Next" && entry.argument == query; }),
        1);
}

}  // namespace
}  // namespace VelmoraTest
