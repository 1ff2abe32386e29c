// createVM: the definition and the path handed back, then the sizing and the adapters, whose failures are only
// reported; what each failure leaves in the out-parameter and on the host.
#include <regex>

#include "LibraryTests.h"

namespace VelmoraTest {
namespace {

constexpr std::uint64_t MiB = 1048576;
const std::string ramDefault = "Failed to set RAM value. Default value 1024 MB will be used";
const std::string cpuDefault = "Failed to set cpu cores number. Default value 1 cpu core will be used";
const std::string networkFailed = "Failed to set up connection to network adapters";

// The path the first machine defined after a reset gets: paths are deterministic.
std::wstring nextMachinePath() {
    const std::wstring path = Control::defineMachine(L"probe", 2);
    Control::reset();
    return path;
}

class CreateVM : public LibraryTest {};

TEST_F(CreateVM, DefinesSizesAndConnectsTheMachine) {
    const std::wstring switchPath = switchPaths().at(0);
    MachineSettings settings({switchPath, switchPath}, L"web-01");
    CreatedMachine created;
    ASSERT_TRUE(createVM(settings, created));
    ASSERT_EQ(Control::machines().size(), 1u);
    const HyperVSim::MachineView vm = Control::machines()[0];
    EXPECT_EQ(created.path(), vm.path);
    EXPECT_EQ(created.created.vmPath[vm.path.size() + 1], L'#') << "written past the path";
    EXPECT_TRUE(sameLines(maskedLines(), createVMLines(vm.path, {switchPath, switchPath})));
    EXPECT_EQ(vm.name, L"web-01");
    EXPECT_EQ(vm.generation, 2);
    EXPECT_EQ(vm.configurationDataRoot, L"C:\\VMs");
    EXPECT_EQ(vm.enabledState, 3);
    EXPECT_EQ(std::vector<std::uint64_t>({vm.memoryMiB, vm.memoryReservation, vm.memoryLimit,
                                          vm.maxMemoryBlocksPerNumaNode, vm.processors, vm.processorReservation,
                                          vm.processorLimit, vm.maxProcessorsPerNumaNode, vm.processorWeight}),
              std::vector<std::uint64_t>({2048, 2048, 2048, 2048, 2, 10000, 80000, 2, 200}));
    ASSERT_EQ(vm.adapters.size(), 2u);
    const std::wregex guid(L"\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");
    for (const HyperVSim::AdapterView& adapter : vm.adapters) {
        EXPECT_EQ(adapter.name, L"Network Adapter");
        ASSERT_EQ(adapter.identifiers.size(), 1u);
        EXPECT_TRUE(std::regex_match(adapter.identifiers[0], guid)) << ascii(adapter.identifiers[0]);
        EXPECT_FALSE(adapter.staticMacAddress);
        EXPECT_EQ(adapter.switches, std::vector<std::wstring>{switchPath});
    }
    EXPECT_NE(vm.adapters[0].identifiers, vm.adapters[1].identifiers) << "each adapter needs a GUID of its own";
    EXPECT_TRUE(vm.controllers.empty());

    // Generation 1 gets its subtype, and with it the IDE controllers.
    clearCapturedLines();
    MachineSettings legacy({}, L"legacy", 1);
    ASSERT_TRUE(createVM(legacy, created));
    const auto first = Control::machine(created.path());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(std::make_pair(first->generation, first->controllers.size()), std::make_pair(1, std::size_t{2}));
    EXPECT_TRUE(sameLines(maskedLines(), createVMLines(first->path, {})));
}

// Each way the definition can fail: the Error lines, the path left alone, and whether the host has the
// machine all the same (nothing is ever removed).
TEST_F(CreateVM, DefinitionFailuresReturnFalseAndLeaveThePathAlone) {
    const auto resulting = [](HyperVSim::Value value) {
        return output(L"DefineSystem", L"ResultingSystem", std::move(value));
    };
    Fault omitted = rule("ExecMethod", L"DefineSystem", Fault::Kind::OmitOutput);
    omitted.parameter = L"ResultingSystem";
    const struct {
        std::vector<Fault> faults;
        std::vector<std::string> errors;
        bool defined;
        std::wstring name = L"vm1";
        std::uint32_t generation = 2, unlistedSwitches = 0;
    } cases[] = {
        // Refused before anything is defined: a generation (written unsigned), a switch count without a list.
        {{}, {"Invalid VM generation: 4294967295"}, false, L"vm1", 4294967295u},
        {{}, {"No list of network adapters given for a count of 2"}, false, L"vm1", 2, 2},
        {{}, {"DefineSystem returned 32773"}, false, L""},
        {{rule("ExecMethod", L"DefineSystem")}, {"Call failed, err= -2147217407"}, false},
        {{rule("CreateInstance", L"WbemObjectTextSrc", Fault::Kind::Fail, REGDB_E_CLASSNOTREG)},
         {"Can't create instance of IWbemObjectTextSrc"},
         false},
        {{rule("GetText", L"Msvm_VirtualSystemSettingData")},
         {"Can't serialize IWbemClassObject", "DefineSystem returned 32773"},
         false},
        {{rule("ExecMethod", L"DefineSystem", Fault::Kind::NoOutParams)}, {"Null out params!"}, true},
        {{omitted}, {"Can't get ResultingSystem, res= -2147217406"}, true},
        {{rule("Get", L"ResultingSystem", Fault::Kind::Fail, 1)}, {"Can't get ResultingSystem, res= 1"}, true},
        {{resulting(std::int32_t{7})}, {"Invalid type of ResultingSystem, expected string, got 3"}, true},
        {{resulting(std::monostate{})}, {"Invalid type of ResultingSystem, expected string, got 1"}, true},
        {{resulting(HyperVSim::NullString{})}, {"ResultingSystem holds no path"}, true},
        {{resulting(std::wstring(Velmora::vmPathCapacity, L'p'))},
         {"ResultingSystem does not fit the VM path, characters: 2048"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.errors.back());
        Control::reset();
        clearCapturedLines();
        for (const Fault& fault : c.faults) Control::injectFault(fault);
        MachineSettings settings({}, c.name, c.generation);
        if (c.unlistedSwitches) settings.record.networksCount = c.unlistedSwitches;
        CreatedMachine created;
        EXPECT_FALSE(createVM(settings, created));
        EXPECT_TRUE(sameLines(errorsIn(capturedLines()), errors(c.errors)));
        EXPECT_TRUE(created.untouched());
        EXPECT_EQ(Control::machines().size(), c.defined ? 1u : 0u);
    }
}

// Sizes that do not fit are refused before anything is written (after the opening line), and a failure of the
// sizing is reported with the line of the default the machine keeps; the call still succeeds.
TEST_F(CreateVM, SizingRefusalsAndFailuresLeaveTheDefaults) {
    const std::uint64_t largest = ((1ull << 31) - 1) * MiB, size = 2048 * MiB;
    const std::string ram = "VM RAM of 2^31 MiB or more cannot be set, MiB requested: ";
    const char *setRam = "Set VM RAM", *setCpu = "Setting CPU cores";
    const Velmora::CPUSettings cpu{2, 10, 80, 200};
    const struct {
        std::uint64_t ram;
        Velmora::CPUSettings cpu;
        std::string refusal;     // the first Error line, followed by the line of the default kept
        const char* lineBefore;  // the line before it
        std::uint64_t memoryMiB, processors;
        Fault fault = {};
    } cases[] = {
        {33 * MiB + 1, cpu, "", nullptr, 34, 2},
        // The largest sizes that can be written go to the host, which refuses them through a failing job.
        {largest, {2, 2147483, 2147483, 100}, "", nullptr, 1024, 1},
        {largest + MiB, cpu, ram + "2147483648", setRam, 1024, 2},
        {largest + 1, cpu, ram + "2147483648", setRam, 1024, 2},
        {~0ull, cpu, ram + "17592186044416", setRam, 1024, 2},
        {size, {2, 2147484, 80, 100}, "CPU reservation out of range, percent: 2147484", setCpu, 2048, 1},
        {size, {2, -2147484, 80, 100}, "CPU reservation out of range, percent: -2147484", setCpu, 2048, 1},
        {size, {2, 10, 2147484, 100}, "CPU limit out of range, percent: 2147484", setCpu, 2048, 1},
        {size, {2, 2147484, -2147484, 100}, "CPU reservation out of range, percent: 2147484", setCpu, 2048, 1},
        {size, cpu, "Put param failed, err= -2147217407", "Put value: Reservation", 1024, 2,
         rule("Put", L"Reservation")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ram);
        Control::reset();
        clearCapturedLines();
        if (!c.fault.operation.empty()) Control::injectFault(c.fault);
        MachineSettings settings;
        settings.record.ramSizeBytes = c.ram;
        settings.record.cpu = c.cpu;
        CreatedMachine created;
        EXPECT_TRUE(createVM(settings, created));
        const LogLines& lines = capturedLines();
        const auto firstError = std::find_if(lines.begin(), lines.end(),
                                             [](const LogLine& line) { return line.level == Velmora::Error; });
        if (c.lineBefore) {
            EXPECT_TRUE(
                sameLines(errorsIn(lines), errors({c.refusal, c.lineBefore == setCpu ? cpuDefault : ramDefault})));
            ASSERT_NE(firstError, lines.begin());
            EXPECT_EQ(*(firstError - 1), info(c.lineBefore));
        }
        EXPECT_EQ(firstError == lines.end(), c.lineBefore == nullptr);
        EXPECT_EQ(Control::machine(created.path())->memoryMiB, c.memoryMiB);
        EXPECT_EQ(Control::machine(created.path())->processors, c.processors);
    }
}

// Each association query is built from the __Path that WMI reports, not from the path handed back.
TEST_F(CreateVM, FollowUpStepsQueryThroughThePathsWmiReports) {
    const std::wstring path = nextMachinePath(), relative = path.substr(path.find(L':') + 1);
    Control::injectFault(output(L"DefineSystem", L"ResultingSystem", relative));
    Control::enableJournal(true);
    MachineSettings settings({switchPaths().at(0)});
    CreatedMachine created;
    EXPECT_TRUE(createVM(settings, created));
    EXPECT_EQ(created.path(), relative);
    const std::wstring query = L"Associators of {" + path + L"} where ResultClass = Msvm_VirtualSystemSettingData";
    int queries = 0;
    for (const HyperVSim::JournalEntry& entry : Control::journal())
        queries += entry.operation == "ExecQuery" && entry.argument == query;
    EXPECT_EQ(queries, 3);
    EXPECT_TRUE(errorsIn(capturedLines()).empty());
    EXPECT_EQ(Control::machine(path)->memoryMiB, 2048u);
}

// The network step: each listed switch gets an adapter of its own, connected to it. A failure is reported with
// the step's lines and the call succeeds; what was added stays, an adapter unconnected when its connection fails.
TEST_F(CreateVM, AdapterFailuresAreReportedAndLeaveWhatWasAdded) {
    const std::wstring vmPath = nextMachinePath(), switchPath = switchPaths().at(0);
    const std::wstring missing =
        L"\\\\HVSIM01\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.CreationClassName="
        L"\"Msvm_VirtualEthernetSwitch\",Name=\"00000000-0000-0000-0000-000000000000\"";
    const std::string noAdapter = "Cannot create new synthetic adapter",
                      noConnection = "Failed to create connection to synthetic adapter",
                      putFailed = "Put param failed, err= -2147217403",
                      queryFailed = "Query failed, err=-2147217407", callFailed = "Call failed, err= -2147217407";
    const auto mismatch = [](const wchar_t* property) {
        return rule("Put", property, Fault::Kind::Fail, wbem(WBEM_E_TYPE_MISMATCH));
    };
    const auto resulting = [](HyperVSim::Value value) {
        return output(L"AddResourceSettings", L"ResultingResourceSettings", std::move(value));
    };
    Fault omitted = rule("ExecMethod", L"AddResourceSettings", Fault::Kind::OmitOutput);
    omitted.parameter = L"ResultingResourceSettings";
    const struct {
        std::vector<Fault> faults;
        std::vector<std::string> errors;  // before networkFailed
        std::vector<int> connected;       // per adapter on the host: its switch's index in `switches`, or -1
        std::vector<std::wstring> switches = {};
        bool withoutGuid = false;
    } cases[] = {
        {{rule("ExecQuery",
               L"select * from Msvm_ResourcePool where ResourceSubType = 'Microsoft:Hyper-V:Synthetic "
               L"Ethernet Port' and Primordial = True")},
         {queryFailed, noAdapter},
         {}},
        {{mismatch(L"StaticMacAddress")}, {putFailed, noAdapter}, {}},
        {{rule("ExecMethod", L"AddResourceSettings")}, {callFailed, noAdapter}, {}},
        {{rule("GetCallStatus", L"AddResourceSettings", Fault::Kind::CallStatus, 2)},
         {"Call failed, status: 2", noAdapter},
         {-1}},
        {{omitted}, {"Can't get ResultingSystem, res= -2147217406", noAdapter}, {-1}},
        {{rule("Get", L"ResultingResourceSettings", Fault::Kind::Fail, 262149)},
         {"Can't get ResultingSystem, res= 262149", noAdapter},
         {-1}},
        {{resulting(std::monostate{})}, {"Settings == VT_NULL", noAdapter}, {-1}},
        {{resulting(std::vector<std::wstring>{})}, {"Result count == 0", noAdapter}, {-1}},
        // The adapter's settings, the fourth text, go out empty when they cannot be written.
        {{rule("GetText", {}, Fault::Kind::Fail, failed, 4)},
         {"Can't serialize IWbemClassObject", "Settings == VT_NULL", noAdapter},
         {}},
        {{rule("Get", L"ValueRole")}, {"Failed to get object field", noAdapter}, {}},
        {{delivering(L"ValueRole", std::int32_t{3}, 0)}, {"Query returned no matching objects!", noAdapter}, {}},
        {{rule("ExecQuery", L"select * from Msvm_ResourcePool where ResourceType = 33 and Primordial = True")},
         {queryFailed, noConnection},
         {-1}},
        {{mismatch(L"HostResource")}, {putFailed, noConnection}, {-1}},
        {{rule("ExecMethod", L"AddResourceSettings", Fault::Kind::Fail, failed, 2)}, {callFailed}, {-1}},
        {{rule("ExecQuery", L"Associators of {" + vmPath + L"} where ResultClass = Msvm_VirtualSystemSettingData",
               Fault::Kind::Fail, failed, 3)},
         {queryFailed, "Cannot get virtual system settings data"},
         {}},
        {{},
         {"Could not get object: " + ascii(missing) + ", err=-2147217406", "Cannot get adapter"},
         {0, -1},
         {switchPath, missing, switchPaths().at(1)}},
        {{}, {noAdapter}, {}, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.errors.front());
        Control::reset();
        clearCapturedLines();
        if (c.withoutGuid) {
            VELMORA_NEEDS_STAND_IN();  // the last row
            failComCall("CoCreateGuid", E_FAIL);
        }
        for (const Fault& fault : c.faults) Control::injectFault(fault);
        const std::vector<std::wstring> switches = c.switches.empty() ? std::vector{switchPath} : c.switches;
        MachineSettings settings(switches);
        CreatedMachine created;
        EXPECT_TRUE(createVM(settings, created));
        EXPECT_TRUE(sameLines(errorsIn(capturedLines()), errors(c.errors) + errors({networkFailed})));
        EXPECT_EQ(capturedLines().back(), info("Create VM - OK"));
        std::vector<int> connected;
        const HyperVSim::MachineView vm = Control::machine(vmPath).value();
        for (const HyperVSim::AdapterView& adapter : vm.adapters)
            connected.push_back(adapter.switches.empty()
                                    ? -1
                                    : std::find(switches.begin(), switches.end(), adapter.switches[0]) -
                                          switches.begin());
        EXPECT_EQ(connected, c.connected);
        const long guidFailed =
            std::count(capturedLines().begin(), capturedLines().end(), info("GUID generating failed"));
        EXPECT_EQ(guidFailed, c.withoutGuid ? 1 : 0);
        expectNothingLive();
    }
}

}  // namespace
}  // namespace VelmoraTest
