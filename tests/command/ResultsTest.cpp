// What each subcommand prints on a freshly seeded host (the host's paths and GUIDs are the same after every
// reset), as text and as JSON, and the exit status that goes with it.
#include <nlohmann/json.hpp>

#include "CommandRun.h"

namespace CommandTest {
namespace {

using nlohmann::json;

class Results : public CommandTest {
protected:
    // Two machines: a generation 1 machine with custom sizing, both switches and five images (both IDE
    // controllers full, one image on SCSI), running; and a generation 2 machine with the defaults.
    void buildHost() {
        const auto switches = json::parse(run({"--json", "switches"}).out);
        const std::string externalPath = switches["switches"][1]["path"];
        database_ = createMachine(
            {"--name",       "db-01",     "--generation",      "1",       "--memory",    "1536MiB",
             "--cpus",       "4",         "--cpu-reservation", "10",      "--cpu-limit", "80",
             "--cpu-weight", "200",       "--config-root",     "D:\\VMs", "--switch",    "Default Switch",
             "--switch",     externalPath});
        std::vector<std::string> disks{"disks", "--generation", "1", database_};
        for (const char* image : {"a.vhdx", "b.vhdx", "c.vhdx", "d.vhdx", "e.vhdx"})
            disks.push_back(makeImage(image));
        const auto attached = run(disks);
        ASSERT_EQ(attached.status, 0) << attached.err;
        createMachine({"--name", "web-01"});
        const auto started = run({"start", database_});
        ASSERT_EQ(started.status, 0) << started.err;
    }

    std::string database_;
};

TEST_F(Results, SwitchesListNameAndPath) {
    const auto text = run({"switches"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, expected("switches.txt"));
    EXPECT_EQ(text.err, "");

    const auto document = run({"switches", "--json"});
    EXPECT_EQ(document.status, 0) << document.err;
    EXPECT_EQ(json::parse(document.out), json::parse(expected("switches.json")));
}

TEST_F(Results, HostShowGivesMachinesWithTheirDevicesSwitchesAndUsedMemory) {
    buildHost();
    const auto text = run({"host", "show"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(masked(text.out), expected("host-show.txt"));

    const auto document = run({"host", "show", "--json"});
    EXPECT_EQ(document.status, 0) << document.err;
    EXPECT_EQ(json::parse(masked(document.out)), json::parse(expected("host-show.json")));
}

TEST_F(Results, MemoryIsTheFigureOfRetrieveUsedMemory) {
    buildHost();
    const auto shown = json::parse(run({"host", "show", "--json"}).out);

    const auto text = run({"memory"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, expected("memory.txt"));

    const auto document = run({"--json", "memory"});
    EXPECT_EQ(document.status, 0) << document.err;
    const auto memory = json::parse(document.out);
    EXPECT_EQ(memory, json::parse(expected("memory.json")));
    EXPECT_EQ(memory["usedMemoryBytes"], shown["usedMemoryBytes"]);
}

TEST_F(Results, CreatePrintsThePathThatTheOtherCommandsTake) {
    const auto created = run({"create", "--name", "web-01", "--json"});
    EXPECT_EQ(created.status, 0) << created.err;
    const std::string path = json::parse(created.out)["path"];
    EXPECT_EQ(json::parse(created.out), (json{{"ok", true}, {"name", "web-01"}, {"path", path}}));
    EXPECT_EQ(json::parse(run({"host", "show", "--json"}).out)["machines"][0]["path"], path);

    makeImage("disk.vhdx");
    const auto disks = run({"disks", path, "disk.vhdx"});
    EXPECT_EQ(disks.status, 0) << disks.err;
    EXPECT_EQ(masked(disks.out), "Disk images attached to web-01:\n  <tmp>/disk.vhdx\n");

    const std::vector<std::pair<std::string, std::string>> steps{
        {"start", "Started"}, {"stop", "Stopped"}, {"delete", "Deleted"}};
    for (const auto& [command, done] : steps) {
        const auto text = run({command, path});
        EXPECT_EQ(text.status, 0) << command << "\n" << text.err;
        EXPECT_EQ(text.out, done + " web-01\n");
    }
    EXPECT_TRUE(json::parse(run({"host", "show", "--json"}).out)["machines"].empty());
}

TEST_F(Results, EachLifecycleCommandGivesTheMachineAndItsStateInJson) {
    const auto path = createMachine({"--name", "web-01"});
    for (const auto& [command, state] : std::vector<std::pair<std::string, std::string>>{
             {"start", "running"}, {"stop", "off"}, {"delete", "gone"}}) {
        const auto result = run({"--json", command, path});
        EXPECT_EQ(result.status, 0) << command << "\n" << result.err;
        EXPECT_EQ(json::parse(result.out),
                  (json{{"ok", true}, {"machine", "web-01"}, {"path", path}, {"state", state}}))
            << command;
    }
}

// The last line of standard error gives the reason; with --json the one document on standard output gives it
// too, with every log line and its level.
TEST_F(Results, EveryFailureSaysWhyAndWithJsonPrintsOneDocument) {
    const std::string nowhere = "\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.Name=\"nowhere\"";
    const Environment outOfMemory{{"LD_PRELOAD", std::string(VELMORA_FAIL_ALLOCATION)},
                                  {"VELMORA_TEST_FAIL_ALLOCATION", "1"}};
    struct Row {
        std::vector<std::string> arguments;
        Environment environment;
        int status;
        std::string reason;
    };
    makeImage("disk.vhdx");
    for (const auto& row : std::vector<Row>{
             {{"start", nowhere},
              {},
              1,
              "startVM returned false: Could not get object: " + nowhere +
                  ", err=-2147217406 (0x80041002 WBEM_E_NOT_FOUND: not found)"},
             {{"delete", nowhere},
              {},
              1,
              "deleteVM returned false: Call failed, err= -2147217406 (0x80041002 WBEM_E_NOT_FOUND: not found)"},
             {{"disks", nowhere, "disk.vhdx"}, {}, 1, "setDiskImages returned false: Could not get object: "},
             {{"memory"},
              outOfMemory,
              3,
              "the library raised HResultError 0x8007000E E_OUTOFMEMORY: out of memory"},
             {{"create", "--name", "x", "--cpus", "0"}, {}, 2, "--cpus: '0' is not a whole number of processors"},
             {{"--bogus", "list"}, {}, 2, "The following argument was not expected: --bogus"},
         }) {
        const auto text = run(row.arguments, row.environment);
        EXPECT_EQ(text.status, row.status) << row.arguments.front() << "\n" << text.err;
        EXPECT_EQ(text.out, "") << row.arguments.front();
        EXPECT_NE(text.err.find("velmora: " + row.reason), std::string::npos) << text.err;

        auto arguments = row.arguments;
        arguments.insert(arguments.begin(), "--json");
        const auto document = run(arguments, row.environment);
        EXPECT_EQ(document.status, row.status) << row.arguments.front();
        const auto parsed = json::parse(document.out);
        EXPECT_EQ(parsed["ok"], false);
        EXPECT_EQ(parsed["error"].get<std::string>().find(row.reason), 0u) << parsed.dump();
        ASSERT_TRUE(parsed["lines"].is_array());
        if (row.status == 1) {
            EXPECT_EQ(parsed["lines"].back()["level"], "error") << parsed.dump();
            EXPECT_EQ(parsed["path"], nowhere);
        }
    }
}

TEST_F(Results, TextBeyondAsciiSurvivesTheWayThroughTheLibrary) {
    const std::string name =
        "w\xc3\xa9"
        "b-\xe2\x98\x83";  // "wéb-☃"
    const std::string folder = "C:\\M\xc3\xa4schinen";
    createMachine({"--name", name, "--config-root", folder});
    const auto machine = json::parse(run({"host", "show", "--json"}).out)["machines"][0];
    EXPECT_EQ(machine["name"], name);
    EXPECT_EQ(machine["configurationDataRoot"], folder);
}

TEST_F(Results, EveryCommandHasHelpWithAnExample) {
    for (const auto& command : std::vector<std::vector<std::string>>{{},
                                                                     {"switches"},
                                                                     {"memory"},
                                                                     {"create"},
                                                                     {"disks"},
                                                                     {"start"},
                                                                     {"stop"},
                                                                     {"delete"},
                                                                     {"host"},
                                                                     {"host", "show"},
                                                                     {"host", "reset"},
                                                                     {"list"},
                                                                     {"help"},
                                                                     {"tour"}}) {
        auto arguments = command;
        arguments.push_back("--help");
        const auto help = run(arguments);
        EXPECT_EQ(help.status, 0) << arguments.front();
        EXPECT_NE(help.out.find("\n\nExample:\n  "), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("Usage: velmora"), std::string::npos) << help.out;
    }
}

TEST_F(Results, VersionAndHelpOfACommandAsOperatorsAskForThem) {
    EXPECT_EQ(run({"--version"}).out, "velmora " VELMORA_VERSION "\n");
    EXPECT_EQ(json::parse(run({"--json", "--version"}).out),
              (json{{"ok", true}, {"version", "velmora " VELMORA_VERSION}}));
    for (const auto& command : std::vector<std::vector<std::string>>{{"create"}, {"host", "reset"}}) {
        auto asked = command;
        asked.insert(asked.begin(), "help");
        auto flagged = command;
        flagged.push_back("--help");
        const auto help = run(asked);
        EXPECT_EQ(help.status, 0) << help.err;
        EXPECT_EQ(help.out, run(flagged).out);
    }
    EXPECT_NE(run({"stop", "--help"}).out.find("The guest operating system is not asked to shut down"),
              std::string::npos);
}

// Deleting a machine or the host asks a person at a terminal first, never a script.
TEST_F(Results, DeleteAndResetAskOnATerminalUnlessTold) {
    struct Row {
        std::vector<std::string> arguments;
        StandardError console;
        std::string typed;
        int status;
        std::string line;
        std::size_t machinesAfter;
    };
    const std::string question = "Delete web-01 (";
    for (const auto& row : std::vector<Row>{
             {{"delete", "web-01"},
              StandardError::Console,
              "n\n",
              1,
              "web-01 is not deleted: the deletion was not confirmed",
              1},
             {{"host", "reset"},
              StandardError::Console,
              "\n",
              1,
              "is left as it was: the reset was not confirmed",
              1},
             {{"delete", "web-01"}, StandardError::Console, "yes\n", 0, question, 0},
             {{"delete", "web-01", "--yes"}, StandardError::Console, "", 0, "", 0},
             {{"host", "reset", "-y"}, StandardError::Console, "", 0, "", 0},
             {{"delete", "web-01"}, StandardError::File, "", 0, "", 0},
         }) {
        ASSERT_EQ(run({"host", "reset"}).status, 0);
        createMachine({"--name", "web-01"});
        const auto result = run(row.arguments, {}, row.console, row.typed);
        EXPECT_EQ(result.status, row.status) << row.arguments.front() << " " << row.typed << "\n" << result.err;
        EXPECT_NE(result.err.find(row.line), std::string::npos) << result.err;
        if (row.typed.empty()) {
            EXPECT_EQ(result.err.find("[y/N]"), std::string::npos) << result.err;
        }
        EXPECT_EQ(json::parse(run({"list", "--json"}).out)["machines"].size(), row.machinesAfter);
    }
}

}  // namespace
}  // namespace CommandTest
