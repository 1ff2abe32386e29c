// Shared support for the library's test suites.
//
// Link the target `library_test_support` (it brings GoogleTest with main, the library, the platform
// stand-in and the simulated host) and derive each suite's fixture from VelmoraTest::LibraryTest:
//
//     class StartVM : public VelmoraTest::LibraryTest {};
//     TEST_F(StartVM, RunsTheMachine) {
//         const std::wstring path = HyperVSim::Control::defineMachine(L"vm", 2);
//         EXPECT_TRUE(Velmora::startVM(VelmoraTest::captureLog, path.c_str()));
//         EXPECT_TRUE(VelmoraTest::sameLines(VelmoraTest::capturedLines(),
//                                            {VelmoraTest::info("Starting VM"), ...}));
//     }
//
// Before each test the fixture puts the default host in place (HyperVSim::Control::reset), clears the
// faults of the stand-in and of the host, disarms allocation failures and empties the calling thread's
// captured log. After each test it checks that the live strings and arrays of the stand-in are back to
// what they were at the start, that no COM object of the host is alive, and that the thread's COM
// initialisation depth is what it was (on Windows only the last two: see PlatformProbe.h). Call expectNothingLive()
// to make the same check in the middle of a test, e.g. after each of several export calls.
//
// Log capture: pass captureLog as an export's callback; every line it receives on a thread is appended to
// that thread's list (capturedLines()). Compare with sameLines(), which names the first differing line and
// prints both lists. info()/warning()/error() build expected lines, connectionLines() the lines every export
// logs while it starts COM and opens the Hyper-V namespace, and `+` joins lists.
//
// Standard streams: StreamCapture (StreamCapture.h) takes what is written to standard output and standard
// error, whichever copy of the C++ runtime writes it.
//
// wbem() turns a WBEM_E_... status into the HRESULT a call returns; code() writes it as a line does.
//
// Faults: failComCall() makes a COM runtime function of the stand-in return a code; failHostCall() and
// hostFault() put a rule into the simulated host (see HyperVSim/Control.h for operations and arguments).
// libraryModule() is the address to arm allocation failures with, so that only the library's own
// allocations are counted.
//
// Internal operations: a suite that calls the log channel or the WMI layer directly (executeQuery,
// putValue, ...) links `velmora_internal` as well, a static copy of src/Velmora/log and src/Velmora/wmi
// with its own thread-local log sink; HyperVSession.h (header only) opens a connection the way
// an export does. Arm allocation failures for those copies with an address inside the test executable.
#pragma once

#include <gtest/gtest.h>

#include <HyperVSim/Control.h>
#ifndef _WIN32
#include <WinCompat/Testing.h>  // the stand-in's test hooks, which suites off Windows use beside this fixture
#endif

#include <ostream>
#include <string>
#include <vector>

#include "PlatformProbe.h"
#include "StreamCapture.h"
#include "TestPlatform.h"
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

// The lines of a successful start-up: COM, the connection to root and "virtualization\v2".
LogLines connectionLines();

// Success when both lists are equal; otherwise the first differing position and both lists, one line each.
::testing::AssertionResult sameLines(const LogLines& actual, const LogLines& expected);

// The log callback that collects lines for the calling thread.
void captureLog(Velmora::LoggingLevel level, const char* line);
const LogLines& capturedLines();
void clearCapturedLines();

// Faults of the platform stand-in's COM runtime ("CoInitializeEx", "CoInitializeSecurity",
// "CoCreateInstance", "CoSetProxyBlanket", "CoCreateGuid"). Off the stand-in (Windows) a test that needs
// them starts with VELMORA_NEEDS_STAND_IN(); calling this there fails the test.
void failComCall(const std::string& function, HRESULT result, unsigned occurrence = 1);

// A Fault::Kind::Fail rule of the simulated host; an empty argument matches every call of the operation.
void failHostCall(const std::string& operation, HRESULT result, const std::wstring& argument = {},
                  unsigned occurrence = 1);
void hostFault(const HyperVSim::Fault& fault);

// An address inside the shared library, for WinCompat::Testing::armAllocationFailure (off Windows).
const void* libraryModule();

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Strings and arrays back to the start of the test, no host object alive, COM depth as at the start.
    void expectNothingLive() const;

private:
    PlatformSnapshot start_;
};

}  // namespace VelmoraTest
