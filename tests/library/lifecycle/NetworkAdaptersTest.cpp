// The network step of createVM: one connected synthetic adapter per listed switch, and what each failure
// leaves on the machine.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "LifecycleSupport.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;
using HyperVSim::Fault;

const std::wstring adapterPoolQuery =
    L"select * from Msvm_ResourcePool where ResourceSubType = 'Microsoft:Hyper-V:Synthetic Ethernet Port' and "
    L"Primordial = True";
const std::wstring connectionPoolQuery =
    L"select * from Msvm_ResourcePool where ResourceType = 33 and Primordial = True";

class NetworkAdapters : public LifecycleTest {
protected:
    // Creates a generation 2 machine connected to `switches`; returns its view on the host.
    HyperVSim::MachineView create(const std::vector<std::wstring>& switches) {
        MachineSettings settings;
        settings.withSwitches(switches);
        CreatedMachine created;
        EXPECT_TRUE(Velmora::createVM(captureLog, settings.record(), created.created));
        const std::optional<HyperVSim::MachineView> vm = Control::machine(created.path());
        EXPECT_TRUE(vm.has_value());
        return vm.value_or(HyperVSim::MachineView{});
    }

    // The errors from the network step on (the definition and sizing succeed in these tests).
    static LogLines errors() { return linesOfLevel(capturedLines(), Velmora::Error); }

    static std::wstring missingSwitch() {
        return L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.CreationClassName="
               L"\"Msvm_VirtualEthernetSwitch\",Name=\"00000000-0000-0000-0000-000000000000\"";
    }
};

TEST_F(NetworkAdapters, ASwitchThatNamesNothingStopsTheListAfterItsAdapter) {
    const std::vector<std::wstring> switches = hostSwitchPaths();
    ASSERT_EQ(switches.size(), 2u);

    const HyperVSim::MachineView vm = create({switches[0], missingSwitch(), switches[1]});

    EXPECT_TRUE(sameLines(errors(),
                          {error("Could not get object: " + narrow(missingSwitch()) + ", err=-2147217406"),
                           error("Cannot get adapter"), error("Failed to set up connection to network adapters")}));
    EXPECT_EQ(capturedLines().back(), info("Create VM - OK"));
    ASSERT_EQ(vm.adapters.size(), 2u);
    EXPECT_EQ(vm.adapters[0].switches, std::vector<std::wstring>{switches[0]});
    EXPECT_TRUE(vm.adapters[1].switches.empty());
}

TEST_F(NetworkAdapters, EveryEntryGetsItsOwnAdapterRepeatsIncluded) {
    const std::wstring first = hostSwitchPaths().at(0);

    const HyperVSim::MachineView vm = create({first, first});

    EXPECT_TRUE(sameLines(maskedLines(), createVMLines(vm.path, {first, first})));
    ASSERT_EQ(vm.adapters.size(), 2u);
    std::set<std::wstring> identifiers;
    for (const HyperVSim::AdapterView& adapter : vm.adapters) {
        EXPECT_EQ(adapter.name, L"Network Adapter");
        EXPECT_FALSE(adapter.staticMacAddress);
        EXPECT_EQ(adapter.switches, std::vector<std::wstring>{first});
        ASSERT_EQ(adapter.identifiers.size(), 1u);
        EXPECT_TRUE(isGuidText(adapter.identifiers[0])) << narrow(adapter.identifiers[0]);
        identifiers.insert(adapter.identifiers[0]);
    }
    EXPECT_EQ(identifiers.size(), 2u) << "each adapter needs a GUID of its own";
}

// Ways one switch can fail: the errors of the network step, and whether its adapter stays unconnected.
struct AdapterFailure {
    const char* what;
    Fault fault;
    LogLines errors;
    bool adapterStays;
};

Fault rule(const char* operation, std::wstring argument, std::int32_t result, unsigned occurrence = 1) {
    Fault fault;
    fault.operation = operation;
    fault.argument = std::move(argument);
    fault.kind = Fault::Kind::Fail;
    fault.result = result;
    fault.occurrence = occurrence;
    return fault;
}

TEST_F(NetworkAdapters, FailuresOfOneSwitchAreReportedAndLeaveWhatWasAdded) {
    const LogLines stepFailed{error("Failed to set up connection to network adapters")};
    const std::vector<AdapterFailure> failures = {
        {"no adapter pool", rule("ExecQuery", adapterPoolQuery, failedCode),
         LogLines{error("Query failed, err=-2147217407"), error("Cannot create new synthetic adapter")} +
             stepFailed,
         false},
        {"adapter property refused", rule("Put", L"StaticMacAddress", mismatchCode),
         LogLines{error("Put param failed, err= -2147217403"), error("Cannot create new synthetic adapter")} +
             stepFailed,
         false},
        {"adapter not added", rule("ExecMethod", L"AddResourceSettings", failedCode),
         LogLines{error("Call failed, err= -2147217407"), error("Cannot create new synthetic adapter")} +
             stepFailed,
         false},
        {"no connection pool", rule("ExecQuery", connectionPoolQuery, failedCode),
         LogLines{error("Query failed, err=-2147217407"),
                  error("Failed to create connection to synthetic adapter")} +
             stepFailed,
         true},
        {"switch path refused", rule("Put", L"HostResource", mismatchCode),
         LogLines{error("Put param failed, err= -2147217403"),
                  error("Failed to create connection to synthetic adapter")} +
             stepFailed,
         true},
        {"connection not added", rule("ExecMethod", L"AddResourceSettings", failedCode, 2),
         LogLines{error("Call failed, err= -2147217407")} + stepFailed, true},
    };
    const std::wstring switchPath = hostSwitchPaths().at(0);

    for (const AdapterFailure& failure : failures) {
        SCOPED_TRACE(failure.what);
        Control::reset();
        clearCapturedLines();
        hostFault(failure.fault);

        const HyperVSim::MachineView vm = create({switchPath});

        EXPECT_TRUE(sameLines(errors(), failure.errors));
        EXPECT_EQ(capturedLines().back(), info("Create VM - OK"));
        ASSERT_EQ(vm.adapters.size(), failure.adapterStays ? 1u : 0u);
        if (failure.adapterStays) {
            EXPECT_TRUE(vm.adapters[0].switches.empty());
        }
        expectNothingLive();
    }
}

TEST_F(NetworkAdapters, AFailedGuidIsAnInfoLineAndNoAdapter) {
    VELMORA_NEEDS_STAND_IN();
    failComCall("CoCreateGuid", E_FAIL);

    const HyperVSim::MachineView vm = create({hostSwitchPaths().at(0)});

    const LogLines& lines = capturedLines();
    const auto generating = std::find(lines.begin(), lines.end(), info("Generating adapter GUID"));
    ASSERT_NE(generating, lines.end());
    EXPECT_EQ(*(generating + 1), info("GUID generating failed"));
    EXPECT_TRUE(sameLines(errors(), {error("Cannot create new synthetic adapter"),
                                     error("Failed to set up connection to network adapters")}));
    EXPECT_TRUE(vm.adapters.empty());
}

TEST_F(NetworkAdapters, WithoutSettingsDataNoAdapterIsAdded) {
    // Paths are deterministic after a reset, so the machine's path is known before createVM makes it.
    const std::wstring vmPath = Control::defineMachine(L"probe", 2);
    Control::reset();
    const std::wstring settingsQuery =
        L"Associators of {" + vmPath + L"} where ResultClass = Msvm_VirtualSystemSettingData";
    // The memory and processor steps ask the same query first.
    hostFault(rule("ExecQuery", settingsQuery, failedCode, 3));

    const HyperVSim::MachineView vm = create({hostSwitchPaths().at(0)});

    EXPECT_EQ(vm.path, vmPath);
    EXPECT_TRUE(sameLines(errors(),
                          {error("Query failed, err=-2147217407"), error("Cannot get virtual system settings data"),
                           error("Failed to set up connection to network adapters")}));
    EXPECT_TRUE(vm.adapters.empty());
}

}  // namespace
}  // namespace VelmoraTest
