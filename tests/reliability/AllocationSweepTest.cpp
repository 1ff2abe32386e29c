// Every allocation of every export failed in turn: the export leaves by HResultError(E_OUTOFMEMORY) or ends
// normally, releases everything, balances COM and gives the caller's callback back.
#include <gtest/gtest.h>

#include <HyperVSim/Control.h>
#include <WinCompat/Testing.h>

#include <iostream>
#include <string>

#include "ExportRuns.h"
#include "LibraryTest.h"
#include "NestedCall.h"

namespace VelmoraTest {
namespace {

class AllocationSweep : public LibraryTest {};

TEST_F(AllocationSweep, EveryAllocationOfEveryExportFailsCleanly) {
    unsigned long swept = 0;
    for (const ExportRun& exportRun : exportRuns()) {
        SCOPED_TRACE(exportRun.name);
        unsigned long failures = 0;
        for (unsigned long failAt = 1;; ++failAt) {
            SCOPED_TRACE("allocation " + std::to_string(failAt));
            HyperVSim::Control::reset();
            const auto call = exportRun.prepare();
            clearCapturedLines();
            unsigned long counted = 0;
            const NestedOutcome outcome = runNested(
                [&] {
                    WinCompat::Testing::armAllocationFailure(failAt, libraryModule());
                    return call();
                },
                [&] { counted = WinCompat::Testing::disarmAllocationFailure(); });
            if (outcome.threw) {
                ++failures;
                EXPECT_EQ(outcome.code, E_OUTOFMEMORY);
            }
            EXPECT_TRUE(outcome.restored);
            expectNothingLive();
            if (HasFailure() || counted < failAt) break;
            ++swept;
        }
        EXPECT_GT(failures, 0u);
        if (HasFailure()) return;
    }
    std::cout << "allocation sweep: " << swept << " allocations failed in turn\n";
}

}  // namespace
}  // namespace VelmoraTest
