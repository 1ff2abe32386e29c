#include "LibraryTest.h"

#include <list>
#include <mutex>
#include <utility>

namespace VelmoraTest {
namespace {

// Each thread's lines live in a list of the process, reached through a plain thread-local pointer: with
// MinGW's emulated TLS, a thread_local that has a destructor crashes the exit of the thread that used it.
std::mutex allThreadsMutex;
std::list<LogLines> allThreadsLines;

LogLines& threadLines() {
    thread_local LogLines* lines = nullptr;
    if (!lines) {
        const std::lock_guard lock(allThreadsMutex);
        lines = &allThreadsLines.emplace_back();
    }
    return *lines;
}

}  // namespace

void PrintTo(const LogLine& line, std::ostream* out) {
    const char* names[] = {"Info", "Warning", "Error"};
    const int level = static_cast<int>(line.level);
    if (level >= Velmora::Info && level <= Velmora::Error)
        *out << names[level - Velmora::Info];
    else
        *out << "level " << level;
    *out << " \"" << line.text << '"';
}

LogLine info(std::string text) {
    return {Velmora::Info, std::move(text)};
}
LogLine warning(std::string text) {
    return {Velmora::Warning, std::move(text)};
}
LogLine error(std::string text) {
    return {Velmora::Error, std::move(text)};
}
LogLines operator+(LogLines head, const LogLines& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

std::string code(HRESULT result) {
    return std::to_string(result);
}

LogLines connectionLines() {
    return {info("Initializing COM"), info("Connect to the server"), info("Connect to the server - OK"),
            info("Open namespace: virtualization\\v2")};
}

::testing::AssertionResult sameLines(const LogLines& actual, const LogLines& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t first = 0;
    while (first < actual.size() && first < expected.size() && actual[first] == expected[first]) ++first;
    auto result = ::testing::AssertionFailure() << "log lines differ from line " << first;
    for (const auto& [name, lines] : {std::pair{"actual", &actual}, std::pair{"expected", &expected}}) {
        result << "\n" << name << " (" << lines->size() << " lines):";
        for (std::size_t i = 0; i < lines->size(); ++i)
            result << "\n  " << i << ' ' << ::testing::PrintToString((*lines)[i]);
    }
    return result;
}

void captureLog(Velmora::LoggingLevel level, const char* line) {
    threadLines().push_back({level, line});
}
const LogLines& capturedLines() {
    return threadLines();
}
void clearCapturedLines() {
    threadLines().clear();
}

const void* libraryModule() {
    return reinterpret_cast<const void*>(&Velmora::retrieveUsedMemory);
}

int comDepth() {
#ifdef _WIN32
    // S_OK: the thread had no COM (now undone at once); S_FALSE: it had; anything else: another apartment.
    const HRESULT result = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(result)) ::CoUninitialize();
    return result == S_OK ? 0 : 1;
#else
    return WinCompat::Testing::comInitDepth();
#endif
}

void LibraryTest::SetUp() {
    HyperVSim::Control::reset();
    clearCapturedLines();
#ifndef _WIN32
    WinCompat::Testing::disarmAllocationFailure();
    WinCompat::Testing::clearFaults();
    strings_ = WinCompat::Testing::liveCounts().strings;
    arrays_ = WinCompat::Testing::liveCounts().arrays;
#endif
    comDepth_ = comDepth();
}

void LibraryTest::TearDown() {
#ifndef _WIN32
    WinCompat::Testing::disarmAllocationFailure();
    WinCompat::Testing::clearFaults();
#endif
    HyperVSim::Control::clearFaults();
    expectNothingLive();
}

void LibraryTest::expectNothingLive() const {
#ifndef _WIN32
    EXPECT_EQ(WinCompat::Testing::liveCounts().strings, strings_) << "BSTRs left alive";
    EXPECT_EQ(WinCompat::Testing::liveCounts().arrays, arrays_) << "SAFEARRAYs left alive";
#endif
    EXPECT_EQ(HyperVSim::Control::liveObjects(), 0) << "COM objects of the host left alive";
    EXPECT_EQ(comDepth(), comDepth_) << "COM initialisation not balanced";
}

}  // namespace VelmoraTest
