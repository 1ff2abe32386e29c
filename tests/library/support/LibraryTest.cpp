#include "LibraryTest.h"

#include <list>
#include <mutex>
#include <sstream>
#include <utility>

#ifndef _WIN32
#include <WinCompat/Testing.h>
#endif

namespace VelmoraTest {
namespace {

// Each thread's lines live in a list of the process, reached through a plain thread-local pointer: with
// MinGW's emulated TLS, a thread_local that has a destructor crashes the exit of the thread that used it
// (its storage is freed before the destructor runs).
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

const char* levelName(Velmora::LoggingLevel level) {
    switch (level) {
        case Velmora::Info:
            return "Info";
        case Velmora::Warning:
            return "Warning";
        case Velmora::Error:
            return "Error";
    }
    return "level?";
}

std::string listing(const LogLines& lines) {
    std::ostringstream out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out << "  " << i << ' ';
        PrintTo(lines[i], &out);
        out << '\n';
    }
    return out.str();
}

}  // namespace

void PrintTo(const LogLine& line, std::ostream* out) {
    *out << levelName(line.level);
    if (line.level != Velmora::Info && line.level != Velmora::Warning && line.level != Velmora::Error)
        *out << '(' << static_cast<int>(line.level) << ')';
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
    return ::testing::AssertionFailure()
           << "log lines differ from line " << first << "\nactual (" << actual.size() << " lines):\n"
           << listing(actual) << "expected (" << expected.size() << " lines):\n"
           << listing(expected);
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

void failComCall(const std::string& function, HRESULT result, unsigned occurrence) {
#ifdef _WIN32
    (void)result;
    (void)occurrence;
    ADD_FAILURE() << "no COM runtime faults on this platform: " << function;
#else
    WinCompat::Testing::injectFault(function, result, occurrence);
#endif
}

void failHostCall(const std::string& operation, HRESULT result, const std::wstring& argument, unsigned occurrence) {
    HyperVSim::Fault fault;
    fault.operation = operation;
    fault.argument = argument;
    fault.occurrence = occurrence;
    fault.kind = HyperVSim::Fault::Kind::Fail;
    fault.result = result;
    HyperVSim::Control::injectFault(fault);
}

void hostFault(const HyperVSim::Fault& fault) {
    HyperVSim::Control::injectFault(fault);
}

const void* libraryModule() {
    return reinterpret_cast<const void*>(&Velmora::retrieveUsedMemory);
}

void LibraryTest::SetUp() {
    PlatformProbe::clearFaults();
    HyperVSim::Control::reset();
    clearCapturedLines();
    start_ = PlatformProbe::snapshot();
}

void LibraryTest::TearDown() {
    PlatformProbe::clearFaults();
    HyperVSim::Control::clearFaults();
    expectNothingLive();
}

void LibraryTest::expectNothingLive() const {
    const PlatformSnapshot now = PlatformProbe::snapshot();
    EXPECT_EQ(now.strings, start_.strings) << "BSTRs left alive";
    EXPECT_EQ(now.arrays, start_.arrays) << "SAFEARRAYs left alive";
    EXPECT_EQ(HyperVSim::Control::liveObjects(), 0) << "COM objects of the host left alive";
    EXPECT_EQ(now.comDepth, start_.comDepth) << "COM initialisation not balanced";
}

}  // namespace VelmoraTest
