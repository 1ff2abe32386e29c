// How a method call succeeds or fails, seen through startVM: every failure of the input definition, the
// input object, its value, the call, its status, its output parameters and the method's ReturnValue ends the
// export with false after exactly one Error line of the step that failed.
#include <string>
#include <vector>

#include "MethodsTest.h"
#include "Velmora/Velmora.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;
using HyperVSim::Fault;

constexpr HRESULT accessDenied = static_cast<HRESULT>(WBEM_E_ACCESS_DENIED);  // -2147217405
constexpr HRESULT notFound = static_cast<HRESULT>(WBEM_E_NOT_FOUND);          // -2147217406
// The Info lines of a state change after the connection, one per step.
LogLines stepLines(const std::wstring& vmPath) {
    return {objectLine(vmPath),
            info("Get object: Msvm_ComputerSystem"),
            info("Get method params: RequestStateChange"),
            info("Spawn instance"),
            info("Put value: RequestedState"),
            info("Executing method: RequestStateChange")};
}

Fault returnValueDelivered(HyperVSim::Value value) {
    Fault f = fault("Get", L"ReturnValue", Fault::Kind::DeliverValue);
    f.value = std::move(value);
    return f;
}

struct FailureRow {
    const char* name;
    Fault fault;
    std::size_t stepsLogged;  // Info lines of stepLines() written before the failure
    const char* errorLine;
    bool methodRan;  // the host ran RequestStateChange before the failure showed
};

const std::vector<FailureRow>& failureRows() {
    static const std::vector<FailureRow> rows{
        {"ClassDefinitionMissing", fault("GetObject", L"Msvm_ComputerSystem", Fault::Kind::Fail, accessDenied), 2,
         "Could not get object: Msvm_ComputerSystem, err=-2147217405", false},
        {"NoClassDefinition", fault("GetObject", L"Msvm_ComputerSystem", Fault::Kind::NoObject), 2,
         "Get null object!", false},
        {"GetMethodFails", fault("GetMethod", L"RequestStateChange", Fault::Kind::Fail, notFound), 3,
         "Could not get method, err=-2147217406", false},
        {"NoInputDefinition", fault("GetMethod", L"RequestStateChange", Fault::Kind::NoObject), 3,
         "Returned null method params!", false},
        {"SpawnInstanceFails", fault("SpawnInstance", L"", Fault::Kind::Fail, failed), 4,
         "SpawnInstance call failed, err=-2147217407", false},
        {"SpawnedNothing", fault("SpawnInstance", L"", Fault::Kind::NoObject), 4, "Spawned null instance!", false},
        {"PutRefused",
         fault("Put", L"RequestedState", Fault::Kind::Fail, static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH)), 5,
         "Put param failed, err= -2147217403", false},
        {"ExecMethodFails", fault("ExecMethod", L"RequestStateChange", Fault::Kind::Fail, failed), 6,
         "Call failed, err= -2147217407", false},
        {"NoCallResult", fault("ExecMethod", L"RequestStateChange", Fault::Kind::NoObject), 6, "Null call result!",
         true},
        {"CallStatusUnavailable", fault("GetCallStatus", L"RequestStateChange", Fault::Kind::Fail, E_OUTOFMEMORY),
         6, "Faled to get call status-2147024882", true},
        {"CallStatusFailure", fault("GetCallStatus", L"RequestStateChange", Fault::Kind::CallStatus, failed), 6,
         "Call failed, status: -2147217407", true},
        {"CallStatusPositive", fault("GetCallStatus", L"RequestStateChange", Fault::Kind::CallStatus, 1), 6,
         "Call failed, status: 1", true},
        {"ResultUnavailable", fault("GetResultObject", L"RequestStateChange", Fault::Kind::Fail, failed), 6,
         "Could not get method result, err=-2147217407", true},
        {"NoOutputParameters", fault("GetResultObject", L"RequestStateChange", Fault::Kind::NoObject), 6,
         "Null out params!", true},
        {"ReturnValueUnreadable", fault("Get", L"ReturnValue", Fault::Kind::Fail, failed), 6,
         "Failed to get object field", true},
        {"ReturnValueNotANumber", returnValueDelivered(std::wstring(L"0")), 6,
         "Invalid type of field, expected string, got 8", true},
        {"ReturnValueRefusal", fault("ExecMethod", L"RequestStateChange", Fault::Kind::ReturnValue, 32768), 6,
         "RequestStateChange returned 32768", false},
        {"ReturnValueAboveSigned", fault("ExecMethod", L"RequestStateChange", Fault::Kind::ReturnValue, -1), 6,
         "RequestStateChange returned 4294967295", false},
        // 32775 is a refusal unless the machine is in the requested state already; this one is off.
        {"InvalidStateOfAnotherState", fault("ExecMethod", L"RequestStateChange", Fault::Kind::ReturnValue, 32775),
         6, "RequestStateChange returned 32775", false},
    };
    return rows;
}

class MethodCallFailure : public LibraryTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(MethodCallFailure, EndsTheCallWithOneErrorLine) {
    const FailureRow& row = GetParam();
    const std::wstring vmPath = Control::defineMachine(L"vm1", 2);
    hostFault(row.fault);

    EXPECT_FALSE(Velmora::startVM(captureLog, vmPath.c_str()));

    LogLines steps = stepLines(vmPath);
    steps.resize(row.stepsLogged);
    EXPECT_TRUE(sameLines(capturedLines(), LogLines{info("Starting VM"), info("Request VM state change")} +
                                               connectionLines() + steps + LogLines{error(row.errorLine)}));
    if (!row.methodRan) {
        EXPECT_EQ(Control::machine(vmPath)->enabledState, 3) << "the machine was started";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryStep, MethodCallFailure, ::testing::ValuesIn(failureRows()),
                         [](const ::testing::TestParamInfo<FailureRow>& param) { return param.param.name; });

class MethodCallVerdict : public LibraryTest {};

// A started job is success: it is not waited for, so the machine is as the job leaves it later.
TEST_F(MethodCallVerdict, JobStartedIsAccepted) {
    const std::wstring vmPath = Control::defineMachine(L"vm1", 2);
    hostFault(fault("ExecMethod", L"RequestStateChange", Fault::Kind::ReturnValue, 4096));

    EXPECT_TRUE(Velmora::startVM(captureLog, vmPath.c_str()));

    EXPECT_EQ(capturedLines().back(), info("Request VM state change - OK"));
    EXPECT_EQ(Control::machine(vmPath)->enabledState, 3) << "the method was not to run";
}

}  // namespace
}  // namespace VelmoraTest
