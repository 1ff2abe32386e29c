// Every WMI call of every export failed in each way the host can fail it, and (on the stand-in) every
// allocation of every export failed in turn: the export ends with a documented result and line, leaks
// nothing, balances COM and gives the caller's callback back.
#include <HyperVSim/Control.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <map>
#include <set>

#include "Reliability.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;
using HyperVSim::Fault;
using HyperVSim::JournalEntry;
using Kind = Fault::Kind;

constexpr HRESULT failure = static_cast<HRESULT>(WBEM_E_FAILED);

// The ways one journalled call can fail; a kind that does not apply to an operation is left out.
std::vector<Fault> faultsFor(const JournalEntry& entry, unsigned occurrence) {
    const auto rule = [&](Kind kind, std::int32_t result = 0, std::wstring parameter = {},
                          HyperVSim::Value value = {}) {
        return Fault{entry.operation, entry.argument,       occurrence,      kind,
                     result,          std::move(parameter), std::move(value)};
    };
    std::vector<Fault> faults = {rule(Kind::Fail, failure)};
    static const std::set<std::string> handOut = {
        "ConnectServer", "OpenNamespace", "GetObject",  "ExecQuery",       "Next",
        "SpawnInstance", "GetMethod",     "ExecMethod", "GetResultObject", "CreateInstance"};
    if (handOut.count(entry.operation)) faults.push_back(rule(Kind::NoObject));
    if (entry.operation == "GetCallStatus") faults.push_back(rule(Kind::CallStatus, failure));
    if (entry.operation == "ExecMethod") {
        faults.push_back(rule(Kind::NoOutParams));
        faults.push_back(rule(Kind::ReturnValue, 32775));
        for (const wchar_t* output : {L"ResultingSystem", L"ResultingResourceSettings"}) {
            faults.push_back(rule(Kind::OmitOutput, 0, output));
            faults.push_back(rule(Kind::DeliverValue, 0, output, std::int32_t{7}));
        }
    }
    if (entry.operation == "Get") {
        for (HyperVSim::Value value :
             {HyperVSim::Value{std::int32_t{7}}, HyperVSim::Value{}, HyperVSim::Value{HyperVSim::NullString{}}})
            faults.push_back(rule(Kind::DeliverValue, 0, {}, value));
    }
    return faults;
}

// The calls every export makes to reach the Hyper-V namespace, and the head of the line a failure of each
// ends the export with (a null namespace has a line of its own; a null locator or connection none to check).
const std::map<std::string, std::string> connectionSteps = {
    {"CreateInstance", "Failed to create IWbemLocator object, err="},
    {"ConnectServer", "Could not connect, err="},
    {"SetBlanket", "Could not set proxy blanket. err="},
    {"OpenNamespace", "Failed to open namespace, err="}};

// The lines of one export call made in the usual way on a freshly seeded host; `before` runs just before it.
LogLines usualLines(const ExportRun& exportRun, const std::function<void()>& before = {}) {
    Control::reset();
    const auto call = exportRun.prepare();
    if (before) before();
    clearCapturedLines();
    EXPECT_TRUE(call());
    return capturedLines();
}

// One test per export, so that the sweeps spread over the cores; each prints its counts, and the suite the
// totals of the exports this process swept.
std::string testNameOf(const testing::TestParamInfo<std::size_t>& info) {
    std::string name;
    bool capital = false;
    for (const char c : exportRuns()[info.param].name) {
        if (c == ' ') {
            capital = true;
            continue;
        }
        name += capital ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
        capital = false;
    }
    return name;
}

class FaultSweep : public LibraryTest, public testing::WithParamInterface<std::size_t> {
protected:
    static void TearDownTestSuite() {
        std::cout << "fault sweep: " << totalCalls << " calls, " << totalRuns << " faulted runs\n";
    }
    static inline std::size_t totalCalls = 0, totalRuns = 0;
};

TEST_P(FaultSweep, EveryCallFailsCleanly) {
    std::size_t calls = 0, runs = 0;
    {
        const ExportRun& exportRun = exportRuns()[GetParam()];
        const LogLines baseline = usualLines(exportRun, [] {
            Control::clearJournal();
            Control::enableJournal(true);
        });
        Control::enableJournal(false);
        const std::vector<JournalEntry> journal = Control::journal();
        ASSERT_FALSE(journal.empty());
        calls += journal.size();
        std::map<std::pair<std::string, std::wstring>, unsigned> seen;
        for (const JournalEntry& entry : journal) {
            const unsigned occurrence = ++seen[{entry.operation, entry.argument}];
            for (const Fault& fault : faultsFor(entry, occurrence)) {
                SCOPED_TRACE(fault.operation + " #" + std::to_string(occurrence) + " kind " +  // as in Fault::Kind
                             std::to_string(static_cast<int>(fault.kind)) +
                             (fault.parameter.empty() ? "" : " of an output"));
                ++runs;
                Control::reset();
                const auto call = exportRun.prepare();
                clearCapturedLines();
                Control::injectFault(fault);
                const NestedOutcome outcome = runNested(call, [] { Control::clearFaults(); });
                const LogLines lines = capturedLines();
                EXPECT_TRUE(outcome.restored);
                expectNothingLive();
                if (outcome.threw) {
                    // A value that should hold an array of texts and does not: refused as an argument.
                    EXPECT_EQ(fault.kind, Kind::DeliverValue);
                    EXPECT_EQ(outcome.code, E_INVALIDARG);
                    continue;
                }
                for (const LogLine& line : lines) EXPECT_TRUE(isAllowedLine(line.text)) << line.text;
                ASSERT_FALSE(lines.empty());
                const LogLine& last = lines.back();
                if (outcome.result && lines == baseline) continue;  // the export never looks at what this changed
                if (const auto step = connectionSteps.find(entry.operation);
                    step != connectionSteps.end() &&
                    (entry.operation != "CreateInstance" || entry.argument == L"WbemLocator")) {
                    EXPECT_FALSE(outcome.result);
                    EXPECT_EQ(last.level, Velmora::Error);
                    if (fault.kind != Kind::NoObject) {
                        EXPECT_TRUE(last.text.starts_with(step->second)) << last.text;
                    } else if (entry.operation == "OpenNamespace") {
                        EXPECT_EQ(last.text, "Null namespace!");
                    }
                } else if (!outcome.result && last.level != Velmora::Error) {
                    // One ending without an Error line: a query that succeeds but hands back no enumerator,
                    // which WMI never does and the documents do not cover.
                    EXPECT_TRUE(entry.operation == "ExecQuery" && fault.kind == Kind::NoObject) << last.text;
                } else if (outcome.result && exportRun.name == "stopVM") {
                    EXPECT_EQ(last, warning("VM seems to be already deleted"));
                } else if (outcome.result) {
                    // True despite a failure only where a step is logged and skipped: follow-up steps of
                    // createVM, drives of setDiskImages and malformed entries of the host queries.
                    EXPECT_TRUE(exportRun.name == "createVM" || exportRun.name.starts_with("setDiskImages") ||
                                exportRun.name.starts_with("retrieve"))
                        << "true after " << last.text;
                }
            }
            if (HasFatalFailure()) return;
        }
    }
    std::cout << exportRuns()[GetParam()].name << ": " << calls << " calls, " << runs << " faulted runs\n";
    totalCalls += calls;
    totalRuns += runs;
}
INSTANTIATE_TEST_SUITE_P(EveryExport, FaultSweep, testing::Range<std::size_t>(0, exportRuns().size()), testNameOf);

#ifndef _WIN32  // failing allocations are the stand-in's
// A failed allocation ends the export by HResultError(E_OUTOFMEMORY) after no other lines than the usual run
// writes up to there, except a failed join of two strings, which leaves the text as it was: whatever then uses
// the text reports the problem.
class AllocationSweep : public LibraryTest, public testing::WithParamInterface<std::size_t> {
protected:
    static void TearDownTestSuite() {
        std::cout << "allocation sweep: " << totalSwept << " allocations failed in turn, " << totalJoins
                  << " of them joins\n";
    }
    static inline unsigned long totalSwept = 0, totalJoins = 0;
};

TEST_P(AllocationSweep, EveryAllocationFailsCleanly) {
    unsigned long swept = 0, joins = 0;
    {
        const ExportRun& exportRun = exportRuns()[GetParam()];
        const LogLines usual = usualLines(exportRun);
        for (unsigned long failAt = 1;; ++failAt, ++swept) {
            SCOPED_TRACE("allocation " + std::to_string(failAt));
            Control::reset();
            const auto call = exportRun.prepare();
            clearCapturedLines();
            unsigned long made = 0;
            const NestedOutcome outcome = runNested(
                [&] {
                    WinCompat::Testing::armAllocationFailure(failAt, libraryModule());
                    return call();
                },
                [&] { made = WinCompat::Testing::disarmAllocationFailure(); });
            const LogLines& lines = capturedLines();
            EXPECT_TRUE(outcome.restored);
            expectNothingLive();
            if (made < failAt) {  // fewer allocations than the one armed: the run was the usual one
                EXPECT_GT(failAt, 1u) << "the export makes no allocation to fail";
                EXPECT_TRUE(outcome.result && !outcome.threw);
                EXPECT_TRUE(sameLines(lines, usual));
                break;
            }
            if (WinCompat::Testing::failedAllocation() == "VarBstrCat") {
                EXPECT_FALSE(outcome.threw);
                ++joins;
            } else {
                EXPECT_TRUE(outcome.threw);
                EXPECT_EQ(outcome.code, E_OUTOFMEMORY);
                EXPECT_TRUE(lines.size() <= usual.size() && std::equal(lines.begin(), lines.end(), usual.begin()))
                    << "not the start of the usual run's lines:\n"
                    << sameLines(lines, usual).message();
            }
            if (HasFailure()) return;
        }
    }
    std::cout << exportRuns()[GetParam()].name << ": " << swept << " allocations failed in turn, " << joins
              << " of them joins\n";
    totalSwept += swept;
    totalJoins += joins;
}
INSTANTIATE_TEST_SUITE_P(EveryExport, AllocationSweep, testing::Range<std::size_t>(0, exportRuns().size()),
                         testNameOf);
#endif

}  // namespace
}  // namespace VelmoraTest
