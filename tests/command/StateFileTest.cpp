// One host across runs: what one command does, the next one sees, through the state file.
#include <unistd.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "CommandRun.h"

namespace CommandTest {
namespace {

using nlohmann::json;

class StateFile : public CommandTest {
protected:
    // The machines of the host in the default location, or in the state file that `options` give.
    json machines(std::vector<std::string> options = {}) {
        options.insert(options.end(), {"host", "show", "--json"});
        return json::parse(runWithoutState(options).out)["machines"];
    }
};

TEST_F(StateFile, OneCommandCreatesAMachineAndTheNextStartsIt) {
    const auto path = createMachine({"--name", "web-01"});
    EXPECT_EQ(machines({"--state", state().string()})[0]["state"], "off");
    const auto started = run({"start", path});
    EXPECT_EQ(started.status, 0) << started.err;
    EXPECT_EQ(machines({"--state", state().string()})[0]["state"], "running");
}

TEST_F(StateFile, TheStateOptionMayFollowTheSubcommand) {
    const auto created = runWithoutState({"create", "--name", "web-01", "--state", state().string()});
    EXPECT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(machines({"--state", state().string()}).size(), 1u);
}

TEST_F(StateFile, WithoutTheOptionTheHostLivesUnderXdgStateHome) {
    const auto created = runWithoutState({"create", "--name", "web-01"});
    EXPECT_EQ(created.status, 0) << created.err;
    EXPECT_TRUE(std::filesystem::exists(directory() / "xdg" / "velmora" / "host.json"));
    EXPECT_FALSE(std::filesystem::exists(state()));
    EXPECT_EQ(machines().size(), 1u);
}

TEST_F(StateFile, WithoutAUsableXdgStateHomeTheHostLivesUnderHome) {
    for (const char* stateHome : {"relative/state", ""}) {
        const Environment environment{{"XDG_STATE_HOME", std::string(stateHome)}, {"HOME", directory().string()}};
        const auto created = runWithoutState({"create", "--name", "web-01"}, environment);
        EXPECT_EQ(created.status, 0) << created.err;
    }
    EXPECT_TRUE(std::filesystem::exists(directory() / ".local" / "state" / "velmora" / "host.json"));
    EXPECT_FALSE(std::filesystem::exists(directory() / "relative"));

    const auto nowhere = runWithoutState({"switches"}, {{"XDG_STATE_HOME", std::nullopt}, {"HOME", std::nullopt}});
    EXPECT_EQ(nowhere.status, 2);
    EXPECT_NE(nowhere.err.find("--state FILE"), std::string::npos) << nowhere.err;
}

TEST_F(StateFile, ResetGivesTheDefaultHostWithItsGuidsFromTheStart) {
    const auto first = createMachine({"--name", "web-01"});
    createMachine({"--name", "web-02"});
    const auto reset = run({"host", "reset"});
    EXPECT_EQ(reset.status, 0) << reset.err;
    EXPECT_EQ(reset.out, "The host in " + state().string() + " is fresh.\n");
    EXPECT_TRUE(machines({"--state", state().string()}).empty());
    EXPECT_EQ(createMachine({"--name", "web-03"}), first);
}

TEST_F(StateFile, ResetMakesAStateFileWhereThereWasNone) {
    const auto nested = directory() / "new" / "folder" / "host.json";
    const auto reset = runWithoutState({"--json", "host", "reset", "--state", nested.string()});
    EXPECT_EQ(reset.status, 0) << reset.err;
    EXPECT_EQ(json::parse(reset.out), (json{{"ok", true}, {"state", nested.string()}}));
    EXPECT_TRUE(std::filesystem::exists(nested));
}

// Commands that only read need no write access: not to the file, its folder or the lock file. Root may write
// anywhere, so as root they run as nobody.
TEST_F(StateFile, CommandsThatOnlyReadWorkOnAReadOnlyFileInAReadOnlyFolder) {
    namespace fs = std::filesystem;
    const auto folder = directory() / "read-only";
    const auto file = folder / "host.json";
    ASSERT_EQ(runWithoutState({"--state", file.string(), "create", "--name", "web-01"}).status, 0);
    fs::remove(fs::path(file.string() + ".lock"));
    fs::permissions(directory(), fs::perms::owner_all | fs::perms::others_exec, fs::perm_options::replace);
    fs::permissions(file, fs::perms::owner_read | fs::perms::others_read, fs::perm_options::replace);
    fs::permissions(folder,
                    fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::replace);
    const auto asReader = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--state", file.string()});
        if (::geteuid() != 0) return runProgram(VELMORA_COMMAND, arguments, {}, directory());
        arguments.insert(arguments.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", VELMORA_COMMAND});
        return runProgram("/usr/bin/setpriv", arguments, {}, directory());
    };
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"list"}, {"switches"}, {"memory"}, {"host", "show"}}) {
        const auto result = asReader(arguments);
        EXPECT_EQ(result.status, 0) << arguments.front() << "\n" << result.err;
    }
    EXPECT_EQ(asReader({"list"}).out.find("web-01  off"), 0u);
    const auto change = asReader({"start", "web-01"});
    EXPECT_NE(change.status, 0);
    EXPECT_NE(change.err.find("state file " + file.string() + ": "), std::string::npos) << change.err;
    EXPECT_FALSE(fs::exists(fs::path(file.string() + ".lock")));
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
}

TEST_F(StateFile, ResetWithForceReplacesADamagedFileAndKeepsItBeside) {
    { std::ofstream(state()) << "{ truncated"; }
    const auto reset = run({"--json", "host", "reset", "--force"});
    EXPECT_EQ(reset.status, 0) << reset.err;
    const auto kept = state().string() + ".damaged";
    EXPECT_EQ(json::parse(reset.out), (json{{"ok", true}, {"state", state().string()}, {"kept", kept}}));
    EXPECT_EQ(readFile(kept), "{ truncated");
    EXPECT_TRUE(machines({"--state", state().string()}).empty());
}

}  // namespace
}  // namespace CommandTest
