// Runs the built velmora command as a user would and captures what it prints.
//
// Each CommandTest gets a fresh temporary directory. Commands run in it, with XDG_STATE_HOME and TMPDIR
// pointing into it so that nothing outside is touched; run() also passes `--state <directory>/host.json`
// unless told otherwise. masked() replaces the directory's path by "<tmp>" for comparisons with expected/.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

namespace CommandTest {

using nlohmann::json;
using testing::HasSubstr;
using testing::Not;

struct Result {
    int status = -1;  // exit status, or -1 when the process did not exit normally
    std::string out, err;
};

// Variables to set, or (without a value) to remove, on top of the test's own environment.
using Environment = std::map<std::string, std::optional<std::string>>;

struct How {
    Environment environment;
    // Standard input and error on a terminal, which shows everything the command wrote to standard error
    // (Result::err) and has `typed` for it to read.
    bool terminal = false;
    std::string typed;
    std::string interruptAt;  // Ctrl+C (SIGINT) once standard output holds this text
    bool state = true;        // pass --state with the test's state file
};

// Runs argv[0] with the other arguments in `directory`.
Result runProgram(std::vector<std::string> argv, const std::filesystem::path& directory, const How& how);

std::string readFile(const std::filesystem::path& file);

class CommandTest : public ::testing::Test {
protected:
    CommandTest();
    ~CommandTest() override { std::filesystem::remove_all(directory_); }

    const std::filesystem::path& directory() const { return directory_; }
    std::filesystem::path state() const { return directory_ / "host.json"; }

    Result run(std::vector<std::string> arguments, How how = {});
    // The JSON document a successful run printed on standard output.
    json document(std::vector<std::string> arguments, How how = {});
    json machines() { return document({"list", "--json"})["machines"]; }

    std::string masked(std::string text) const;
    static std::string expected(const std::string& name);

    // Runs `edit` on the host in the test's state file, through the simulated host's control interface (a
    // missing file starts from the default host).
    void editHost(const std::function<void()>& edit);
    // Runs `create` and returns the path it printed, without the line end.
    std::string createMachine(const std::vector<std::string>& options);
    // An empty file in the test's directory; returns its name, relative to where the commands run.
    std::string makeImage(const std::string& name);

private:
    std::filesystem::path directory_;
};

}  // namespace CommandTest
