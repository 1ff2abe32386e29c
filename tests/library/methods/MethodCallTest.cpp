// How a method call succeeds or fails, seen through startVM: each failure of the input definition, the input
// object, its value, the call, its status, its output parameters and the method's ReturnValue ends the export
// with false after exactly the Error line of the step that failed.
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
    {"NoClass", rule("GetObject", L"Msvm_ComputerSystem", Fault::Kind::Fail, wbem(WBEM_E_ACCESS_DENIED)), 2,
     "Could not get object: Msvm_ComputerSystem, err=-2147217405", false},
    {"NullClass", rule("GetObject", L"Msvm_ComputerSystem", Fault::Kind::NoObject), 2, "Get null object!", false},
    {"GetMethodFails", call("GetMethod", Fault::Kind::Fail, wbem(WBEM_E_NOT_FOUND)), 3,
     "Could not get method, err=-2147217406", false},
    {"NoInputDefinition", call("GetMethod", Fault::Kind::NoObject), 3, "Returned null method params!", false},
    {"SpawnInstanceFails", rule("SpawnInstance"), 4, "SpawnInstance call failed, err=-2147217407", false},
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
    {"ResultUnavailable", call("GetResultObject", Fault::Kind::Fail), 6,
     "Could not get method result, err=-2147217407", true},
    {"NoOutputParameters", call("GetResultObject", Fault::Kind::NoObject), 6, "Null out params!", true},
    {"ReturnValueUnreadable", rule("Get", L"ReturnValue"), 6, "Failed to get object field", true},
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
