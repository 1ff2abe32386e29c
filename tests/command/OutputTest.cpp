// What each command prints on a freshly seeded host (the host's paths and GUIDs are the same after every reset),
// as text and as JSON, with its exit status; the library's log lines on standard error; help and questions.
#include "CommandRun.h"
#include "TestPaths.h"

namespace CommandTest {
namespace {

class Output : public CommandTest {};

TEST_F(Output, SwitchesHostShowAndMemoryGiveTheHostAsTextAndJson) {
    const std::string externalPath = document({"--json", "switches"})["switches"][1]["path"];
    // A generation 1 machine with custom sizing, both switches and five images (both IDE controllers full, one
    // image on SCSI), running; and a generation 2 machine with the defaults.
    const auto database =
        createMachine({"--name",       "db-01",     "--generation",      "1",       "--memory",    "1536MiB",
                       "--cpus",       "4",         "--cpu-reservation", "10",      "--cpu-limit", "80",
                       "--cpu-weight", "200",       "--config-root",     "D:\\VMs", "--switch",    "Default Switch",
                       "--switch",     externalPath});
    std::vector<std::string> disks{"disks", "--generation", "1", database};
    for (const char* image : {"a.vhdx", "b.vhdx", "c.vhdx", "d.vhdx", "e.vhdx"}) disks.push_back(makeImage(image));
    ASSERT_EQ(run(disks).status, 0);
    createMachine({"--name", "web-01"});
    ASSERT_EQ(run({"start", database}).status, 0);

    for (const auto& [command, file] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"switches"}, "switches"}, {{"host", "show"}, "host-show"}, {{"memory"}, "memory"}}) {
        const auto text = run(command);
        EXPECT_EQ(text.status, 0) << text.err;
        EXPECT_EQ(masked(text.out), expected(file + ".txt"));
        EXPECT_EQ(text.err, "");
        auto asJson = command;
        asJson.push_back("--json");
        EXPECT_EQ(json::parse(masked(run(asJson).out)), json::parse(expected(file + ".json")));
    }
}

// The path that create prints is taken by the other commands, as is a name beyond ASCII, with quotes and
// backslashes as they are, and (as Get-VM does) without regard to case.
TEST_F(Output, CreatePrintsThePathAndTheOtherCommandsTakeItOrTheName) {
    const std::string name =
                          "w\xc3\xa9"
                          "b-\xe2\x98\x83",
                      folder = "C:\\M\xc3\xa4schinen";  // "wéb-☃", "Mäschinen"
    const auto created = document({"create", "--name", name, "--config-root", folder, "--json"});
    const std::string path = created["path"];
    EXPECT_EQ(created, (json{{"ok", true}, {"name", name}, {"path", path}}));
    const auto shown = document({"host", "show", "--json"})["machines"][0];
    EXPECT_EQ(shown["path"], path);
    EXPECT_EQ(shown["name"], name);
    EXPECT_EQ(shown["configurationDataRoot"], folder);
    const std::string quoted = R"(it's "quoted" \back\slash\)";
    const auto other = createMachine({"--name", quoted});

    const auto disks = run({"disks", path, makeImage("disk.vhdx")});
    EXPECT_EQ(disks.status, 0) << disks.err;
    EXPECT_EQ(masked(disks.out), "Disk images attached to " + name + ":\n  <tmp>/disk.vhdx\n");
    for (const auto& [command, done, state] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"start", "Started", "running"}, {"stop", "Stopped", "off"}, {"delete", "Deleted", "gone"}}) {
        const auto text = run({command, name});
        EXPECT_EQ(text.status, 0) << command << "\n" << text.err;
        EXPECT_EQ(text.out, done + " " + name + "\n");
        EXPECT_EQ(document({"--json", command, R"(IT'S "QUOTED" \BACK\SLASH\)"}),
                  (json{{"ok", true}, {"machine", quoted}, {"path", other}, {"state", state}}));
    }
    EXPECT_TRUE(machines().empty());
}

// The last line of standard error gives the reason; with --json the one document on standard output gives it
// too, with every log line and its level.
TEST_F(Output, EveryFailureSaysWhyAndWithJsonPrintsOneDocument) {
    const std::string nowhere = "\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.Name=\"nowhere\"";
    const Environment outOfMemory{{"LD_PRELOAD", std::string(VelmoraTestPaths::failAllocationLibrary)},
                                  {"VELMORA_TEST_FAIL_ALLOCATION", "1"}};
    const std::string notFound = ", err=-2147217406 (0x80041002 WBEM_E_NOT_FOUND: not found)";
    using Row = std::tuple<std::vector<std::string>, int, std::string, Environment>;
    makeImage("disk.vhdx");
    // clang-format off
    for (const auto& [arguments, status, reason, environment] : std::vector<Row>{
             {{"start", nowhere}, 1, "startVM returned false: Could not get object: " + nowhere + notFound, {}},
             {{"delete", nowhere}, 1, "deleteVM returned false: Call failed, err= -2147217406 (0x80041002 WBEM_E_NOT_FOUND: not found)", {}},
             {{"disks", nowhere, "disk.vhdx"}, 1, "setDiskImages returned false: Could not get object: ", {}},
             {{"memory"}, 3, "the library raised HResultError 0x8007000E E_OUTOFMEMORY: out of memory", outOfMemory},
             {{"create", "--name", "x", "--cpus", "0"}, 2, "--cpus: '0' is not a whole number of processors", {}},
             {{"--bogus", "list"}, 2, "The following argument was not expected: --bogus", {}}}) {
        // clang-format on
        SCOPED_TRACE(testing::PrintToString(arguments));
        const auto text = run(arguments, {.environment = environment});
        EXPECT_EQ(text.status, status) << text.err;
        EXPECT_EQ(text.out, "");
        EXPECT_THAT(text.err, HasSubstr("velmora: " + reason));

        auto asJson = arguments;
        asJson.insert(asJson.begin(), "--json");
        const auto result = run(asJson, {.environment = environment});
        EXPECT_EQ(result.status, status);
        const auto parsed = json::parse(result.out);
        EXPECT_EQ(parsed["ok"], false);
        EXPECT_EQ(parsed["error"].get<std::string>().find(reason), 0u) << parsed.dump();
        ASSERT_TRUE(parsed["lines"].is_array());
        if (status == 1) {
            EXPECT_EQ(parsed["lines"].back()["level"], "error") << parsed.dump();
            EXPECT_EQ(parsed["path"], nowhere);
        }
    }
}

// stopVM of a machine that does not exist returns true with a warning, after an error line of the lookup.
TEST_F(Output, LogLinesShowByLevelInTheLibrarysOrderColouredOnlyOnATerminal) {
    const std::string gone = "\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.Name=\"gone\"";
    const std::string lookup = "error: Could not get object: " + gone;
    const std::string warning = "warning: VM seems to be already deleted\n";
    // The lines shown, in this order, and the texts hidden.
    using Row = std::tuple<std::vector<std::string>, How, std::vector<std::string>, std::vector<std::string>>;
    const How terminal{.terminal = true}, noColour{.environment = {{"NO_COLOR", "1"}}, .terminal = true};
    // clang-format off
    for (const auto& [arguments, how, shown, hidden] : std::vector<Row>{
             {{"stop", gone}, {}, {lookup, warning}, {"info:", "\033"}},
             {{"--quiet", "stop", gone}, {}, {lookup}, {"warning:"}},
             {{"-v", "--json", "memory"}, {}, {"info: Get used memory\n", "info: Get used memory - OK\n"}, {}},
             {{"stop", gone}, terminal, {"\033[31merror\033[0m: Could not get object", "\033[33mwarning\033[0m: VM seems to be already deleted"}, {}},
             {{"stop", gone}, noColour, {"warning: VM seems to be already deleted"}, {"\033"}}}) {
        // clang-format on
        SCOPED_TRACE(testing::PrintToString(arguments));
        const auto result = run(arguments, how);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_THAT(result.out, Not(HasSubstr("info:")));
        std::size_t at = 0;
        for (const auto& text : shown) {
            at = result.err.find(text, at);
            ASSERT_NE(at, std::string::npos) << text << "\n" << result.err;
            EXPECT_EQ(result.err.find(text, at + 1), std::string::npos) << "twice: " << text << "\n" << result.err;
        }
        for (const auto& text : hidden) EXPECT_THAT(result.err, Not(HasSubstr(text)));
    }
}

TEST_F(Output, VersionAndHelpOfEveryCommandWithAnExample) {
    EXPECT_EQ(run({"--version"}).out, "velmora " VELMORA_VERSION "\n");
    EXPECT_EQ(document({"--json", "--version"}), (json{{"ok", true}, {"version", "velmora " VELMORA_VERSION}}));
    // clang-format off
    for (const auto& command : std::vector<std::vector<std::string>>{{}, {"switches"}, {"memory"}, {"create"},
             {"disks"}, {"start"}, {"stop"}, {"delete"}, {"host"}, {"host", "show"}, {"host", "reset"}, {"list"},
             {"help"}, {"tour"}}) {
        // clang-format on
        auto arguments = command;
        arguments.push_back("--help");
        const auto help = run(arguments);
        EXPECT_EQ(help.status, 0) << testing::PrintToString(command);
        EXPECT_THAT(help.out, HasSubstr("Usage: velmora"));
        EXPECT_THAT(help.out, HasSubstr("\n\nExample:\n  "));
        if (command.empty()) continue;
        arguments = command;
        arguments.insert(arguments.begin(), "help");
        EXPECT_EQ(run(arguments).out, help.out);
    }
    EXPECT_THAT(run({"stop", "--help"}).out, HasSubstr("The guest operating system is not asked to shut down"));
}

// Deleting a machine or the host asks a person at a terminal first, never a script.
TEST_F(Output, DeleteAndResetAskOnATerminalUnlessTold) {
    using Row = std::tuple<std::vector<std::string>, How, int, std::string, std::size_t>;
    const auto typed = [](const char* text) { return How{.terminal = true, .typed = text}; };
    for (const auto& [arguments, how, status, line, machinesAfter] : std::vector<Row>{
             {{"delete", "web-01"}, typed("n\n"), 1, "web-01 is not deleted: the deletion was not confirmed", 1},
             {{"host", "reset"}, typed("\n"), 1, "is left as it was: the reset was not confirmed", 1},
             {{"delete", "web-01"}, typed("yes\n"), 0, "Delete web-01 (", 0},
             {{"delete", "web-01", "--yes"}, typed(""), 0, "", 0},
             {{"host", "reset", "-y"}, typed(""), 0, "", 0},
             {{"delete", "web-01"}, {}, 0, "", 0},
         }) {
        SCOPED_TRACE(testing::PrintToString(arguments) + " " + how.typed);
        ASSERT_EQ(run({"host", "reset"}).status, 0);
        createMachine({"--name", "web-01"});
        const auto result = run(arguments, how);
        EXPECT_EQ(result.status, status) << result.err;
        EXPECT_THAT(result.err, HasSubstr(line));
        EXPECT_TRUE(!how.typed.empty() || result.err.find("[y/N]") == std::string::npos) << result.err;
        EXPECT_EQ(machines().size(), machinesAfter);
    }
}

}  // namespace
}  // namespace CommandTest
