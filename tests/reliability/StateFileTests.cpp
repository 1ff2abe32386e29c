// The host's state file under stress: a file that turns unreadable under a running host makes the WMI call that
// needs the host fail with WBEM_E_FAILED instead of letting the host's exception cross the COM boundary; four
// velmora commands at once share one file; a command killed between writing the new state and putting it in
// place leaves the previous state.
#include <HyperVSim/Control.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "Reliability.h"
#ifdef VELMORA_HAS_COMMAND
#include "TestPaths.h"
#endif

namespace VelmoraTest {
namespace {

using HyperVSim::Control;

class StateFile : public LibraryTest {
protected:
    void TearDown() override {
        Control::closeStateFile();  // each test's file stays in the scratch folder until the end
        LibraryTest::TearDown();
    }
    const std::string file_ =
        (scratchFolder() / (::testing::UnitTest::GetInstance()->current_test_info()->name() + std::string(".json")))
            .string();
};

TEST_F(StateFile, UnreadableFileFailsObjectQueryAndMethodInsteadOfThrowing) {
    Control::openStateFile(file_);
    const std::wstring path = Control::defineMachine(L"kept", 2);
    const std::string failed = code(wbem(WBEM_E_FAILED));
    // The file goes bad between the lookups of deleteVM and its DestroySystem: a fault's callback would come too
    // early, so the file is spoilt from the log line before the method call.
    static std::string spoilAt;
    spoilAt = file_;
    const Velmora::LogCallback log = [](Velmora::LoggingLevel level, const char* line) {
        captureLog(level, line);
        if (std::string(line) == "Executing method: DestroySystem") std::ofstream(spoilAt, std::ios::trunc) << "[";
    };
    EXPECT_FALSE(Velmora::deleteVM(log, path.c_str()));
    EXPECT_EQ(capturedLines().back(), error("Call failed, err= " + failed));
    expectNothingLive();
    clearCapturedLines();
    EXPECT_FALSE(Velmora::startVM(captureLog, path.c_str()));  // GetObject
    EXPECT_EQ(capturedLines().back(),
              error("Could not get object: " + std::string(path.begin(), path.end()) + ", err=" + failed));
    clearCapturedLines();
    std::uint64_t used = 0;
    EXPECT_FALSE(Velmora::retrieveUsedMemory(captureLog, used));  // ExecQuery
    EXPECT_EQ(capturedLines().back(), error("Query failed, err=" + failed));
}

#ifdef VELMORA_HAS_COMMAND
struct Outcome {
    int status = -1;
    std::string out;  // standard output, without its last line break
};

// Runs the command through the shell; `prefix` may set variables.
Outcome velmora(const std::string& state, const std::string& arguments, const std::string& prefix = {}) {
    const std::string command = prefix + " '" + VelmoraTestPaths::velmoraCommand + "' --state '" + state + "' " +
                                arguments + " 2>/dev/null";
    Outcome outcome;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return outcome;
    for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe)) outcome.out += static_cast<char>(c);
    outcome.status = ::pclose(pipe);
    if (outcome.out.ends_with('\n')) outcome.out.pop_back();
    return outcome;
}

std::string contents(const std::string& file) {
    return std::string(std::istreambuf_iterator<char>(std::ifstream(file, std::ios::binary).rdbuf()), {});
}

// The machines a state file holds, by name, with their state.
std::vector<std::pair<std::wstring, int>> machinesIn(const std::string& file) {
    Control::openStateFile(file);
    std::vector<std::pair<std::wstring, int>> result;
    for (const auto& machine : Control::machines()) result.emplace_back(machine.name, machine.enabledState);
    Control::closeStateFile();
    std::sort(result.begin(), result.end());
    return result;
}

TEST_F(StateFile, FourCommandsShareOneFile) {
    constexpr int workers = 4, roundsEach = 3;
    ASSERT_EQ(velmora(file_, "host reset").status, 0);
    std::array<int, workers> failures{};
    std::vector<std::thread> threads;
    for (int worker = 0; worker < workers; ++worker) {
        threads.emplace_back([&, worker] {
            const std::string prefix = "w" + std::to_string(worker);
            for (int round = 0; round < roundsEach; ++round) {
                const Outcome created = velmora(file_, "create --name " + prefix + "gone" + std::to_string(round));
                failures[worker] += created.status != 0;
                for (const char* step : {"start '", "stop '", "delete '"})
                    failures[worker] += created.status != 0 || velmora(file_, step + created.out + "'").status != 0;
            }
            const Outcome kept = velmora(file_, "create --name " + prefix + "kept");
            failures[worker] += kept.status != 0 || velmora(file_, "start '" + kept.out + "'").status != 0;
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures, (std::array<int, workers>{}));
    EXPECT_EQ(machinesIn(file_), (std::vector<std::pair<std::wstring, int>>{
                                     {L"w0kept", 2}, {L"w1kept", 2}, {L"w2kept", 2}, {L"w3kept", 2}}));
}

TEST_F(StateFile, KilledWriterLeavesThePreviousState) {
    ASSERT_EQ(velmora(file_, "create --name before").status, 0);
    const std::string before = contents(file_);
    EXPECT_NE(velmora(file_, "create --name lost", "VELMORA_SIM_KILL_BEFORE_RENAME=1").status, 0);
    EXPECT_EQ(contents(file_), before);
    EXPECT_EQ(machinesIn(file_), (std::vector<std::pair<std::wstring, int>>{{L"before", 3}}));
    // The next writer goes on from the intact file.
    ASSERT_EQ(velmora(file_, "create --name after").status, 0);
    EXPECT_EQ(machinesIn(file_), (std::vector<std::pair<std::wstring, int>>{{L"after", 3}, {L"before", 3}}));
}
#endif

}  // namespace
}  // namespace VelmoraTest
