// One host across runs: what one command does, the next one sees, through the state file.
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

}  // namespace
}  // namespace CommandTest
