// A state file that turns unreadable under a running host: the WMI call that needs the host fails with
// WBEM_E_FAILED instead of letting the host's exception cross the COM boundary.
#include <gtest/gtest.h>

#include <HyperVSim/Control.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>

#include "LibraryTest.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;

class StateFileBoundary : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        folder_ = std::filesystem::temp_directory_path() / ("velmora-boundary-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        file_ = (folder_ / "host.json").string();
    }
    void TearDown() override {
        Control::closeStateFile();
        std::filesystem::remove_all(folder_);
        LibraryTest::TearDown();
    }
    void spoilFile() const { std::ofstream(file_, std::ios::trunc) << "{ not a host"; }

    std::filesystem::path folder_;
    std::string file_;
};

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

TEST_F(StateFileBoundary, ObjectQueryAndMethodFailInsteadOfThrowing) {
    Control::openStateFile(file_);
    const std::wstring path = Control::defineMachine(L"kept", 2);
    spoilFile();
    const std::string failed = code(wbem(WBEM_E_FAILED));

    // GetObject
    EXPECT_FALSE(Velmora::startVM(captureLog, path.c_str()));
    ASSERT_FALSE(capturedLines().empty());
    EXPECT_EQ(capturedLines().back(), error("Could not get object: " + narrow(path) + ", err=" + failed));
    expectNothingLive();

    // ExecQuery
    clearCapturedLines();
    std::uint64_t used = 0;
    EXPECT_FALSE(Velmora::retrieveUsedMemory(captureLog, used));
    ASSERT_FALSE(capturedLines().empty());
    EXPECT_EQ(capturedLines().back(), error("Query failed, err=" + failed));
    expectNothingLive();
}

TEST_F(StateFileBoundary, MethodFailsInsteadOfThrowing) {
    Control::openStateFile(file_);
    const std::wstring path = Control::defineMachine(L"kept", 2);
    // The file goes bad between the lookups of deleteVM and its DestroySystem: the fault's callback would
    // be too early, so the file is spoilt from the log line that precedes the method call.
    static std::string spoilAt;
    spoilAt = file_;
    const Velmora::LogCallback log = [](Velmora::LoggingLevel level, const char* line) {
        captureLog(level, line);
        if (std::string(line) == "Executing method: DestroySystem") std::ofstream(spoilAt, std::ios::trunc) << "[";
    };
    EXPECT_FALSE(Velmora::deleteVM(log, path.c_str()));
    ASSERT_FALSE(capturedLines().empty());
    EXPECT_EQ(capturedLines().back(), error("Call failed, err= " + code(wbem(WBEM_E_FAILED))));
}

}  // namespace
}  // namespace VelmoraTest
