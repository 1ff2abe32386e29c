// createVM: the definition, the path handed back, and the follow-up steps that are only reported.
#include <string>
#include <vector>

#include "LifecycleSupport.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;
using HyperVSim::Fault;

class CreateVM : public LifecycleTest {};

Fault deliverResultingSystem(HyperVSim::Value value) {
    Fault fault;
    fault.operation = "ExecMethod";
    fault.argument = L"DefineSystem";
    fault.kind = Fault::Kind::DeliverValue;
    fault.parameter = L"ResultingSystem";
    fault.value = std::move(value);
    return fault;
}

TEST_F(CreateVM, DefinesTheMachineSizesItAndConnectsItsAdapter) {
    const std::wstring switchPath = hostSwitchPaths().at(0);
    MachineSettings settings(L"web-01", 2);
    settings.withSwitches({switchPath});
    CreatedMachine created;

    ASSERT_TRUE(Velmora::createVM(captureLog, settings.record(), created.created));

    const std::vector<HyperVSim::MachineView> machines = Control::machines();
    ASSERT_EQ(machines.size(), 1u);
    const HyperVSim::MachineView& vm = machines[0];
    EXPECT_EQ(created.path(), vm.path);
    EXPECT_TRUE(sameLines(maskedLines(), createVMLines(vm.path, {switchPath})));

    EXPECT_EQ(vm.name, L"web-01");
    EXPECT_EQ(vm.generation, 2);
    EXPECT_EQ(vm.configurationDataRoot, L"C:\\VMs");
    EXPECT_EQ(vm.enabledState, 3);
    EXPECT_EQ(vm.memoryMiB, 2048u);
    EXPECT_EQ(vm.memoryReservation, 2048u);
    EXPECT_EQ(vm.memoryLimit, 2048u);
    EXPECT_EQ(vm.maxMemoryBlocksPerNumaNode, 2048u);
    EXPECT_EQ(vm.processors, 2u);
    EXPECT_EQ(vm.processorReservation, 10000u);
    EXPECT_EQ(vm.processorLimit, 80000u);
    EXPECT_EQ(vm.maxProcessorsPerNumaNode, 2u);
    EXPECT_EQ(vm.processorWeight, 200u);
    ASSERT_EQ(vm.adapters.size(), 1u);
    EXPECT_EQ(vm.adapters[0].name, L"Network Adapter");
    ASSERT_EQ(vm.adapters[0].identifiers.size(), 1u);
    EXPECT_TRUE(isGuidText(vm.adapters[0].identifiers[0])) << narrow(vm.adapters[0].identifiers[0]);
    EXPECT_FALSE(vm.adapters[0].staticMacAddress);
    EXPECT_EQ(vm.adapters[0].switches, std::vector<std::wstring>{switchPath});
    EXPECT_TRUE(vm.controllers.empty());
}

TEST_F(CreateVM, GenerationOneGetsItsSubtypeAndTheIdeControllers) {
    MachineSettings settings(L"legacy", 1);
    CreatedMachine created;

    ASSERT_TRUE(Velmora::createVM(captureLog, settings.record(), created.created));

    const std::optional<HyperVSim::MachineView> vm = Control::machine(created.path());
    ASSERT_TRUE(vm.has_value());
    EXPECT_EQ(vm->generation, 1);
    EXPECT_EQ(vm->controllers.size(), 2u);
    EXPECT_TRUE(vm->adapters.empty());
    EXPECT_TRUE(sameLines(maskedLines(), createVMLines(vm->path, {})));
}

TEST_F(CreateVM, RefusesAGenerationOtherThanOneOrTwoBeforeDefiningAnything) {
    for (std::uint32_t generation : {0u, 3u}) {
        SCOPED_TRACE(generation);
        clearCapturedLines();
        MachineSettings settings(L"vm", generation);
        CreatedMachine created;

        EXPECT_FALSE(Velmora::createVM(captureLog, settings.record(), created.created));

        EXPECT_TRUE(sameLines(
            capturedLines(), frameLines("Create VM") + managementServiceLines() +
                                 LogLines{info("Get object: Msvm_VirtualSystemSettingData"), info("Spawn instance"),
                                          info("Put value: ElementName"),
                                          error("Invalid VM generation: " + std::to_string(generation))}));
        EXPECT_TRUE(created.untouched());
        EXPECT_TRUE(Control::machines().empty());
    }
}

TEST_F(CreateVM, RefusesASwitchCountWithoutAListBeforeDefiningAnything) {
    MachineSettings settings;
    Velmora::VMSettings record = settings.record();
    record.networks = nullptr;
    record.networksCount = 2;
    CreatedMachine created;

    EXPECT_FALSE(Velmora::createVM(captureLog, record, created.created));

    EXPECT_TRUE(
        sameLines(capturedLines(), frameLines("Create VM") + LogLines{error("No list of network adapters given "
                                                                            "for a count of 2")}));
    EXPECT_TRUE(created.untouched());
    EXPECT_TRUE(Control::machines().empty());
}

// Each way the definition can fail before a path is handed back: the lines from the failing step on, and
// whether the host has the machine all the same (nothing is ever removed).
struct DefinitionFailure {
    const char* what;
    Fault fault;
    LogLines tail;
    bool machineDefined;
};

Fault rule(const char* operation, const wchar_t* argument, Fault::Kind kind, std::int32_t result = 0) {
    Fault fault;
    fault.operation = operation;
    fault.argument = argument;
    fault.kind = kind;
    fault.result = result;
    return fault;
}

TEST_F(CreateVM, DefinitionFailuresReturnFalseAndLeaveThePathAlone) {
    const LogLines beforeCall =
        LogLines{info("Get method params: DefineSystem"), info("Spawn instance"), info("Put value: SystemSettings"),
                 info("Get '__Path'"), info("Executing method: DefineSystem")};
    Fault omitted = rule("ExecMethod", L"DefineSystem", Fault::Kind::OmitOutput);
    omitted.parameter = L"ResultingSystem";

    const std::vector<DefinitionFailure> failures = {
        {"no connection",
         rule("ConnectServer", L"", Fault::Kind::Fail, failedCode),
         {info("Connect to the server"), error("Could not connect, err=-2147217407")},
         false},
        {"no management service",
         rule("GetObject", L"Msvm_VirtualSystemManagementService", Fault::Kind::Fail, notFoundCode),
         {info("Get object: Msvm_VirtualSystemManagementService"),
          error("Could not get object: Msvm_VirtualSystemManagementService, err=-2147217406")},
         false},
        {"no settings instance",
         rule("SpawnInstance", L"Msvm_VirtualSystemSettingData", Fault::Kind::NoObject),
         {info("Spawn instance"), error("Spawned null instance!")},
         false},
        {"settings class missing",
         rule("GetObject", L"Msvm_VirtualSystemSettingData", Fault::Kind::Fail, notFoundCode),
         {info("Get object: Msvm_VirtualSystemSettingData"),
          error("Could not get object: Msvm_VirtualSystemSettingData, err=-2147217406")},
         false},
        {"subtype refused",
         rule("Put", L"VirtualSystemSubType", Fault::Kind::Fail, mismatchCode),
         {info("Put value: VirtualSystemSubType"), error("Put param failed, err= -2147217403")},
         false},
        {"no DefineSystem",
         rule("GetMethod", L"DefineSystem", Fault::Kind::Fail, notFoundCode),
         {info("Get method params: DefineSystem"), error("Could not get method, err=-2147217406")},
         false},
        {"no text source",
         rule("CreateInstance", L"WbemObjectTextSrc", Fault::Kind::Fail, REGDB_E_CLASSNOTREG),
         {info("Get method params: DefineSystem"), info("Spawn instance"),
          error("Can't create instance of IWbemObjectTextSrc")},
         false},
        {"call refused", rule("ExecMethod", L"DefineSystem", Fault::Kind::Fail, failedCode),
         beforeCall + LogLines{error("Call failed, err= -2147217407")}, false},
        {"no output parameters", rule("ExecMethod", L"DefineSystem", Fault::Kind::NoOutParams),
         beforeCall + LogLines{error("Null out params!")}, true},
        {"ResultingSystem missing", omitted,
         beforeCall + LogLines{error("Can't get ResultingSystem, res= -2147217406")}, true},
        {"ResultingSystem read with a success code", rule("Get", L"ResultingSystem", Fault::Kind::Fail, 1),
         beforeCall + LogLines{error("Can't get ResultingSystem, res= 1")}, true},
        {"ResultingSystem a number", deliverResultingSystem(std::int32_t{7}),
         beforeCall + LogLines{error("Invalid type of ResultingSystem, expected string, got 3")}, true},
        {"ResultingSystem empty", deliverResultingSystem(std::monostate{}),
         beforeCall + LogLines{error("Invalid type of ResultingSystem, expected string, got 1")}, true},
        {"ResultingSystem a null string", deliverResultingSystem(HyperVSim::NullString{}),
         beforeCall + LogLines{error("ResultingSystem holds no path")}, true},
        {"ResultingSystem longer than the buffer",
         deliverResultingSystem(std::wstring(Velmora::vmPathCapacity, L'p')),
         beforeCall + LogLines{error("ResultingSystem does not fit the VM path, characters: 2048")}, true},
    };

    for (const DefinitionFailure& failure : failures) {
        SCOPED_TRACE(failure.what);
        Control::reset();
        clearCapturedLines();
        hostFault(failure.fault);
        MachineSettings settings;
        CreatedMachine created;

        EXPECT_FALSE(Velmora::createVM(captureLog, settings.record(), created.created));

        const LogLines& lines = capturedLines();
        ASSERT_GE(lines.size(), failure.tail.size());
        EXPECT_TRUE(sameLines(LogLines(lines.end() - static_cast<std::ptrdiff_t>(failure.tail.size()), lines.end()),
                              failure.tail));
        EXPECT_TRUE(created.untouched());
        EXPECT_EQ(Control::machines().size(), failure.machineDefined ? 1u : 0u);
        expectNothingLive();
    }
}

TEST_F(CreateVM, AnUnreadableDefinitionIsSentEmptyAndTheHostRefusesIt) {
    hostFault(rule("GetText", L"Msvm_VirtualSystemSettingData", Fault::Kind::Fail, failedCode));
    MachineSettings settings;
    CreatedMachine created;

    EXPECT_FALSE(Velmora::createVM(captureLog, settings.record(), created.created));

    const LogLines errors = linesOfLevel(capturedLines(), Velmora::Error);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], error("Can't serialize IWbemClassObject"));
    EXPECT_EQ(errors[1], error("DefineSystem returned 32773"));
    EXPECT_TRUE(created.untouched());
    EXPECT_TRUE(Control::machines().empty());
}

TEST_F(CreateVM, APathOfTheLargestSizeThatFitsIsHandedBackWhole) {
    const std::wstring longPath(Velmora::vmPathCapacity - 1, L'p');
    hostFault(deliverResultingSystem(longPath));
    MachineSettings settings;
    CreatedMachine created;

    EXPECT_TRUE(Velmora::createVM(captureLog, settings.record(), created.created));

    EXPECT_EQ(created.path(), longPath);
    // The follow-up steps work on the path handed back, which names nothing on the host.
    const std::string missing = "Could not get object: " + narrow(longPath) + ", err=";
    LogLines errors = linesOfLevel(capturedLines(), Velmora::Error);
    ASSERT_EQ(errors.size(), 6u);
    for (std::size_t i : {0u, 2u, 4u}) EXPECT_EQ(errors[i].text.rfind(missing, 0), 0u) << errors[i].text;
    EXPECT_EQ(errors[1], error("Failed to set RAM value. Default value 1024 MB will be used"));
    EXPECT_EQ(errors[3], error("Failed to set cpu cores number. Default value 1 cpu core will be used"));
    EXPECT_EQ(errors[5], error("Failed to set up connection to network adapters"));
    EXPECT_EQ(capturedLines().back(), info("Create VM - OK"));
    // The real machine exists with the host's defaults.
    ASSERT_EQ(Control::machines().size(), 1u);
    EXPECT_EQ(Control::machines()[0].memoryMiB, 1024u);
    EXPECT_EQ(Control::machines()[0].processors, 1u);
}

TEST_F(CreateVM, FollowUpFailuresAreReportedInOrderAndTheResultStaysTrue) {
    Fault everyModify = rule("ExecMethod", L"ModifyResourceSettings", Fault::Kind::Fail, failedCode);
    everyModify.occurrence = 0;
    hostFault(everyModify);
    const std::wstring nowhere =
        L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.CreationClassName="
        L"\"Msvm_VirtualEthernetSwitch\",Name=\"00000000-0000-0000-0000-000000000000\"";
    MachineSettings settings;
    settings.withSwitches({nowhere});
    CreatedMachine created;

    EXPECT_TRUE(Velmora::createVM(captureLog, settings.record(), created.created));

    EXPECT_TRUE(sameLines(linesOfLevel(capturedLines(), Velmora::Error),
                          {error("Call failed, err= -2147217407"),
                           error("Failed to set RAM value. Default value 1024 MB will be used"),
                           error("Call failed, err= -2147217407"),
                           error("Failed to set cpu cores number. Default value 1 cpu core will be used"),
                           error("Could not get object: " + narrow(nowhere) + ", err=-2147217406"),
                           error("Cannot get adapter"), error("Failed to set up connection to network adapters")}));
    EXPECT_EQ(capturedLines().back(), info("Create VM - OK"));
    const std::optional<HyperVSim::MachineView> vm = Control::machine(created.path());
    ASSERT_TRUE(vm.has_value());
    EXPECT_EQ(vm->memoryMiB, 1024u);
    EXPECT_EQ(vm->processors, 1u);
    ASSERT_EQ(vm->adapters.size(), 1u);
    EXPECT_TRUE(vm->adapters[0].switches.empty());
}

}  // namespace
}  // namespace VelmoraTest
