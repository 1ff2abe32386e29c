// Where an export's lines go under Windows: the caller's callback for the length of the call, otherwise the
// standard streams (Info to standard output, Error to standard error), and the thread's previous sink again
// once the call is over, also when one export is called from inside another's callback.
#include <gtest/gtest.h>

#include <thread>

#include "ComApartment.h"
#include "ExportCalls.h"
#include "LogCapture.h"
#include "StreamCapture.h"

namespace VelmoraWine {
namespace {

using Texts = std::vector<std::string>;

Texts withoutLast(Texts texts) {
    texts.pop_back();
    return texts;
}

class ExportLogSink : public ::testing::TestWithParam<ExportCall> {};

TEST_P(ExportLogSink, WithoutCallbackWritesInfoToStandardOutputAndErrorsToStandardError) {
    const ExportCall& call = GetParam();
    const int strayBefore = LogCapture::strayLines();
    StreamCapture streams;
    const bool result = call.call(nullptr);
    const CapturedStreams captured = streams.finish();

    EXPECT_FALSE(result);
    const Texts expected = linesUpToMissingNamespace(call);
    EXPECT_EQ(splitLines(captured.output), withoutLast(expected)) << captured.output;
    EXPECT_EQ(splitLines(captured.error), Texts{missingNamespaceLine}) << captured.error;
    EXPECT_EQ(LogCapture::strayLines(), strayBefore);
}

TEST_P(ExportLogSink, WithCallbackWritesNothingToTheStreams) {
    const ExportCall& call = GetParam();
    LogCapture capture;
    StreamCapture streams;
    call.call(capture.callback());
    const CapturedStreams captured = streams.finish();

    EXPECT_EQ(captured.output, "");
    EXPECT_EQ(captured.error, "");
    EXPECT_EQ(capture.texts(), linesUpToMissingNamespace(call));
}

TEST_P(ExportLogSink, CallbackIsGoneOnceTheCallReturns) {
    const ExportCall& call = GetParam();
    const ExportCall& next = exportNamed("retrieveUsedMemory");
    LogCapture capture;
    call.call(capture.callback());
    const std::size_t linesOfFirstCall = capture.lines().size();

    StreamCapture streams;
    next.call(nullptr);
    const CapturedStreams captured = streams.finish();

    EXPECT_EQ(capture.lines().size(), linesOfFirstCall) << "a later call without callback reached the old one";
    EXPECT_EQ(splitLines(captured.output), withoutLast(linesUpToMissingNamespace(next)));
    EXPECT_EQ(splitLines(captured.error), Texts{missingNamespaceLine});
}

INSTANTIATE_TEST_SUITE_P(EveryExport, ExportLogSink, ::testing::ValuesIn(allExports()), ExportCallName());

// An outer export whose callback calls another export once, in the middle of the outer frame.
struct Nesting {
    LogCapture* outer = nullptr;
    LogCapture* inner = nullptr;
    const char* trigger = nullptr;
    bool innerCalled = false;
    bool innerResult = true;
};
thread_local Nesting nesting;

void outerSink(Velmora::LoggingLevel level, const char* line) {
    nesting.outer->record(level, line);
    if (!nesting.innerCalled && std::string(line) == nesting.trigger) {
        nesting.innerCalled = true;
        nesting.innerResult = exportNamed("retrieveAvailableNetworkAdapters").call(nesting.inner->callback());
    }
}

TEST(NestedExportCall, InnerCallbackServesOnlyTheInnerCallAndTheOuterOneIsBackAfterIt) {
    onFreshThread([] {
        LogCapture outer(LogCapture::Slot::First);
        LogCapture inner(LogCapture::Slot::Second);
        // After the outer call has started COM, so the inner call also meets an initialised thread.
        nesting = {&outer, &inner, "Connect to the server"};

        const ExportCall& outerCall = exportNamed("retrieveUsedMemory");
        EXPECT_FALSE(outerCall.call(&outerSink));

        EXPECT_TRUE(nesting.innerCalled);
        EXPECT_FALSE(nesting.innerResult);
        EXPECT_EQ(outer.texts(), linesUpToMissingNamespace(outerCall)) << describe(outer.lines());
        EXPECT_EQ(inner.texts(), linesUpToMissingNamespace(exportNamed("retrieveAvailableNetworkAdapters")))
            << describe(inner.lines());
        EXPECT_EQ(probeApartment(COINIT_MULTITHREADED), S_OK);
        nesting = {};
    });
}

constexpr int concurrentRounds = 3;

TEST(ConcurrentExportCalls, EachThreadSeesOnlyItsOwnLines) {
    const ExportCall& memory = exportNamed("retrieveUsedMemory");
    const ExportCall& start = exportNamed("startVM");
    auto run = [](const ExportCall& call, Texts& seen) {
        LogCapture capture;
        for (int round = 0; round < concurrentRounds; ++round) call.call(capture.callback());
        seen = capture.texts();
    };
    Texts memoryLines;
    Texts startLines;
    std::thread first(run, std::cref(memory), std::ref(memoryLines));
    std::thread second(run, std::cref(start), std::ref(startLines));
    first.join();
    second.join();

    auto repeated = [](const ExportCall& call) {
        Texts lines;
        for (int round = 0; round < concurrentRounds; ++round) {
            const Texts once = linesUpToMissingNamespace(call);
            lines.insert(lines.end(), once.begin(), once.end());
        }
        return lines;
    };
    EXPECT_EQ(memoryLines, repeated(memory));
    EXPECT_EQ(startLines, repeated(start));
}

}  // namespace
}  // namespace VelmoraWine
