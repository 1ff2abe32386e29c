// The log channel: where lines go, how composed lines are written, and how the per-thread sink is
// installed and restored, both inside the library and as a caller of the exports sees it.
#include <cstdint>
#include <stdexcept>
#include <thread>

#include "LibraryTest.h"
#include "log/Log.h"

namespace VelmoraTest {
namespace {

using Velmora::Error;
using Velmora::Info;
using Velmora::Warning;

class LogChannel : public LibraryTest {};

LogLines usedMemoryLines() {
    return LogLines{info("Get used memory")} + connectionLines() +
           LogLines{info("Get 'Name'"),          info("Skipped. Name != 'Microsoft'"),
                    info("Get 'Name'"),          info("Skipped. Name != 'Microsoft'"),
                    info("Get 'Name'"),          info("Skipped. Name != 'Microsoft'"),
                    info("Get used memory - OK")};
}

LogLines adaptersLines() {
    return LogLines{info("Get available network adapters")} + connectionLines() +
           LogLines{info("Get '__Path'"), info("Get 'ElementName'"), info("Get '__Path'"),
                    info("Get 'ElementName'"), info("Get available network adapters - OK")};
}

std::string asText(const LogLines& lines) {
    std::string text;
    for (const LogLine& line : lines) text += line.text + '\n';
    return text;
}

TEST_F(LogChannel, WithoutCallbackInfoAndWarningGoToStandardOutputAndErrorToStandardError) {
    StreamCapture streams;
    Velmora::logMessage(Info, "first");
    Velmora::logMessage(Warning, "second");
    Velmora::logMessage(Error, "third");
    Velmora::logMessage(Info, "fourth");
    EXPECT_EQ(streams.out(), "first\nsecond\nfourth\n");
    EXPECT_EQ(streams.err(), "third\n");
}

TEST_F(LogChannel, ScopesNestAndEachRestoresWhatItFound) {
    StreamCapture streams;
    {
        Velmora::LogScope outer(captureLog);
        {
            Velmora::LogScope inner(nullptr);
            Velmora::logMessage(Info, "to the stream");
        }
        Velmora::logMessage(Info, "to the callback");
    }
    Velmora::logMessage(Error, "to the stream again");
    EXPECT_TRUE(sameLines(capturedLines(), {info("to the callback")}));
    EXPECT_EQ(streams.out(), "to the stream\n");
    EXPECT_EQ(streams.err(), "to the stream again\n");
}

TEST_F(LogChannel, ScopeRestoresThePreviousSinkWhenAnExceptionPasses) {
    StreamCapture streams;
    try {
        Velmora::LogScope scope(captureLog);
        throw std::runtime_error("leaving");
    } catch (const std::runtime_error&) {
    }
    Velmora::logMessage(Info, "after");
    EXPECT_TRUE(capturedLines().empty());
    EXPECT_EQ(streams.out(), "after\n");
}

TEST_F(LogChannel, NumbersAreWrittenInDecimalDirectlyAfterTheText) {
    Velmora::LogScope scope(captureLog);
    Velmora::logValues(Error, "Faled to get call status", E_OUTOFMEMORY);
    Velmora::logValues(Error, "Call failed, status: ", 0);
    Velmora::logValues(Error, "Invalid type of field, expected string, got ", static_cast<VARTYPE>(VT_NULL));
    Velmora::logValues(Error, "Invalid type of field, expected string, got ", static_cast<VARTYPE>(0x2008));
    Velmora::logValues(Error, "Invalid VM generation: ", std::uint32_t{4294967295u});
    Velmora::logValues(Error, "Could not get object: ", L"Msvm_X.Name=\"a\"", ", err=", wbem(WBEM_E_NOT_FOUND));
    EXPECT_TRUE(sameLines(
        capturedLines(),
        {error("Faled to get call status-2147024882"), error("Call failed, status: 0"),
         error("Invalid type of field, expected string, got 1"),
         error("Invalid type of field, expected string, got 8200"), error("Invalid VM generation: 4294967295"),
         error("Could not get object: Msvm_X.Name=\"a\", err=-2147217406")}));
}

TEST_F(LogChannel, WideStringsAreConvertedToTheAnsiCodePage) {
    Velmora::LogScope scope(captureLog);
    Velmora::logValues(Info, "Get object: ", L"Gr\u00fc\u00dfe \u2603 \U0001F600");
    // A lone surrogate has no representation; the platform's default character stands in for it.
    const wchar_t unpaired[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    Velmora::logValues(Info, "Get object: ", unpaired);
    Velmora::logValues(Info, "Get object: ", static_cast<const wchar_t*>(nullptr));
    EXPECT_TRUE(sameLines(capturedLines(), {info("Get object: Gr\xC3\xBC\xC3\x9F"
                                                 "e \xE2\x98\x83 \xF0\x9F\x98\x80"),
                                            info("Get object: a?b"), info("Get object: ")}));
}

TEST_F(LogChannel, ExportWithoutCallbackWritesItsLinesToTheStreams) {
    StreamCapture streams;
    std::uint64_t used = 7;
    EXPECT_TRUE(Velmora::retrieveUsedMemory(nullptr, used));
    EXPECT_EQ(streams.out(), asText(usedMemoryLines()));
    EXPECT_EQ(streams.err(), "");
}

TEST_F(LogChannel, ExportWithoutCallbackWritesErrorsToStandardErrorAndWarningsToStandardOutput) {
    HyperVSim::Control::removeAllMemory();
    HyperVSim::Control::addMemory({{L"Name", L"vm"}, {L"BlockSize", L"x"}});
    failHostCall("Next", wbem(WBEM_E_FAILED), L"select * from Msvm_Memory", 2);
    StreamCapture streams;
    std::uint64_t used = 7;
    EXPECT_FALSE(Velmora::retrieveUsedMemory(nullptr, used));
    EXPECT_EQ(streams.out(), asText(LogLines{info("Get used memory")} + connectionLines() +
                                    LogLines{info("Get 'Name'"), info("Get 'BlockSize'"),
                                             warning("Failed to convert block size to integer value.")}));
    EXPECT_EQ(streams.err(), "Query::Next failed, err=-2147217407\n");
}

TEST_F(LogChannel, ExportWithCallbackWritesNothingToTheStreams) {
    StreamCapture streams;
    std::uint64_t used = 7;
    EXPECT_TRUE(Velmora::retrieveUsedMemory(captureLog, used));
    EXPECT_TRUE(sameLines(capturedLines(), usedMemoryLines()));
    EXPECT_EQ(streams.out(), "");
    EXPECT_EQ(streams.err(), "");
}

thread_local LogLines innerLines;
void captureInner(Velmora::LoggingLevel level, const char* line) {
    innerLines.push_back({level, line});
}

thread_local bool innerCallDone = false;
thread_local bool innerCallResult = false;
void captureAndCallInner(Velmora::LoggingLevel level, const char* line) {
    captureLog(level, line);
    if (!innerCallDone && std::string(line) == "Connect to the server - OK") {
        innerCallDone = true;
        Velmora::NetworksList list;
        innerCallResult = Velmora::retrieveAvailableNetworkAdapters(captureInner, list);
    }
}

TEST_F(LogChannel, ExportCalledFromACallbackLogsToItsOwnCallbackAndRestoresTheOuterOne) {
    innerLines.clear();
    innerCallDone = false;
    std::uint64_t used = 7;
    EXPECT_TRUE(Velmora::retrieveUsedMemory(captureAndCallInner, used));
    EXPECT_TRUE(innerCallDone);
    EXPECT_TRUE(innerCallResult);
    EXPECT_TRUE(sameLines(capturedLines(), usedMemoryLines()));
    EXPECT_TRUE(sameLines(innerLines, adaptersLines()));
}

thread_local LogLines firstThreadLines;
thread_local LogLines secondThreadLines;
void captureFirst(Velmora::LoggingLevel level, const char* line) {
    firstThreadLines.push_back({level, line});
}
void captureSecond(Velmora::LoggingLevel level, const char* line) {
    secondThreadLines.push_back({level, line});
}

struct ThreadOutcome {
    int succeeded = 0;
    LogLines own;
    LogLines foreign;
};

TEST_F(LogChannel, TwoThreadsWithTwoCallbacksEachSeeOnlyTheirOwnLines) {
    constexpr int calls = 20;
    ThreadOutcome first, second;
    std::thread memoryThread([&first] {
        for (int i = 0; i < calls; ++i) {
            std::uint64_t used = 0;
            first.succeeded += Velmora::retrieveUsedMemory(captureFirst, used) ? 1 : 0;
        }
        first.own = firstThreadLines;
        first.foreign = secondThreadLines;
    });
    std::thread switchThread([&second] {
        for (int i = 0; i < calls; ++i) {
            Velmora::NetworksList list;
            second.succeeded += Velmora::retrieveAvailableNetworkAdapters(captureSecond, list) ? 1 : 0;
        }
        second.own = secondThreadLines;
        second.foreign = firstThreadLines;
    });
    memoryThread.join();
    switchThread.join();

    LogLines memoryExpected, switchExpected;
    for (int i = 0; i < calls; ++i) {
        memoryExpected = memoryExpected + usedMemoryLines();
        switchExpected = switchExpected + adaptersLines();
    }
    EXPECT_EQ(first.succeeded, calls);
    EXPECT_EQ(second.succeeded, calls);
    EXPECT_TRUE(sameLines(first.own, memoryExpected));
    EXPECT_TRUE(sameLines(second.own, switchExpected));
    EXPECT_TRUE(first.foreign.empty());
    EXPECT_TRUE(second.foreign.empty());
}

}  // namespace
}  // namespace VelmoraTest
