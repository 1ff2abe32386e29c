// setVmRam and setCpuCores: the values land in the machine's memory and processor settings, sizes that do
// not fit are refused before anything is written, and each failure ends the operation after its own line.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "MethodsTest.h"
#include "vm/ResourceSizing.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;
using HyperVSim::Fault;

constexpr std::uint64_t MiB = 1048576;
LogLines putLines(std::initializer_list<const char*> names) {
    LogLines lines;
    for (const char* name : names) lines.push_back(info(std::string("Put value: ") + name));
    return lines;
}

const std::initializer_list<const char*> memoryProperties{"MaxMemoryBlocksPerNumaNode", "Reservation", "Limit",
                                                          "VirtualQuantity"};
const std::initializer_list<const char*> processorProperties{"VirtualQuantity", "Reservation",
                                                             "MaxProcessorsPerNumaNode", "Limit", "Weight"};

// Up to and including the lookup of the resource-settings object.
LogLines lookupLines(const char* opening, const std::wstring& vmPath) {
    return LogLines{info(opening), objectLine(vmPath)} + associationLines() + associationLines();
}

LogLines modifyLines() {
    return {info("Get method params: ModifyResourceSettings"), info("Spawn instance"),
            info("Put value: ResourceSettings"), info("Get '__Path'"),
            info("Executing method: ModifyResourceSettings")};
}

LogLines ramLines(const std::wstring& vmPath) {
    return lookupLines("Set VM RAM", vmPath) + putLines(memoryProperties) + modifyLines() +
           LogLines{info("Request VM RAM - OK")};
}

LogLines cpuLines(const std::wstring& vmPath) {
    return lookupLines("Setting CPU cores", vmPath) + putLines(processorProperties) + modifyLines() +
           LogLines{info("Set CPU cores - OK")};
}

class ResourceSizing : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        vmPath_ = Control::defineMachine(L"vm1", 2);
    }

    bool setRam(std::uint64_t bytes, const std::vector<Fault>& faults = {}, const std::wstring& path = {}) {
        const std::wstring& target = path.empty() ? vmPath_ : path;
        return runInternal([&](const HyperV& hyperV) {
            for (const Fault& f : faults) hostFault(f);
            return Velmora::setVmRam(hyperV.services, hyperV.managementService.get(),
                                     hyperV.managementServiceClass.get(), target.c_str(), bytes);
        });
    }

    bool setCpu(const Velmora::CPUSettings& cpu, const std::vector<Fault>& faults = {}) {
        return runInternal([&](const HyperV& hyperV) {
            for (const Fault& f : faults) hostFault(f);
            return Velmora::setCpuCores(hyperV.services, hyperV.managementService.get(),
                                        hyperV.managementServiceClass.get(), vmPath_.c_str(), cpu);
        });
    }

    HyperVSim::MachineView machine() const { return *Control::machine(vmPath_); }

    void expectMemoryUntouched() const {
        EXPECT_EQ(machine().memoryMiB, 1024u);
        EXPECT_EQ(machine().memoryReservation, 1024u);
    }

    std::wstring vmPath_;
};

TEST_F(ResourceSizing, RamIsWrittenInWholeMiBToAllFourProperties) {
    EXPECT_TRUE(setRam(4294967296ull));

    EXPECT_TRUE(sameLines(capturedLines(), ramLines(vmPath_)));
    const HyperVSim::MachineView vm = machine();
    EXPECT_EQ(vm.memoryMiB, 4096u);
    EXPECT_EQ(vm.memoryReservation, 4096u);
    EXPECT_EQ(vm.memoryLimit, 4096u);
    EXPECT_EQ(vm.maxMemoryBlocksPerNumaNode, 4096u);
    EXPECT_EQ(vm.processors, 1u) << "the processor settings were touched";
}

TEST_F(ResourceSizing, RamRoundsAPartOfAMiBUp) {
    EXPECT_TRUE(setRam(33 * MiB + 1));

    EXPECT_EQ(machine().memoryMiB, 34u);
}

TEST_F(ResourceSizing, WholeMebibytesCountsEveryStartedMiB) {
    EXPECT_EQ(Velmora::wholeMebibytes(0), 0u);
    EXPECT_EQ(Velmora::wholeMebibytes(1), 1u);
    EXPECT_EQ(Velmora::wholeMebibytes(MiB), 1u);
    EXPECT_EQ(Velmora::wholeMebibytes(1048577), 2u);
    EXPECT_EQ(Velmora::wholeMebibytes(4294967296ull), 4096u);
    EXPECT_EQ(Velmora::wholeMebibytes(std::numeric_limits<std::uint64_t>::max()), 1ull << 44);
}

// 2^31 MiB and more cannot be written as a signed 32-bit count: refused before anything is looked up.
TEST_F(ResourceSizing, RamOf2To31MiBOrMoreIsRefused) {
    const struct {
        std::uint64_t bytes;
        const char* count;
    } cases[] = {
        {(1ull << 31) * MiB, "2147483648"},
        {((1ull << 31) - 1) * MiB + 1, "2147483648"},
        {std::numeric_limits<std::uint64_t>::max(), "17592186044416"},
    };
    for (const auto& c : cases) {
        clearCapturedLines();
        EXPECT_FALSE(setRam(c.bytes)) << c.bytes;

        EXPECT_TRUE(
            sameLines(capturedLines(),
                      {info("Set VM RAM"),
                       error(std::string("VM RAM of 2^31 MiB or more cannot be set, MiB requested: ") + c.count)}));
        expectMemoryUntouched();
    }
}

TEST_F(ResourceSizing, LargestWritableRamGoesToTheHost) {
    // The host refuses it through the method's return value, which does not count.
    EXPECT_TRUE(setRam(((1ull << 31) - 1) * MiB));

    EXPECT_TRUE(sameLines(capturedLines(), ramLines(vmPath_)));
    expectMemoryUntouched();
}

TEST_F(ResourceSizing, FailedPutStopsBeforeAnythingReachesTheHost) {
    EXPECT_FALSE(setRam(2048 * MiB, {fault("Put", L"Reservation", Fault::Kind::Fail, failed)}));

    EXPECT_TRUE(sameLines(capturedLines(), lookupLines("Set VM RAM", vmPath_) +
                                               putLines({"MaxMemoryBlocksPerNumaNode", "Reservation"}) +
                                               LogLines{error("Put param failed, err= -2147217407")}));
    expectMemoryUntouched();
}

// Each association query is built from the __Path that WMI reports, not from the caller's text.
TEST_F(ResourceSizing, QueriesUseThePathsWmiReports) {
    const std::wstring relative = vmPath_.substr(vmPath_.find(L':') + 1);
    Control::clearJournal();
    Control::enableJournal(true);

    EXPECT_TRUE(setRam(2048 * MiB, {}, relative));

    std::vector<std::wstring> queries;
    for (const HyperVSim::JournalEntry& entry : Control::journal()) {
        if (entry.operation == "ExecQuery" && entry.argument.rfind(L"Associators of {", 0) == 0)
            queries.push_back(entry.argument);
    }
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries[0], L"Associators of {" + vmPath_ + L"} where ResultClass = Msvm_VirtualSystemSettingData");
    EXPECT_EQ(queries[1].find(L"} where ResultClass = Msvm_MemorySettingData"),
              queries[1].size() - std::wstring(L"} where ResultClass = Msvm_MemorySettingData").size());
    EXPECT_EQ(machine().memoryMiB, 2048u);
}

struct FailureRow {
    const char* name;
    Fault fault;
    std::size_t linesBefore;  // lines of ramLines() written before the failure
    const char* errorLine;
};

const std::vector<FailureRow>& failureRows() {
    static const std::vector<FailureRow> rows{
        {"NoSettingsData", fault("Next", L"", Fault::Kind::NoObject), 4, "Query returned no objects!"},
        {"NoMemorySettings", fault("Next", L"", Fault::Kind::NoObject, 0, 2), 6, "Query returned no objects!"},
        {"SettingsQueryFails", fault("ExecQuery", L"", Fault::Kind::Fail, failed, 2), 6,
         "Query failed, err=-2147217407"},
        {"FirstPutRefused", fault("Put", L"MaxMemoryBlocksPerNumaNode", Fault::Kind::Fail, failed), 7,
         "Put param failed, err= -2147217407"},
        {"NoInputDefinition", fault("GetMethod", L"ModifyResourceSettings", Fault::Kind::Fail, failed), 11,
         "Could not get method, err=-2147217407"},
        {"NoInputObject", fault("SpawnInstance", L"", Fault::Kind::NoObject), 12, "Spawned null instance!"},
        {"ResourceSettingsRefused", fault("Put", L"ResourceSettings", Fault::Kind::Fail, failed), 13,
         "Put param failed, err= -2147217407"},
        {"CallFails", fault("ExecMethod", L"ModifyResourceSettings", Fault::Kind::Fail, failed), 15,
         "Call failed, err= -2147217407"},
        {"NoCallResult", fault("ExecMethod", L"ModifyResourceSettings", Fault::Kind::NoObject), 15,
         "Null call result!"},
    };
    return rows;
}

class ResourceSizingFailure : public ResourceSizing, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(ResourceSizingFailure, EndsWithFalseAfterTheStepsOwnLine) {
    const FailureRow& row = GetParam();

    EXPECT_FALSE(setRam(2048 * MiB, {row.fault}));

    EXPECT_TRUE(sameLines(capturedLines(),
                          firstLines(ramLines(vmPath_), row.linesBefore) + LogLines{error(row.errorLine)}));
    if (row.fault.operation != "ExecMethod") {
        expectMemoryUntouched();
    }
}

INSTANTIATE_TEST_SUITE_P(EveryStep, ResourceSizingFailure, ::testing::ValuesIn(failureRows()),
                         [](const ::testing::TestParamInfo<FailureRow>& param) { return param.param.name; });

TEST_F(ResourceSizing, MissingMachineEndsAfterTheLookup) {
    ASSERT_TRUE(Velmora::deleteVM(captureLog, vmPath_.c_str()));
    clearCapturedLines();

    EXPECT_FALSE(setRam(2048 * MiB));

    EXPECT_TRUE(
        sameLines(capturedLines(), {info("Set VM RAM"), objectLine(vmPath_),
                                    error("Could not get object: " + ascii(vmPath_) + ", err=-2147217406")}));
}

// Without embedded-instance text the operation still calls the method, with one empty element.
TEST_F(ResourceSizing, SettingsThatCannotBeWrittenOutAreSentEmpty) {
    const struct {
        Fault fault;
        const char* line;
    } cases[] = {
        {fault("CreateInstance", L"WbemObjectTextSrc", Fault::Kind::Fail, failed),
         "Can't create instance of IWbemObjectTextSrc"},
        {fault("GetText", L"", Fault::Kind::Fail, failed), "Can't serialize IWbemClassObject"},
    };
    for (const auto& c : cases) {
        clearCapturedLines();
        Control::clearFaults();
        setRam(2048 * MiB, {c.fault});

        const LogLines& lines = capturedLines();
        ASSERT_GE(lines.size(), 16u) << c.line;
        EXPECT_TRUE(sameLines(firstLines(lines, 12), firstLines(ramLines(vmPath_), 12)));
        EXPECT_EQ(lines[12], error(c.line));
        EXPECT_EQ(lines[13], info("Put value: ResourceSettings"));
        EXPECT_EQ(lines[14], info("Get '__Path'"));
        EXPECT_EQ(lines[15], info("Executing method: ModifyResourceSettings"));
        expectMemoryUntouched();
    }
}

TEST_F(ResourceSizing, CpuSettingsAreWrittenInTheirOrder) {
    EXPECT_TRUE(setCpu({4, 10, 80, 200}));

    EXPECT_TRUE(sameLines(capturedLines(), cpuLines(vmPath_)));
    const HyperVSim::MachineView vm = machine();
    EXPECT_EQ(vm.processors, 4u);
    EXPECT_EQ(vm.processorReservation, 10000u);
    EXPECT_EQ(vm.maxProcessorsPerNumaNode, 4u);
    EXPECT_EQ(vm.processorLimit, 80000u);
    EXPECT_EQ(vm.processorWeight, 200u);
    EXPECT_EQ(vm.memoryMiB, 1024u) << "the memory settings were touched";
}

// Reservation and limit go to Hyper-V in thousandths; those that do not fit 32 bits are refused.
TEST_F(ResourceSizing, CpuPercentWhoseThousandthsDoNotFitIsRefused) {
    const struct {
        Velmora::CPUSettings cpu;
        const char* line;
    } cases[] = {
        {{2, 2147484, 80, 100}, "CPU reservation out of range, percent: 2147484"},
        {{2, -2147484, 80, 100}, "CPU reservation out of range, percent: -2147484"},
        {{2, 10, 2147484, 100}, "CPU limit out of range, percent: 2147484"},
        {{2, 2147484, -2147484, 100}, "CPU reservation out of range, percent: 2147484"},
    };
    for (const auto& c : cases) {
        clearCapturedLines();
        EXPECT_FALSE(setCpu(c.cpu)) << c.line;

        EXPECT_TRUE(sameLines(capturedLines(), {info("Setting CPU cores"), error(c.line)}));
        EXPECT_EQ(machine().processors, 1u);
    }
}

TEST_F(ResourceSizing, CpuPercentAtTheLimitOf32BitsGoesToTheHost) {
    // Sent as 2,147,483,000 thousandths; the host refuses it through the return value only.
    EXPECT_TRUE(setCpu({2, 2147483, 2147483, 100}));

    EXPECT_TRUE(sameLines(capturedLines(), cpuLines(vmPath_)));
    EXPECT_EQ(machine().processors, 1u);
}

TEST_F(ResourceSizing, CpuFailureStopsAtTheFailingProperty) {
    EXPECT_FALSE(setCpu({4, 10, 80, 200}, {fault("Put", L"Limit", Fault::Kind::Fail, failed)}));

    EXPECT_TRUE(sameLines(capturedLines(),
                          lookupLines("Setting CPU cores", vmPath_) +
                              putLines({"VirtualQuantity", "Reservation", "MaxProcessorsPerNumaNode", "Limit"}) +
                              LogLines{error("Put param failed, err= -2147217407")}));
    EXPECT_EQ(machine().processors, 1u);
}

}  // namespace
}  // namespace VelmoraTest
