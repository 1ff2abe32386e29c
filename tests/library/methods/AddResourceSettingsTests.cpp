// addResourceSettings: a pool's default object becomes a device of the machine, and the object Hyper-V
// created is handed back; every way the call or its output can fail ends with null or HResultError.
#include <string>
#include <vector>

#include "MethodsTest.h"
#include "Velmora/HResultError.h"
#include "wmi/ResourceSettings.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;
using HyperVSim::Fault;
using Velmora::ComPtr;

// The host's ResultingResourceSettings replaced by `value`.
Fault resulting(HyperVSim::Value value) {
    Fault f = fault("ExecMethod", L"AddResourceSettings", Fault::Kind::DeliverValue);
    f.parameter = L"ResultingResourceSettings";
    f.value = std::move(value);
    return f;
}

// Every line of an addition up to the call itself.
LogLines callLines() {
    return {info("Add resource settings"),
            info("Get method params: AddResourceSettings"),
            info("Spawn instance"),
            info("Get '__Path'"),
            info("Put value: AffectedConfiguration"),
            info("Put value: ResourceSettings"),
            info("Get '__Path'"),
            info("Executing method: AddResourceSettings")};
}

class AddResourceSettings : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        vmPath_ = Control::defineMachine(L"vm1", 2);
    }

    struct Outcome {
        bool added = false;
        std::wstring path;
        std::wstring settingsDataPath;
    };

    // Adds a synthetic adapter from its pool's default object, with `faults` in place for the call only.
    Outcome add(const std::vector<Fault>& faults = {}) {
        Outcome outcome;
        runInternal([&](const HyperV& hyperV) {
            const ComPtr<IWbemClassObject> settingsData = settingsDataOf(hyperV.services, vmPath_);
            const ComPtr<IWbemClassObject> adapter = defaultEthernetPort(hyperV.services);
            if (!settingsData || !adapter) throw std::runtime_error("the machine or the pool is missing");
            outcome.settingsDataPath = pathOf(settingsData.get());
            clearCapturedLines();
            for (const Fault& f : faults) hostFault(f);
            const ComPtr<IWbemClassObject> created = Velmora::addResourceSettings(
                hyperV.services, hyperV.managementService.get(), hyperV.managementServiceClass.get(),
                settingsData.get(), adapter.get());
            outcome.added = static_cast<bool>(created);
            if (created) outcome.path = pathOf(created.get());
            return true;
        });
        return outcome;
    }

    std::size_t adapters() const { return Control::machine(vmPath_)->adapters.size(); }

    std::wstring vmPath_;
};

TEST_F(AddResourceSettings, AddsTheDeviceAndHandsBackTheCreatedObject) {
    const Outcome outcome = add();

    ASSERT_TRUE(outcome.added);
    EXPECT_TRUE(sameLines(capturedLines(), callLines() + LogLines{info("Request result: " + ascii(outcome.path)),
                                                                  objectLine(outcome.path)}));
    ASSERT_EQ(adapters(), 1u);
    EXPECT_EQ(Control::machine(vmPath_)->adapters[0].path, outcome.path);
}

// Only element 0 counts; the second path is neither logged nor fetched.
TEST_F(AddResourceSettings, FirstOfSeveralResultsIsTaken) {
    const Outcome outcome = add({resulting(std::vector<std::wstring>{vmPath_, L"no such object"})});

    ASSERT_TRUE(outcome.added);
    EXPECT_EQ(outcome.path, vmPath_);
    EXPECT_TRUE(sameLines(capturedLines(),
                          callLines() + LogLines{info("Request result: " + ascii(vmPath_)), objectLine(vmPath_)}));
}

TEST_F(AddResourceSettings, CreatedObjectThatCannotBeFetchedGivesNull) {
    const Outcome outcome = add({resulting(std::vector<std::wstring>{vmPath_ + L"x"})});

    EXPECT_FALSE(outcome.added);
    const LogLines& lines = capturedLines();
    ASSERT_EQ(lines.size(), callLines().size() + 3);
    EXPECT_EQ(lines[lines.size() - 2], objectLine(vmPath_ + L"x"));
    EXPECT_EQ(lines.back().text.rfind("Could not get object: " + ascii(vmPath_ + L"x") + ", err=-", 0), 0u);
}

struct FailureRow {
    const char* name;
    Fault fault;
    std::size_t linesBefore;  // lines of callLines() written before the failure
    const char* errorLine;
    bool deviceAdded;  // the host ran the method before the failure showed
};

const std::vector<FailureRow>& failureRows() {
    static const std::vector<FailureRow> rows{
        {"NoInputDefinition", fault("GetMethod", L"AddResourceSettings", Fault::Kind::Fail, failed), 2,
         "Could not get method, err=-2147217407", false},
        {"NoInputObject", fault("SpawnInstance", L"", Fault::Kind::NoObject), 3, "Spawned null instance!", false},
        {"AffectedConfigurationRefused", fault("Put", L"AffectedConfiguration", Fault::Kind::Fail, failed), 5,
         "Put param failed, err= -2147217407", false},
        {"ResourceSettingsRefused", fault("Put", L"ResourceSettings", Fault::Kind::Fail, failed), 6,
         "Put param failed, err= -2147217407", false},
        {"CallFails", fault("ExecMethod", L"AddResourceSettings", Fault::Kind::Fail, failed), 8,
         "Call failed, err= -2147217407", false},
        {"CallStatusFailure", fault("GetCallStatus", L"AddResourceSettings", Fault::Kind::CallStatus, 2), 8,
         "Call failed, status: 2", true},
        {"NoOutParams", fault("ExecMethod", L"AddResourceSettings", Fault::Kind::NoOutParams), 8,
         "Null out params!", true},
        {"ResultMissing",
         [] {
             Fault f = fault("ExecMethod", L"AddResourceSettings", Fault::Kind::OmitOutput);
             f.parameter = L"ResultingResourceSettings";
             return f;
         }(),
         8, "Can't get ResultingSystem, res= -2147217406", true},
        {"ResultReadFails", fault("Get", L"ResultingResourceSettings", Fault::Kind::Fail, failed), 8,
         "Can't get ResultingSystem, res= -2147217407", true},
        // A success code other than S_OK counts as a failure to read, too.
        {"ResultReadPositive", fault("Get", L"ResultingResourceSettings", Fault::Kind::Fail, 262149), 8,
         "Can't get ResultingSystem, res= 262149", true},
        {"ResultNull", resulting(std::monostate{}), 8, "Settings == VT_NULL", true},
        {"ResultEmpty", resulting(std::vector<std::wstring>{}), 8, "Result count == 0", true},
    };
    return rows;
}

class AddResourceSettingsFailure : public AddResourceSettings, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(AddResourceSettingsFailure, GivesNullAfterTheStepsOwnLine) {
    const FailureRow& row = GetParam();

    EXPECT_FALSE(add({row.fault}).added);

    EXPECT_TRUE(
        sameLines(capturedLines(), firstLines(callLines(), row.linesBefore) + LogLines{error(row.errorLine)}));
    // Nothing is rolled back: a device the host already added stays.
    EXPECT_EQ(adapters(), row.deviceAdded ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, AddResourceSettingsFailure, ::testing::ValuesIn(failureRows()),
                         [](const ::testing::TestParamInfo<FailureRow>& param) { return param.param.name; });

// A result that holds no string array is the caller's argument error, not a logged failure.
TEST_F(AddResourceSettings, ResultThatIsNoStringArrayRaisesInvalidArgument) {
    const HyperVSim::Value values[] = {std::wstring(L"not a list"), std::int32_t{5}, true};
    for (const HyperVSim::Value& value : values) {
        clearCapturedLines();
        Control::clearFaults();
        try {
            add({resulting(value)});
            ADD_FAILURE() << "no exception for value of index " << value.index();
        } catch (const Velmora::HResultError& e) {
            EXPECT_EQ(e.hresult(), E_INVALIDARG);
        }
        EXPECT_TRUE(sameLines(capturedLines(), callLines()));
        expectNothingLive();
    }
}

// An unreadable settings path does not end the operation; the call goes out and the host refuses it.
TEST_F(AddResourceSettings, UnreadableSettingsDataPathIsReportedAndTheCallStillMade) {
    const Outcome outcome = add({fault("Get", L"__Path", Fault::Kind::Fail, failed)});

    EXPECT_FALSE(outcome.added);
    const LogLines& lines = capturedLines();
    ASSERT_GE(lines.size(), 10u);
    EXPECT_TRUE(sameLines(LogLines(lines.begin(), lines.begin() + 4), firstLines(callLines(), 4)));
    EXPECT_EQ(lines[4], error("Failed to get object field"));
    const LogLines call = callLines();
    EXPECT_TRUE(sameLines(LogLines(lines.begin() + 5, lines.begin() + 9), LogLines(call.begin() + 4, call.end())));
    EXPECT_EQ(lines[9].level, Velmora::Error);
    EXPECT_EQ(adapters(), 0u);
}

TEST_F(AddResourceSettings, SettingsThatCannotBeWrittenOutAreSentEmpty) {
    const Outcome outcome = add({fault("CreateInstance", L"WbemObjectTextSrc", Fault::Kind::Fail, failed)});

    EXPECT_FALSE(outcome.added);
    const LogLines& lines = capturedLines();
    ASSERT_GE(lines.size(), 10u);
    EXPECT_TRUE(sameLines(LogLines(lines.begin(), lines.begin() + 5), firstLines(callLines(), 5)));
    EXPECT_EQ(lines[5], error("Can't create instance of IWbemObjectTextSrc"));
    const LogLines call = callLines();
    EXPECT_TRUE(sameLines(LogLines(lines.begin() + 6, lines.begin() + 9), LogLines(call.begin() + 5, call.end())));
    EXPECT_EQ(adapters(), 0u);
}

}  // namespace
}  // namespace VelmoraTest
