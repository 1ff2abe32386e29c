// Every export against Wine's own WMI, which has no Hyper-V namespace: the frame runs up to opening
// root\virtualization\v2, logs the failure at Error and returns false, in whatever COM state the calling
// thread is, and leaves that state as it found it.
#include <gtest/gtest.h>

#include "ComApartment.h"
#include "ExportCalls.h"
#include "LogCapture.h"
#include "StreamCapture.h"

namespace VelmoraWine {
namespace {

std::vector<LogLine> expectedLines(const ExportCall& call) {
    std::vector<LogLine> lines;
    for (const std::string& text : linesUpToMissingNamespace(call))
        lines.push_back({text == missingNamespaceLine ? Velmora::Error : Velmora::Info, text});
    return lines;
}

std::string textOf(const std::vector<LogLine>& lines, Velmora::LoggingLevel level) {
    std::string text;
    for (const LogLine& line : lines)
        if (line.level == level) text += line.text + '\n';
    return text;
}

class ExportUnderWineWmi : public ::testing::TestWithParam<ExportCall> {};

TEST_P(ExportUnderWineWmi, LogsItsFrameToTheCallbackOnlyUpToTheMissingNamespaceAndFails) {
    const ExportCall& call = GetParam();
    onFreshThread([&call] {
        LogCapture capture;
        VelmoraTest::StreamCapture streams;
        const bool result = call.call(capture.callback());
        const VelmoraTest::CapturedStreams captured = streams.finish();
        EXPECT_FALSE(result);
        EXPECT_EQ(capture.lines(), expectedLines(call)) << describe(capture.lines());
        EXPECT_EQ(captured.output, "");
        EXPECT_EQ(captured.error, "");
    });
}

TEST_P(ExportUnderWineWmi, WithoutCallbackWritesInfoToStandardOutputAndErrorsToStandardError) {
    // The callback of an earlier call on the thread must not come back for a call without one.
    const ExportCall& call = GetParam();
    onFreshThread([&call] {
        LogCapture capture;
        call.call(capture.callback());
        const std::size_t linesOfFirstCall = capture.lines().size();
        VelmoraTest::StreamCapture streams;
        const bool result = call.call(nullptr);
        const VelmoraTest::CapturedStreams captured = streams.finish();
        EXPECT_FALSE(result);
        EXPECT_EQ(captured.output, textOf(expectedLines(call), Velmora::Info));
        EXPECT_EQ(captured.error, textOf(expectedLines(call), Velmora::Error));
        EXPECT_EQ(capture.lines().size(), linesOfFirstCall);
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
