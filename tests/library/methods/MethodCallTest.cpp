// How a method call succeeds or fails, seen through startVM: a failure of the input object, its value, the call,
// its status, its output parameters or the method's ReturnValue ends the export with false after exactly the
// lines of the steps before it (every call failed in every way, with the line it ends on: the reliability sweep).
#include "LibraryTests.h"

namespace VelmoraTest {
namespace {

struct MethodFailure {
    const char* name;
    Fault fault;
    std::size_t stepsLogged;  // lines of the steps after the connection written before the failure
    const char* line;
    bool methodRan;  // the host ran RequestStateChange before the failure showed
};

Fault call(const char* operation, Fault::Kind kind, HRESULT result = failed) {
    return rule(operation, L"RequestStateChange", kind, result);
}

const MethodFailure methodFailures[] = {
    {"NullClass", rule("GetObject", L"Msvm_ComputerSystem", Fault::Kind::NoObject), 2, "Get null object!", false},
    {"SpawnedNothing", rule("SpawnInstance", {}, Fault::Kind::NoObject), 4, "Spawned null instance!", false},
    {"PutRefused", rule("Put", L"RequestedState", Fault::Kind::Fail, wbem(WBEM_E_TYPE_MISMATCH)), 5,
     "Put param failed, err= -2147217403", false},
    {"ExecMethodFails", call("ExecMethod", Fault::Kind::Fail), 6, "Call failed, err= -2147217407", false},
    {"NoCallResult", call("ExecMethod", Fault::Kind::NoObject), 6, "Null call result!", true},
    {"CallStatusUnavailable", call("GetCallStatus", Fault::Kind::Fail, E_OUTOFMEMORY), 6,
     "Faled to get call status-2147024882", true},
    {"CallStatusFailure", call("GetCallStatus", Fault::Kind::CallStatus), 6, "Call failed, status: -2147217407",
     true},
    {"CallStatusPositive", call("GetCallStatus", Fault::Kind::CallStatus, 1), 6, "Call failed, status: 1", true},
    {"NoOutputParameters", call("GetResultObject", Fault::Kind::NoObject), 6, "Null out params!", true},
    {"ReturnValueNotANumber", delivering(L"ReturnValue", std::wstring(L"0")), 6,
     "Invalid type of field, expected string, got 8", true},
    {"Refused", call("ExecMethod", Fault::Kind::ReturnValue, 32768), 6, "RequestStateChange returned 32768", false},
    {"RefusedAboveSigned", call("ExecMethod", Fault::Kind::ReturnValue, -1), 6,
     "RequestStateChange returned 4294967295", false},
    // 32775 is a refusal unless the machine is in the requested state already; this one is off.
    {"InvalidStateOfAnotherState", call("ExecMethod", Fault::Kind::ReturnValue, 32775), 6,
     "RequestStateChange returned 32775", false},
};

class MethodCallFails : public LibraryTest, public ::testing::WithParamInterface<MethodFailure> {};

TEST_P(MethodCallFails, WithTheLineOfTheStepThatFailed) {
    const MethodFailure& row = GetParam();
    const std::wstring vmPath = Control::defineMachine(L"vm1", 2);
    Control::injectFault(row.fault);
    EXPECT_FALSE(Velmora::startVM(captureLog, vmPath.c_str()));
    LogLines expected = stateChangeLines("Starting VM", vmPath);
    expected.resize(2 + connectionLines().size() + row.stepsLogged);
    EXPECT_TRUE(sameLines(capturedLines(), expected + LogLines{error(row.line)}));
    EXPECT_EQ(Control::machine(vmPath)->enabledState, row.methodRan ? 2 : 3);
}

INSTANTIATE_TEST_SUITE_P(EachStep, MethodCallFails, ::testing::ValuesIn(methodFailures),
                         [](const auto& param) { return std::string(param.param.name); });

class MethodCall : public LibraryTest {};

// A started job is success: it is not waited for, so the machine is as the job leaves it later.
TEST_F(MethodCall, JobStartedIsAccepted) {
    const std::wstring vmPath = Control::defineMachine(L"vm1", 2);
    Control::injectFault(call("ExecMethod", Fault::Kind::ReturnValue, 4096));
    EXPECT_TRUE(Velmora::startVM(captureLog, vmPath.c_str()));
    EXPECT_TRUE(sameLines(capturedLines(), stateChangeLines("Starting VM", vmPath)));
    EXPECT_EQ(Control::machine(vmPath)->enabledState, 3) << "the method was not to run";
}

}  // namespace
}  // namespace VelmoraTest
