// Runs the built velmora command as a user would and captures what it prints.
//
// Each CommandTest gets a fresh temporary directory. Commands run in it, with XDG_STATE_HOME and TMPDIR
// pointing into it so that nothing outside is touched; run() also passes `--state <directory>/host.json`.
// masked() replaces the directory's path by "<tmp>" for comparisons with files under expected/.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace CommandTest {

struct Result {
    int status = -1;  // exit status, or -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// Variables to set, or (without a value) to remove, on top of the test's own environment.
using Environment = std::map<std::string, std::optional<std::string>>;

// Where standard error goes: a file, or a terminal. On a Console, standard input is the same terminal too, and
// `typed` is what the operator types there; Result::err then holds everything the terminal showed.
enum class StandardError { File, Terminal, Console };

// With `interruptAt`, the command gets SIGINT (Ctrl+C) once its standard output holds that text.
Result runProgram(const std::string& program, const std::vector<std::string>& arguments,
                  const Environment& environment, const std::filesystem::path& directory,
                  StandardError standardError = StandardError::File, const std::string& typed = {},
                  const std::string& interruptAt = {});

std::string readFile(const std::filesystem::path& file);

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& directory() const { return directory_; }
    std::filesystem::path state() const { return directory_ / "host.json"; }

    Result run(std::vector<std::string> arguments, const Environment& extra = {},
               StandardError standardError = StandardError::File, const std::string& typed = {});
    Result runWithoutState(const std::vector<std::string>& arguments, const Environment& extra = {});
    // run(), with Ctrl+C once standard output holds `interruptAt`.
    Result runInterrupted(std::vector<std::string> arguments, const std::string& interruptAt);

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
    Environment environment(const Environment& extra) const;

    std::filesystem::path directory_;
};

}  // namespace CommandTest
