// The log channel: where lines go, how composed lines are written, and the per-thread sink as the library
// installs and restores it, also when an export is called from a callback or from two threads at once.
#include <thread>

#include "LibraryTests.h"
#include "log/Log.h"

namespace VelmoraTest {
namespace {

using Velmora::Info;

class LogChannel : public LibraryTest {};

// Wide text in the ANSI code pages the tests know: the stand-in's, UTF-8 with '?' as its default character,
// and on Windows 1252, which Wine also takes for the C.UTF-8 locale. What a page cannot represent becomes its
// default character; a lone surrogate is representable in neither. Null: not known for the page.
TEST_F(LogChannel, WideStringsAreConvertedToTheAnsiCodePage) {
    const struct {
        std::wstring wide;
        const char* utf8;
        const char* windows1252;
    } texts[] = {
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
    constexpr UINT knownPage = 1252;  // Windows' own UTF-8 page writes U+FFFD for a lone surrogate
#else
    constexpr UINT knownPage = CP_UTF8;
#endif
    if (GetACP() != knownPage) GTEST_SKIP() << "no expected texts for the ANSI code page " << GetACP();
    const Velmora::LogScope scope(captureLog);
    LogLines expected;
    for (const auto& text : texts) {
        const char* narrow = knownPage == CP_UTF8 ? text.utf8 : text.windows1252;
        if (!narrow) continue;
        Velmora::logValues(Info, "Get object: ", text.wide.c_str());
        expected.push_back(info(std::string("Get object: ") + narrow));
    }
    Velmora::logValues(Info, "Get object: ", static_cast<const wchar_t*>(nullptr));
    EXPECT_TRUE(sameLines(capturedLines(), expected + LogLines{info("Get object: ")}));
}

// Without a callback Info and Warning lines go to standard output, Error lines to standard error, and not to
// the callback of an earlier call; with one, nothing goes to the streams.
TEST_F(LogChannel, AnExportsLinesGoToItsCallbackOrElseToTheStreams) {
    std::uint64_t used = 0;
    ASSERT_TRUE(Velmora::retrieveUsedMemory(captureLog, used));
    const LogLines failing = frame("Get used memory") + infos({"Get 'Name'", "Get 'BlockSize'"}) +
                             LogLines{warning("Failed to convert block size to integer value.")};
    for (const bool withCallback : {false, true}) {
        for (const bool fails : {false, true}) {
            Control::reset();
            clearCapturedLines();
            if (fails) {
                Control::removeAllMemory();
                Control::addMemory({{L"Name", L"vm"}, {L"BlockSize", L"x"}});
                Control::injectFault(rule("Next", L"select * from Msvm_Memory", Fault::Kind::Fail, failed, 2));
            }
            StreamCapture streams;
            const bool result = Velmora::retrieveUsedMemory(withCallback ? captureLog : nullptr, used);
            const CapturedStreams captured = streams.finish();
            const LogLines expected =
                fails ? failing + LogLines{error("Query::Next failed, err=-2147217407")} : usedMemoryLines();
            EXPECT_EQ(result, !fails);
            EXPECT_TRUE(sameLines(capturedLines(), withCallback ? expected : LogLines{}));
            std::string text;
            for (const LogLine& line : fails ? failing : expected) text += line.text + '\n';
            EXPECT_EQ(captured.output, withCallback ? "" : text);
            EXPECT_EQ(captured.error, withCallback || !fails ? "" : "Query::Next failed, err=-2147217407\n");
        }
    }
}

// Thread-local state of the tests is trivially destructible: with MinGW's emulated TLS, a thread_local with a
// destructor crashes the exit of a thread that used it.
thread_local LogLines* innerLines = nullptr;
thread_local LogLines* otherLines = nullptr;
thread_local bool innerCallResult = false;

void captureInner(Velmora::LoggingLevel level, const char* line) {
    innerLines->push_back({level, line});
}
void captureOther(Velmora::LoggingLevel level, const char* line) {
    otherLines->push_back({level, line});
}
void captureAndCallInner(Velmora::LoggingLevel level, const char* line) {
    captureLog(level, line);
    if (std::string(line) == "Connect to the server - OK") {
        Velmora::NetworksList list;
        innerCallResult = Velmora::retrieveAvailableNetworkAdapters(captureInner, list);
    }
}

TEST_F(LogChannel, AnExportCalledFromACallbackLogsToItsOwnAndRestoresTheOuterOne) {
    LogLines inner;
    innerLines = &inner;
    std::uint64_t used = 0;
    EXPECT_TRUE(Velmora::retrieveUsedMemory(captureAndCallInner, used));
    EXPECT_TRUE(innerCallResult);
    EXPECT_TRUE(sameLines(capturedLines(), usedMemoryLines()));
    EXPECT_TRUE(sameLines(inner, switchListLines(2)));
}

TEST_F(LogChannel, TwoThreadsWithTwoCallbacksEachSeeOnlyTheirOwnLines) {
    constexpr int calls = 20;
    struct Outcome {
        int succeeded = 0;
        LogLines own, foreign;
    } memory, switches;
    std::thread memoryThread([&memory] {
        innerLines = &memory.own;
        otherLines = &memory.foreign;
        std::uint64_t used = 0;
        for (int i = 0; i < calls; ++i) memory.succeeded += Velmora::retrieveUsedMemory(captureInner, used);
    });
    std::thread switchThread([&switches] {
        innerLines = &switches.foreign;
        otherLines = &switches.own;
        Velmora::NetworksList list;
        for (int i = 0; i < calls; ++i)
            switches.succeeded += Velmora::retrieveAvailableNetworkAdapters(captureOther, list);
    });
    memoryThread.join();
    switchThread.join();
    LogLines memoryExpected, switchExpected;
    for (int i = 0; i < calls; ++i) {
        memoryExpected = memoryExpected + usedMemoryLines();
        switchExpected = switchExpected + switchListLines(2);
    }
    EXPECT_EQ(memory.succeeded + switches.succeeded, 2 * calls);
    EXPECT_TRUE(sameLines(memory.own, memoryExpected));
    EXPECT_TRUE(sameLines(switches.own, switchExpected));
    EXPECT_TRUE(memory.foreign.empty() && switches.foreign.empty());
}

}  // namespace
}  // namespace VelmoraTest
