// Every allocation of every export failed in turn: the failure ends the export by HResultError(E_OUTOFMEMORY),
// after no other lines than the usual run writes up to there, except a failed join of two strings, which the
// export carries on from. Either way everything is released, COM balanced and the caller's callback given back.
#include <gtest/gtest.h>

#include <HyperVSim/Control.h>
#include <WinCompat/Testing.h>

#include <algorithm>
#include <iostream>
#include <string>

#include "ExportRuns.h"
#include "LibraryTest.h"
#include "NestedCall.h"

namespace VelmoraTest {
namespace {

class AllocationSweep : public LibraryTest {};

LogLines usualLines(const ExportRun& exportRun) {
    HyperVSim::Control::reset();
    const auto call = exportRun.prepare();
    clearCapturedLines();
    EXPECT_TRUE(call());
    return capturedLines();
}

::testing::AssertionResult beginsLike(const LogLines& lines, const LogLines& usual) {
    if (lines.size() <= usual.size() && std::equal(lines.begin(), lines.end(), usual.begin()))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the lines are not the start of the usual run's lines:\n"
                                         << sameLines(lines, usual).message();
}

TEST_F(AllocationSweep, EveryAllocationOfEveryExportFailsCleanly) {
    unsigned long swept = 0;
    unsigned long joins = 0;
    for (const ExportRun& exportRun : exportRuns()) {
        SCOPED_TRACE(exportRun.name);
        const LogLines usual = usualLines(exportRun);
        for (unsigned long failAt = 1;; ++failAt) {
            SCOPED_TRACE("allocation " + std::to_string(failAt));
            HyperVSim::Control::reset();
            const auto call = exportRun.prepare();
            clearCapturedLines();
            unsigned long made = 0;
            const NestedOutcome outcome = runNested(
                [&] {
                    WinCompat::Testing::armAllocationFailure(failAt, libraryModule());
                    return call();
                },
                [&] { made = WinCompat::Testing::disarmAllocationFailure(); });
            EXPECT_TRUE(outcome.restored);
            expectNothingLive();
            if (made < failAt) {
                // Fewer allocations than the one armed: the run was the usual one.
                EXPECT_GT(failAt, 1u) << "the export makes no allocation to fail";
                EXPECT_TRUE(outcome.result && !outcome.threw);
                EXPECT_TRUE(sameLines(capturedLines(), usual));
                break;
            }
            if (WinCompat::Testing::failedAllocation() == "VarBstrCat") {
                // A failed join leaves the text as it was; whatever then uses the text reports the problem.
                EXPECT_FALSE(outcome.threw);
                ++joins;
            } else {
                EXPECT_TRUE(outcome.threw);
                EXPECT_EQ(outcome.code, E_OUTOFMEMORY);
                EXPECT_TRUE(beginsLike(capturedLines(), usual));
            }
            if (HasFailure()) return;
            ++swept;
        }
        if (HasFailure()) return;
    }
    std::cout << "allocation sweep: " << swept << " allocations failed in turn, " << joins
              << " of them joins of two strings\n";
}

}  // namespace
}  // namespace VelmoraTest
