// Four velmora commands at once on one state file, and a command killed between writing the new state and
// putting it in place.
#include <gtest/gtest.h>

#include <HyperVSim/Control.h>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using HyperVSim::Control;

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs the command through the shell with its standard output captured; `prefix` may set variables.
Outcome velmora(const std::string& state, const std::string& arguments, const std::string& prefix = {}) {
    const std::string command =
        prefix + " '" VELMORA_COMMAND "' --state '" + state + "' " + arguments + " 2>/dev/null";
    Outcome outcome;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return outcome;
    std::array<char, 4096> buffer{};
    while (std::size_t read = std::fread(buffer.data(), 1, buffer.size(), pipe))
        outcome.out.append(buffer.data(), read);
    outcome.status = ::pclose(pipe);
    while (!outcome.out.empty() && (outcome.out.back() == '\n' || outcome.out.back() == '\r'))
        outcome.out.pop_back();
    return outcome;
}

std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class Processes : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() / ("velmora-processes-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        state_ = (folder_ / "host.json").string();
    }
    void TearDown() override {
        Control::closeStateFile();
        Control::reset();
        std::filesystem::remove_all(folder_);
    }
    // The machines the file holds, by name, with their state.
    std::vector<std::pair<std::wstring, int>> machinesInFile() {
        Control::openStateFile(state_);
        std::vector<std::pair<std::wstring, int>> result;
        for (const auto& machine : Control::machines()) result.emplace_back(machine.name, machine.enabledState);
        Control::closeStateFile();
        std::sort(result.begin(), result.end());
        return result;
    }

    std::filesystem::path folder_;
    std::string state_;
};

TEST_F(Processes, FourCommandsShareOneStateFile) {
    constexpr int workers = 4, rounds = 3;
    ASSERT_EQ(velmora(state_, "host reset").status, 0);
    std::array<int, workers> failures{};
    std::vector<std::thread> threads;
    for (int worker = 0; worker < workers; ++worker) {
        threads.emplace_back([&, worker] {
            const std::string prefix = "w" + std::to_string(worker);
            for (int round = 0; round < rounds; ++round) {
                const Outcome created = velmora(state_, "create --name " + prefix + "gone" + std::to_string(round));
                if (created.status != 0) {
                    ++failures[worker];
                    continue;
                }
                const std::string machine = "'" + created.out + "'";
                for (const char* step : {"start ", "stop ", "delete "})
                    if (velmora(state_, step + machine).status != 0) ++failures[worker];
            }
            const Outcome kept = velmora(state_, "create --name " + prefix + "kept");
            if (kept.status != 0 || velmora(state_, "start '" + kept.out + "'").status != 0) ++failures[worker];
        });
    }
    for (auto& thread : threads) thread.join();
    for (int worker = 0; worker < workers; ++worker) EXPECT_EQ(failures[worker], 0) << "worker " << worker;

    const std::vector<std::pair<std::wstring, int>> expected = {
        {L"w0kept", 2}, {L"w1kept", 2}, {L"w2kept", 2}, {L"w3kept", 2}};
    EXPECT_EQ(machinesInFile(), expected);
}

TEST_F(Processes, KilledWriterLeavesThePreviousState) {
    ASSERT_EQ(velmora(state_, "create --name before").status, 0);
    const std::string before = contents(state_);
    const Outcome killed = velmora(state_, "create --name lost", "VELMORA_SIM_KILL_BEFORE_RENAME=1");
    EXPECT_NE(killed.status, 0);
    EXPECT_EQ(contents(state_), before);
    const std::vector<std::pair<std::wstring, int>> expected = {{L"before", 3}};
    EXPECT_EQ(machinesInFile(), expected);
    // The next writer goes on from the intact file.
    ASSERT_EQ(velmora(state_, "create --name after").status, 0);
    const std::vector<std::pair<std::wstring, int>> both = {{L"after", 3}, {L"before", 3}};
    EXPECT_EQ(machinesInFile(), both);
}

}  // namespace
