// One host across runs through the state file: where it lives, its reset and recovery, and readers that need
// no write access.
#include <unistd.h>

#include <fstream>

#include "CommandRun.h"
#include "TestPaths.h"

namespace CommandTest {
namespace {

namespace fs = std::filesystem;

class StateFile : public CommandTest {};

TEST_F(StateFile, TheHostLivesInTheFileGivenElseUnderXdgStateHomeElseUnderHome) {
    const std::string home = directory().string();
    // clang-format off
    for (const auto& [arguments, environment, file] : std::vector<std::tuple<std::vector<std::string>, Environment, fs::path>>{
             {{"create", "--name", "web-01", "--state", state().string()}, {}, "host.json"},
             {{"create", "--name", "web-01"}, {}, "xdg/velmora/host.json"},
             {{"create", "--name", "web-01"}, {{"XDG_STATE_HOME", "relative/state"}, {"HOME", home}}, ".local/state/velmora/host.json"},
             {{"create", "--name", "web-01"}, {{"XDG_STATE_HOME", ""}, {"HOME", home}}, ".local/state/velmora/host.json"}}) {
        // clang-format on
        SCOPED_TRACE(file);
        EXPECT_EQ(run(arguments, {.environment = environment, .state = false}).status, 0);
        const auto list = run({"--state", (directory() / file).string(), "list"}, {.state = false});
        EXPECT_EQ(list.out.find("web-01  off"), 0u) << list.err;
        fs::remove(directory() / file);
    }
    EXPECT_FALSE(fs::exists(directory() / "relative"));
    const auto nowhere = run(
        {"switches"}, {.environment = {{"XDG_STATE_HOME", std::nullopt}, {"HOME", std::nullopt}}, .state = false});
    EXPECT_EQ(nowhere.status, 2);
    EXPECT_THAT(nowhere.err, HasSubstr("--state FILE"));
}

TEST_F(StateFile, ResetGivesTheDefaultHostWithItsGuidsFromTheStartAndMakesAFileWhereThereWasNone) {
    const auto first = createMachine({"--name", "web-01"});
    createMachine({"--name", "web-02"});
    const auto reset = run({"host", "reset"});
    EXPECT_EQ(reset.status, 0) << reset.err;
    EXPECT_EQ(reset.out, "The host in " + state().string() + " is fresh.\n");
    EXPECT_TRUE(machines().empty());
    EXPECT_EQ(createMachine({"--name", "web-03"}), first);

    const auto nested = directory() / "new" / "folder" / "host.json";
    EXPECT_EQ(document({"--json", "host", "reset", "--state", nested.string()}, {.state = false}),
              (json{{"ok", true}, {"state", nested.string()}}));
    EXPECT_TRUE(fs::exists(nested));
}

// A file that is no state file is refused, never overwritten, and the message says how to recover: a reset with
// --force keeps it beside, under a name not taken yet.
TEST_F(StateFile, ADamagedFileIsRefusedAndAResetWithForceKeepsItBeside) {
    const std::string recovery =
        "`velmora host reset --force --state '" + state().string() + "'` replaces it with a fresh host";
    int round = 0;
    for (const auto& [content, problem] : std::vector<std::pair<std::string, std::string>>{
             {"these are my notes\n", "is not valid JSON (damaged or truncated)"},
             {"", "is empty"},
             {"{\"format\": \"a shopping list\"}", "it is not a simulated host state file"}}) {
        { std::ofstream(state()) << content; }
        const auto kept = state().string() + ".damaged" + (++round == 1 ? "" : "-" + std::to_string(round));
        for (const auto& arguments :
             std::vector<std::vector<std::string>>{{"switches"}, {"create", "--name", "x"}}) {
            const auto result = run(arguments);
            EXPECT_EQ(result.status, 2) << arguments.front();
            EXPECT_THAT(result.err,
                        HasSubstr("velmora: state file " + state().string() + ": " + problem + "\n" + recovery));
        }
        const auto reset = run({"host", "reset"});
        EXPECT_EQ(reset.status, 2);
        EXPECT_THAT(reset.err, HasSubstr("--force replaces it"));
        EXPECT_EQ(readFile(state()), content);
        EXPECT_EQ(document({"--json", "host", "reset", "--force"}),
                  (json{{"ok", true}, {"state", state().string()}, {"kept", kept}}));
        EXPECT_EQ(readFile(kept), content);
        EXPECT_TRUE(machines().empty());
    }
}

// Commands that only read need no write access: not to the file, its folder or the lock file. Root may write
// anywhere, so as root they run as nobody.
TEST_F(StateFile, CommandsThatOnlyReadWorkOnAReadOnlyFileInAReadOnlyFolder) {
    const auto folder = directory() / "read-only";
    const auto file = folder / "host.json";
    ASSERT_EQ(run({"--state", file.string(), "create", "--name", "web-01"}, {.state = false}).status, 0);
    fs::remove(fs::path(file.string() + ".lock"));
    fs::permissions(directory(), fs::perms::owner_all | fs::perms::others_exec, fs::perm_options::replace);
    fs::permissions(file, fs::perms::owner_read | fs::perms::others_read, fs::perm_options::replace);
    fs::permissions(folder,
                    fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::replace);
    const auto asReader = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {VelmoraTestPaths::velmoraCommand, "--state", file.string()});
        if (::geteuid() == 0)
            arguments.insert(arguments.begin(),
                             {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
        return runProgram(arguments, directory(), {});
    };
    for (const auto& arguments : std::vector<std::vector<std::string>>{{"switches"}, {"memory"}, {"host", "show"}})
        EXPECT_EQ(asReader(arguments).status, 0) << arguments.front();
    EXPECT_EQ(asReader({"list"}).out.find("web-01  off"), 0u);
    const auto change = asReader({"start", "web-01"});
    EXPECT_NE(change.status, 0);
    EXPECT_THAT(change.err, HasSubstr("state file " + file.string() + ": "));
    EXPECT_FALSE(fs::exists(fs::path(file.string() + ".lock")));
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
}

}  // namespace
}  // namespace CommandTest
