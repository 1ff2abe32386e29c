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
    const CapturedStreams captured = streams.finish();
    EXPECT_EQ(captured.output, "first\nsecond\nfourth\n");
    EXPECT_EQ(captured.error, "third\n");
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
    const CapturedStreams captured = streams.finish();
    EXPECT_TRUE(sameLines(capturedLines(), {info("to the callback")}));
    EXPECT_EQ(captured.output, "to the stream\n");
    EXPECT_EQ(captured.error, "to the stream again\n");
}

TEST_F(LogChannel, ScopeRestoresThePreviousSinkWhenAnExceptionPasses) {
    StreamCapture streams;
    try {
        Velmora::LogScope scope(captureLog);
        throw std::runtime_error("leaving");
    } catch (const std::runtime_error&) {
    }
    Velmora::logMessage(Info, "after");
    const CapturedStreams captured = streams.finish();
    EXPECT_TRUE(capturedLines().empty());
    EXPECT_EQ(captured.output, "after\n");
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

// Wide text in the ANSI code pages the tests know: the stand-in's, UTF-8 with '?' as its default character,
// and on Windows 1252, the page of Western installations, which Wine also takes for the C.UTF-8 locale.
// What a page cannot represent becomes its default character; a lone surrogate is representable in neither.
// Null: not known for the page (1252 and characters outside the Basic Multilingual Plane).
struct AnsiText {
    std::wstring wide;
    const char* standIn;
    const char* windows1252;
};

TEST_F(LogChannel, WideStringsAreConvertedToTheAnsiCodePage) {
    const AnsiText texts[] = {
        {L"Gr\u00fc\u00dfe",
         "Gr\xC3\xBC\xC3\x9F"
         "e",
         "Gr\xFC\xDF"
         "e"},
        {L"\u2603 \u20ac", "\xE2\x98\x83 \xE2\x82\xAC", "? \x80"},
        {L"\U0001F600", "\xF0\x9F\x98\x80", nullptr},
        {{L'a', static_cast<wchar_t>(0xD800), L'b'}, "a?b", "a?b"},
    };
#ifdef _WIN32
    // Windows' own UTF-8 page differs from the stand-in's: it writes U+FFFD for a lone surrogate.
    constexpr UINT knownPage = 1252;
#else
    constexpr UINT knownPage = CP_UTF8;
#endif
    if (GetACP() != knownPage) GTEST_SKIP() << "no expected texts for the ANSI code page " << GetACP();
    Velmora::LogScope scope(captureLog);
    LogLines expected;
    for (const AnsiText& text : texts) {
        const char* narrow = knownPage == CP_UTF8 ? text.standIn : text.windows1252;
        if (!narrow) continue;
        Velmora::logValues(Info, "Get object: ", text.wide.c_str());
        expected.push_back(info(std::string("Get object: ") + narrow));
    }
    Velmora::logValues(Info, "Get object: ", static_cast<const wchar_t*>(nullptr));
    expected.push_back(info("Get object: "));
    EXPECT_TRUE(sameLines(capturedLines(), expected));
}

TEST_F(LogChannel, ExportWithoutCallbackWritesItsLinesToTheStreamsAndNotToAnEarlierCallersCallback) {
    std::uint64_t used = 7;
    ASSERT_TRUE(Velmora::retrieveUsedMemory(captureLog, used));
    clearCapturedLines();
    StreamCapture streams;
    const bool result = Velmora::retrieveUsedMemory(nullptr, used);
    const CapturedStreams captured = streams.finish();
    EXPECT_TRUE(result);
    EXPECT_EQ(captured.output, asText(usedMemoryLines()));
    EXPECT_EQ(captured.error, "");
    EXPECT_TRUE(capturedLines().empty());
}

TEST_F(LogChannel, ExportWithoutCallbackWritesErrorsToStandardErrorAndWarningsToStandardOutput) {
    HyperVSim::Control::removeAllMemory();
    HyperVSim::Control::addMemory({{L"Name", L"vm"}, {L"BlockSize", L"x"}});
    failHostCall("Next", wbem(WBEM_E_FAILED), L"select * from Msvm_Memory", 2);
    std::uint64_t used = 7;
    StreamCapture streams;
    const bool result = Velmora::retrieveUsedMemory(nullptr, used);
    const CapturedStreams captured = streams.finish();
    EXPECT_FALSE(result);
    EXPECT_EQ(captured.output, asText(LogLines{info("Get used memory")} + connectionLines() +
                                      LogLines{info("Get 'Name'"), info("Get 'BlockSize'"),
                                               warning("Failed to convert block size to integer value.")}));
    EXPECT_EQ(captured.error, "Query::Next failed, err=-2147217407\n");
}

TEST_F(LogChannel, ExportWithCallbackWritesNothingToTheStreams) {
    std::uint64_t used = 7;
    StreamCapture streams;
    const bool result = Velmora::retrieveUsedMemory(captureLog, used);
    const CapturedStreams captured = streams.finish();
    EXPECT_TRUE(result);
    EXPECT_TRUE(sameLines(capturedLines(), usedMemoryLines()));
    EXPECT_EQ(captured.output, "");
    EXPECT_EQ(captured.error, "");
}

// Thread-local state of the tests is trivially destructible: with MinGW's emulated TLS, a thread_local with a
// destructor crashes the exit of a thread that used it.
thread_local LogLines* innerLines = nullptr;
void captureInner(Velmora::LoggingLevel level, const char* line) {
    innerLines->push_back({level, line});
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
    LogLines inner;
    innerLines = &inner;
    innerCallDone = false;
    std::uint64_t used = 7;
    EXPECT_TRUE(Velmora::retrieveUsedMemory(captureAndCallInner, used));
    EXPECT_TRUE(innerCallDone);
    EXPECT_TRUE(innerCallResult);
    EXPECT_TRUE(sameLines(capturedLines(), usedMemoryLines()));
    EXPECT_TRUE(sameLines(inner, adaptersLines()));
    innerLines = nullptr;
}

// Where captureFirst and captureSecond put the lines that reach them on the calling thread.
thread_local LogLines* firstThreadLines = nullptr;
thread_local LogLines* secondThreadLines = nullptr;
void captureFirst(Velmora::LoggingLevel level, const char* line) {
    firstThreadLines->push_back({level, line});
}
void captureSecond(Velmora::LoggingLevel level, const char* line) {
    secondThreadLines->push_back({level, line});
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
        firstThreadLines = &first.own;
        secondThreadLines = &first.foreign;
        for (int i = 0; i < calls; ++i) {
            std::uint64_t used = 0;
            first.succeeded += Velmora::retrieveUsedMemory(captureFirst, used) ? 1 : 0;
        }
    });
    std::thread switchThread([&second] {
        firstThreadLines = &second.foreign;
        secondThreadLines = &second.own;
        for (int i = 0; i < calls; ++i) {
            Velmora::NetworksList list;
            second.succeeded += Velmora::retrieveAvailableNetworkAdapters(captureSecond, list) ? 1 : 0;
        }
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
