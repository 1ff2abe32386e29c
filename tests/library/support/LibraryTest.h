// What the library's test programs share (link `library_test_support`: GoogleTest, the library, the host).
// LibraryTest: before each test the default host, no faults or armed allocation failure and no captured lines;
// after it (and at expectNothingLive()) the stand-in's strings, arrays and the thread's COM initialisation as at
// the start and no COM object of the host alive (on Windows the last two). captureLog collects an export's lines
// per thread (capturedLines()); sameLines() compares lists and prints both from the first difference.
#pragma once

#include <gtest/gtest.h>

#include <HyperVSim/Control.h>

#ifdef _WIN32
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>
#include <windows.h>
#else
#include <WinCompat/Testing.h>
#include <WinCompat/wbemidl.h>
#include <WinCompat/windows.h>
#endif

#include <ostream>
#include <string>
#include <vector>

#include "StreamCapture.h"
#include "Velmora/Velmora.h"

namespace VelmoraTest {

struct LogLine {
    Velmora::LoggingLevel level;
    std::string text;
    bool operator==(const LogLine&) const = default;
};
using LogLines = std::vector<LogLine>;

void PrintTo(const LogLine& line, std::ostream* out);
LogLine info(std::string text);
LogLine warning(std::string text);
LogLine error(std::string text);
LogLines operator+(LogLines head, const LogLines& tail);

// A WMI status as the HRESULT that WMI calls return, and a result code as log lines write it.
constexpr HRESULT wbem(WBEMSTATUS status) {
    return static_cast<HRESULT>(status);
}
std::string code(HRESULT result);

LogLines connectionLines();  // COM, the connection to root, "virtualization\v2"
::testing::AssertionResult sameLines(const LogLines& actual, const LogLines& expected);

void captureLog(Velmora::LoggingLevel level, const char* line);
const LogLines& capturedLines();
void clearCapturedLines();

// An address inside the shared library, for WinCompat::Testing::armAllocationFailure (off Windows).
const void* libraryModule();

// Whether the calling thread has COM: the stand-in tells how often it was initialised, Windows only 1 or 0.
int comDepth();

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void expectNothingLive() const;

private:
    long strings_ = 0, arrays_ = 0;
    int comDepth_ = 0;
};

}  // namespace VelmoraTest

// Ends a test that needs the stand-in (its counts, COM runtime faults, allocation failures) as skipped on
// Windows.
#ifdef _WIN32
#define VELMORA_NEEDS_STAND_IN() GTEST_SKIP() << "needs the platform stand-in"
#else
#define VELMORA_NEEDS_STAND_IN() static_cast<void>(0)
#endif
