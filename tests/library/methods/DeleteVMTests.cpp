// deleteVM: DestroySystem runs on the management service with the machine's path as its argument, the
// machine is gone afterwards, and Hyper-V's verdict on the call is the result.
#include <string>
#include <vector>

#include "MethodsTest.h"
#include "Velmora/Velmora.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;
using HyperVSim::Fault;

// Every line of a deletion up to the call itself.
LogLines deleteLines() {
    return LogLines{info("Delete VM")} + connectionLines() +
           LogLines{info("Get object: Msvm_VirtualSystemManagementService"),
                    info("Get class instance: Msvm_VirtualSystemManagementService"),
                    info("Executing query"),
                    info("Get method params: DestroySystem"),
                    info("Spawn instance"),
                    info("Put value: AffectedSystem"),
                    info("Get '__Path'"),
                    info("Executing method: DestroySystem")};
}

bool exists(const std::wstring& path) {
    return Control::machine(path).has_value();
}

class DeleteVM : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        vmPath_ = Control::defineMachine(L"vm1", 2);
        other_ = Control::defineMachine(L"vm2", 1);
    }

    std::wstring vmPath_;
    std::wstring other_;
};

TEST_F(DeleteVM, RemovesTheMachineAndLogsEveryStep) {
    EXPECT_TRUE(Velmora::deleteVM(captureLog, vmPath_.c_str()));

    EXPECT_TRUE(sameLines(capturedLines(), deleteLines() + LogLines{info("Delete VM - OK")}));
    EXPECT_FALSE(exists(vmPath_));
    ASSERT_EQ(Control::machines().size(), 1u);
    EXPECT_EQ(Control::machines()[0].path, other_);
}

// The machine is not looked up first: the host's refusal of the call is the result.
TEST_F(DeleteVM, PathOfNoMachineFailsInTheCall) {
    ASSERT_TRUE(Velmora::deleteVM(captureLog, vmPath_.c_str()));
    clearCapturedLines();

    EXPECT_FALSE(Velmora::deleteVM(captureLog, vmPath_.c_str()));

    EXPECT_TRUE(sameLines(capturedLines(), deleteLines() + LogLines{error("Call failed, err= -2147217406")}));
    EXPECT_TRUE(exists(other_));
}

// A running machine is refused through DestroySystem's ReturnValue (32775, invalid state); the call status
// is 0.
TEST_F(DeleteVM, RunningMachineIsRefusedThroughTheReturnValue) {
    ASSERT_TRUE(Velmora::startVM(captureLog, vmPath_.c_str()));
    clearCapturedLines();

    EXPECT_FALSE(Velmora::deleteVM(captureLog, vmPath_.c_str()));

    EXPECT_TRUE(sameLines(capturedLines(), deleteLines() + LogLines{error("DestroySystem returned 32775")}));
    EXPECT_TRUE(exists(vmPath_));
}

// An unreadable service path does not end the operation; the call goes out on an empty path and fails.
TEST_F(DeleteVM, UnreadableServicePathIsReportedAndTheCallStillMade) {
    struct Case {
        Fault::Kind kind;
        HyperVSim::Value value;
        const char* line;
    };
    const Case cases[] = {
        {Fault::Kind::Fail, {}, "Failed to get object field"},
        {Fault::Kind::DeliverValue, std::int32_t{7}, "Invalid type of field, expected string, got 3"},
        {Fault::Kind::DeliverValue, std::monostate{}, "Invalid type of field, expected string, got 1"},
    };
    for (const Case& c : cases) {
        Control::clearFaults();
        clearCapturedLines();
        Fault unreadable;
        unreadable.operation = "Get";
        unreadable.argument = L"__Path";
        unreadable.kind = c.kind;
        unreadable.result = static_cast<HRESULT>(WBEM_E_FAILED);
        unreadable.value = c.value;
        hostFault(unreadable);

        EXPECT_FALSE(Velmora::deleteVM(captureLog, vmPath_.c_str())) << c.line;

        const LogLines& lines = capturedLines();
        ASSERT_EQ(lines.size(), deleteLines().size() + 2) << c.line;
        EXPECT_TRUE(sameLines(LogLines(lines.begin(), lines.begin() + 12), firstLines(deleteLines(), 12)));
        EXPECT_EQ(lines[12], error(c.line));
        EXPECT_EQ(lines[13], info("Executing method: DestroySystem"));
        EXPECT_EQ(lines[14].level, Velmora::Error);
        EXPECT_EQ(lines[14].text.rfind("Call failed, err= -", 0), 0u) << lines[14].text;
        EXPECT_TRUE(exists(vmPath_));
    }
}

struct FailureRow {
    const char* name;
    Fault fault;
    std::size_t linesBefore;  // lines of deleteLines() written before the failure
    const char* errorLine;
};

const std::vector<FailureRow>& failureRows() {
    static const std::vector<FailureRow> rows{
        {"NoServiceClass", fault("GetObject", L"Msvm_VirtualSystemManagementService", Fault::Kind::Fail, failed), 6,
         "Could not get object: Msvm_VirtualSystemManagementService, err=-2147217407"},
        {"ServiceQueryFails", fault("ExecQuery", L"", Fault::Kind::Fail, failed), 8,
         "Query failed, err=-2147217407"},
        {"NoServiceInstance", fault("Next", L"", Fault::Kind::NoObject), 8, "Query returned no objects!"},
        {"NoInputDefinition", fault("GetMethod", L"DestroySystem", Fault::Kind::NoObject), 9,
         "Returned null method params!"},
        {"NoInputObject", fault("SpawnInstance", L"", Fault::Kind::Fail, failed), 10,
         "SpawnInstance call failed, err=-2147217407"},
        {"AffectedSystemRefused", fault("Put", L"AffectedSystem", Fault::Kind::Fail, failed), 11,
         "Put param failed, err= -2147217407"},
        {"NoCallResult", fault("ExecMethod", L"DestroySystem", Fault::Kind::Fail, failed), 13,
         "Call failed, err= -2147217407"},
        {"CallStatusFailure", fault("GetCallStatus", L"DestroySystem", Fault::Kind::CallStatus, failed), 13,
         "Call failed, status: -2147217407"},
    };
    return rows;
}

class DeleteVMFailure : public LibraryTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(DeleteVMFailure, EndsWithFalseAndLeavesTheMachine) {
    const FailureRow& row = GetParam();
    const std::wstring vmPath = Control::defineMachine(L"vm1", 2);
    hostFault(row.fault);

    EXPECT_FALSE(Velmora::deleteVM(captureLog, vmPath.c_str()));

    EXPECT_TRUE(
        sameLines(capturedLines(), firstLines(deleteLines(), row.linesBefore) + LogLines{error(row.errorLine)}));
    if (row.fault.operation != "GetCallStatus") {
        EXPECT_TRUE(exists(vmPath));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryStep, DeleteVMFailure, ::testing::ValuesIn(failureRows()),
                         [](const ::testing::TestParamInfo<FailureRow>& param) { return param.param.name; });

}  // namespace
}  // namespace VelmoraTest
