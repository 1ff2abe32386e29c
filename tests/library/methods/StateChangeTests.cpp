// startVM and stopVM: the request reaches the machine on the caller's path, the machine changes state, and
// a stop of a machine that is gone counts as done.
#include <string>

#include "MethodsTest.h"
#include "Velmora/Velmora.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;

LogLines requestLines(const char* banner, const std::wstring& vmPath) {
    return LogLines{info(banner), info("Request VM state change")} + connectionLines() +
           LogLines{objectLine(vmPath),
                    info("Get object: Msvm_ComputerSystem"),
                    info("Get method params: RequestStateChange"),
                    info("Spawn instance"),
                    info("Put value: RequestedState"),
                    info("Executing method: RequestStateChange"),
                    info("Request VM state change - OK")};
}

// The lines up to the failed lookup of a machine that no longer exists.
LogLines missingMachineLines(const char* banner, const std::wstring& vmPath) {
    return LogLines{info(banner), info("Request VM state change")} + connectionLines() +
           LogLines{objectLine(vmPath), error("Could not get object: " + ascii(vmPath) + ", err=-2147217406")};
}

class StateChange : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        vmPath_ = Control::defineMachine(L"vm1", 2);
        other_ = Control::defineMachine(L"vm2", 1);
    }

    int state(const std::wstring& path) const { return Control::machine(path)->enabledState; }

    std::wstring vmPath_;
    std::wstring other_;
};

TEST_F(StateChange, StartRunsTheMachineAndLogsEveryStep) {
    EXPECT_TRUE(Velmora::startVM(captureLog, vmPath_.c_str()));

    EXPECT_TRUE(sameLines(capturedLines(), requestLines("Starting VM", vmPath_)));
    EXPECT_EQ(state(vmPath_), 2);
    EXPECT_EQ(state(other_), 3) << "another machine was touched";
}

TEST_F(StateChange, StopTurnsTheRunningMachineOff) {
    ASSERT_TRUE(Velmora::startVM(captureLog, vmPath_.c_str()));
    ASSERT_TRUE(Velmora::startVM(captureLog, other_.c_str()));
    clearCapturedLines();

    EXPECT_TRUE(Velmora::stopVM(captureLog, vmPath_.c_str()));

    EXPECT_TRUE(sameLines(capturedLines(), requestLines("Stopping VM", vmPath_)));
    EXPECT_EQ(state(vmPath_), 3);
    EXPECT_EQ(state(other_), 2) << "another machine was touched";
}

// Hyper-V answers a request for the state a machine is in with 32775 (invalid state); the request is met.
TEST_F(StateChange, StateTheMachineIsInAlreadyWarnsAndSucceeds) {
    const auto expectMet = [this](bool (*request)(Velmora::LogCallback, const wchar_t*), const char* banner,
                                  int expectedState) {
        clearCapturedLines();
        EXPECT_TRUE(request(captureLog, vmPath_.c_str())) << banner;
        LogLines expected = requestLines(banner, vmPath_);
        expected.insert(expected.end() - 1, warning("VM is already in the requested state"));
        EXPECT_TRUE(sameLines(capturedLines(), expected));
        EXPECT_EQ(state(vmPath_), expectedState) << banner;
    };
    expectMet(Velmora::stopVM, "Stopping VM", 3);
    ASSERT_TRUE(Velmora::startVM(captureLog, vmPath_.c_str()));
    expectMet(Velmora::startVM, "Starting VM", 2);
}

TEST_F(StateChange, StopOfADeletedMachineWarnsAndSucceeds) {
    ASSERT_TRUE(Velmora::deleteVM(captureLog, vmPath_.c_str()));
    clearCapturedLines();

    EXPECT_TRUE(Velmora::stopVM(captureLog, vmPath_.c_str()));

    EXPECT_TRUE(sameLines(capturedLines(), missingMachineLines("Stopping VM", vmPath_) +
                                               LogLines{warning("VM seems to be already deleted")}));
}

TEST_F(StateChange, StartOfADeletedMachineFailsWithoutALineOfItsOwn) {
    ASSERT_TRUE(Velmora::deleteVM(captureLog, vmPath_.c_str()));
    clearCapturedLines();

    EXPECT_FALSE(Velmora::startVM(captureLog, vmPath_.c_str()));

    EXPECT_TRUE(sameLines(capturedLines(), missingMachineLines("Starting VM", vmPath_)));
}

// Only a machine that WMI does not find counts as deleted: a path it cannot use, or a lookup it refuses,
// says nothing of the machine.
TEST_F(StateChange, StopFailsWhenTheLookupFailsForAnotherReason) {
    ASSERT_TRUE(Velmora::startVM(captureLog, vmPath_.c_str()));
    const std::wstring unknownClass = L"Msvm_Nothing.Name=\"x\"";
    const struct {
        std::wstring path;
        HRESULT injected;  // a failure injected into the lookup, or 0 for the host's own answer
        HRESULT result;
    } cases[] = {
        {L"not-a-path", 0, wbem(WBEM_E_INVALID_OBJECT_PATH)},
        {unknownClass, 0, wbem(WBEM_E_INVALID_CLASS)},
        {vmPath_, wbem(WBEM_E_ACCESS_DENIED), wbem(WBEM_E_ACCESS_DENIED)},
    };
    for (const auto& c : cases) {
        clearCapturedLines();
        Control::clearFaults();
        if (c.injected) failHostCall("GetObject", c.injected, c.path);

        EXPECT_FALSE(Velmora::stopVM(captureLog, c.path.c_str())) << ascii(c.path);

        EXPECT_TRUE(sameLines(capturedLines(),
                              LogLines{info("Stopping VM"), info("Request VM state change")} + connectionLines() +
                                  LogLines{objectLine(c.path), error("Could not get object: " + ascii(c.path) +
                                                                     ", err=" + code(c.result))}));
    }
    EXPECT_EQ(state(vmPath_), 2);
}

// The already-deleted rule covers only the lookup of the machine, not a failure before it.
TEST_F(StateChange, StopFailsWhenTheHostCannotBeReached) {
    for (const char* operation : {"ConnectServer", "OpenNamespace"}) {
        clearCapturedLines();
        Control::clearFaults();
        failHostCall(operation, static_cast<HRESULT>(WBEM_E_ACCESS_DENIED));

        EXPECT_FALSE(Velmora::stopVM(captureLog, vmPath_.c_str())) << operation;

        ASSERT_FALSE(capturedLines().empty());
        EXPECT_EQ(capturedLines().back().level, Velmora::Error) << operation;
        for (const LogLine& line : capturedLines()) EXPECT_NE(line.level, Velmora::Warning) << line.text;
    }
}

// The method runs on the path as the caller wrote it, not on the __Path that WMI reports for the machine:
// a relative path works, and no __Path is read on the way.
TEST_F(StateChange, TheCallersPathTextIsUsedUnchanged) {
    const std::wstring prefix = std::wstring(L"\\\\") + HyperVSim::hostName + L"\\root\\virtualization\\v2:";
    ASSERT_EQ(vmPath_.rfind(prefix, 0), 0u) << "the host's paths changed form";
    const std::wstring relative = vmPath_.substr(prefix.size());
    HyperVSim::Fault pathUnreadable;
    pathUnreadable.operation = "Get";
    pathUnreadable.argument = L"__Path";
    pathUnreadable.occurrence = 0;
    pathUnreadable.result = static_cast<HRESULT>(WBEM_E_FAILED);
    hostFault(pathUnreadable);

    EXPECT_TRUE(Velmora::startVM(captureLog, relative.c_str()));

    EXPECT_TRUE(sameLines(capturedLines(), requestLines("Starting VM", relative)));
    EXPECT_EQ(state(vmPath_), 2);
}

}  // namespace
}  // namespace VelmoraTest
