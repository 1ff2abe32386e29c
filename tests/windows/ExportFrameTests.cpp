// Every export against Wine's own WMI, which has no Hyper-V namespace: the frame runs up to opening
// root\virtualization\v2, logs the failure at Error and returns false.
#include <gtest/gtest.h>

#include "ComApartment.h"
#include "ExportCalls.h"
#include "LogCapture.h"

namespace VelmoraWine {
namespace {

std::vector<LogLine> expectedLines(const ExportCall& call) {
    std::vector<LogLine> lines;
    for (const std::string& text : linesUpToMissingNamespace(call))
        lines.push_back({text == missingNamespaceLine ? Velmora::Error : Velmora::Info, text});
    return lines;
}

class ExportUnderWineWmi : public ::testing::TestWithParam<ExportCall> {};

TEST_P(ExportUnderWineWmi, LogsItsFrameUpToTheMissingNamespaceAndFails) {
    const ExportCall& call = GetParam();
    onFreshThread([&call] {
        LogCapture capture;
        EXPECT_FALSE(call.call(capture.callback()));
        EXPECT_EQ(capture.lines(), expectedLines(call)) << describe(capture.lines());
    });
}

TEST_P(ExportUnderWineWmi, RepeatsTheSameFrameOnLaterCallsOfTheProcess) {
    // Process-wide COM security is already set by then; a later call must not take that for a failure.
    const ExportCall& call = GetParam();
    onFreshThread([&call] {
        for (int round = 0; round < 2; ++round) {
            LogCapture capture;
            EXPECT_FALSE(call.call(capture.callback()));
            EXPECT_EQ(capture.lines(), expectedLines(call)) << "round " << round << describe(capture.lines());
        }
    });
}

TEST_P(ExportUnderWineWmi, LeavesAThreadWithoutComAsItFoundIt) {
    const ExportCall& call = GetParam();
    onFreshThread([&call] {
        LogCapture capture;
        call.call(capture.callback());
        // S_OK, not S_FALSE: the call's own initialisation is gone again, in either apartment model.
        EXPECT_EQ(probeApartment(COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(probeApartment(COINIT_APARTMENTTHREADED), S_OK);
    });
}

TEST_P(ExportUnderWineWmi, KeepsTheCallersMultithreadedInitialisation) {
    const ExportCall& call = GetParam();
    onFreshThread([&call] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        LogCapture capture;
        EXPECT_FALSE(call.call(capture.callback()));
        EXPECT_EQ(capture.lines(), expectedLines(call)) << describe(capture.lines());
        EXPECT_EQ(probeApartment(COINIT_MULTITHREADED), S_FALSE) << "the caller's initialisation was undone";
        CoUninitialize();
        EXPECT_EQ(probeApartment(COINIT_MULTITHREADED), S_OK) << "the call left an initialisation behind";
    });
}

TEST_P(ExportUnderWineWmi, GoesOnInTheCallersSingleThreadedApartmentAndLeavesItIntact) {
    const ExportCall& call = GetParam();
    onFreshThread([&call] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        LogCapture capture;
        // CoInitializeEx answers RPC_E_CHANGED_MODE here; the call uses the apartment it finds.
        EXPECT_FALSE(call.call(capture.callback()));
        EXPECT_EQ(capture.lines(), expectedLines(call)) << describe(capture.lines());
        EXPECT_EQ(probeApartment(COINIT_APARTMENTTHREADED), S_FALSE) << "the caller's apartment was left";
        CoUninitialize();
        EXPECT_EQ(probeApartment(COINIT_MULTITHREADED), S_OK) << "the thread is still in an apartment";
    });
}

INSTANTIATE_TEST_SUITE_P(EveryExport, ExportUnderWineWmi, ::testing::ValuesIn(allExports()), ExportCallName());

}  // namespace
}  // namespace VelmoraWine
