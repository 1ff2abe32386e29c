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
    EXPECT_EQ(json::parse(created.out), (json{{"ok", true}, {"path", path}}));
    EXPECT_EQ(json::parse(run({"host", "show", "--json"}).out)["machines"][0]["path"], path);

    makeImage("disk.vhdx");
    const auto disks = run({"disks", path, "disk.vhdx"});
    EXPECT_EQ(disks.status, 0) << disks.err;
    EXPECT_EQ(masked(disks.out), "Disk images set on " + path + ":\n  <tmp>/disk.vhdx\n");

    const std::vector<std::pair<std::string, std::string>> steps{
        {"start", "Started"}, {"stop", "Stopped"}, {"delete", "Deleted"}};
    for (const auto& [command, done] : steps) {
        const auto text = run({command, path});
        EXPECT_EQ(text.status, 0) << command << "\n" << text.err;
        EXPECT_EQ(text.out, done + " " + path + "\n");
    }
    EXPECT_TRUE(json::parse(run({"host", "show", "--json"}).out)["machines"].empty());
}

TEST_F(Results, EachLifecycleCommandGivesItsPathInJson) {
    const auto path = createMachine({"--name", "web-01"});
    for (const char* command : {"start", "stop", "delete"}) {
        const auto result = run({"--json", command, path});
        EXPECT_EQ(result.status, 0) << command << "\n" << result.err;
        EXPECT_EQ(json::parse(result.out), (json{{"ok", true}, {"path", path}})) << command;
    }
}

TEST_F(Results, AFunctionThatReturnsFalseExitsWithOneAndSaysWhich) {
    const std::string unknown = "\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.Name=\"nowhere\"";
    for (const char* command : {"start", "delete"}) {
        const auto text = run({command, unknown});
        EXPECT_EQ(text.status, 1) << command;
        EXPECT_EQ(text.out, "") << command;
        EXPECT_EQ(text.err.find("error: "), 0u) << text.err;
        EXPECT_NE(text.err.find(std::string("velmora: ") + command + "VM returned false"), std::string::npos)
            << text.err;

        const auto document = run({"--json", command, unknown});
        EXPECT_EQ(document.status, 1) << command;
        EXPECT_EQ(json::parse(document.out), (json{{"ok", false}, {"path", unknown}}));
    }
    makeImage("disk.vhdx");
    const auto disks = run({"disks", unknown, "disk.vhdx"});
    EXPECT_EQ(disks.status, 1);
    EXPECT_NE(disks.err.find("velmora: setDiskImages returned false"), std::string::npos) << disks.err;
}

TEST_F(Results, ALibraryOutOfMemoryExitsWithThreeAndGivesTheHResult) {
    const Environment outOfMemory{{"LD_PRELOAD", std::string(VELMORA_FAIL_ALLOCATION)},
                                  {"VELMORA_TEST_FAIL_ALLOCATION", "1"}};
    const auto result = run({"memory"}, outOfMemory);
    EXPECT_EQ(result.status, 3) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("velmora: the library raised HResultError 0x8007000E (out of memory)\n"),
              std::string::npos)
        << result.err;
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
                                                                     {"tour"}}) {
        auto arguments = command;
        arguments.push_back("--help");
        const auto help = run(arguments);
        EXPECT_EQ(help.status, 0) << arguments.front();
        EXPECT_NE(help.out.find("\n\nExample:\n  "), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("Usage: velmora"), std::string::npos) << help.out;
    }
}

}  // namespace
}  // namespace CommandTest
