// Machines by name or path, the list of them, and the wait after start, stop and delete until the machine is
// where it was sent; the simulated host is told to let a state change take time or fail.
#include <HyperVSim/Control.h>

#include "CommandRun.h"

namespace CommandTest {
namespace {

using HyperVSim::StateChangePlan;

class Machines : public CommandTest {
protected:
    std::string stateOf(const std::string& name) {
        for (const auto& machine : machines())
            if (machine["name"] == name) return machine["state"];
        return "gone";
    }
    void plan(const StateChangePlan& next) {
        editHost([&] { HyperVSim::Control::planNextStateChange(next); });
    }
};

TEST_F(Machines, ListGivesEveryMachineByNameWithItsStateAndPathButNotTheHostingComputer) {
    EXPECT_EQ(run({"list"}).out, "");
    const auto web = createMachine({"--name", "web-01"});
    const auto database = createMachine({"--name", "db-01"});
    ASSERT_EQ(run({"start", "db-01"}).status, 0);
    EXPECT_EQ(run({"list"}).out, "db-01   running  " + database + "\nweb-01  off      " + web + "\n");
    EXPECT_EQ(document({"list", "--json"}),
              (json{{"ok", true},
                    {"machines",
                     {{{"name", "db-01"}, {"state", "running"}, {"enabledState", 2}, {"path", database}},
                      {{"name", "web-01"}, {"state", "off"}, {"enabledState", 3}, {"path", web}}}}}));
    // A tab or line end in a name shows as an escape.
    editHost([] { HyperVSim::Control::defineMachine(L"tab\there\nand there", 2); });
    EXPECT_THAT(run({"list"}).out, HasSubstr("\ntab\\there\\nand there  off      \\\\HVSIM01"));
    EXPECT_THAT(run({"host", "show"}).out, HasSubstr("\n  tab\\there\\nand there\n    path:"));
}

TEST_F(Machines, StartStopAndDeleteWaitUntilTheMachineIsThere) {
    // The line is on standard output or on standard error, here a terminal.
    using Row = std::tuple<StateChangePlan, bool, std::vector<std::string>, int, std::string, std::string>;
    // clang-format off
    for (const auto& [next, runningBefore, command, status, line, stateAfter] : std::vector<Row>{
             {{}, false, {"start"}, 0, "Started web-01\n", "running"},
             {{300, false}, false, {"start"}, 0, "Started web-01\n", "running"},
             // On a terminal the wait shows what it waits for.
             {{600, false}, false, {"start"}, 0, "\rWaiting for web-01 to be running: starting (0 s of 60 s)", "running"},
             {{5000, false}, false, {"start", "--timeout", "1"}, 1, "velmora: web-01 is starting after 1 s, not running", "starting"},
             {{300, true}, false, {"start"}, 1, "velmora: web-01 ended up off, not running", "off"},
             {{0, true}, false, {"start", "--timeout", "1"}, 1, "velmora: web-01 is off after 1 s, not running", "off"},
             {{5000, false}, false, {"start", "--no-wait"}, 0, "Start of web-01 accepted by Hyper-V; not waited for (--no-wait)\n", "starting"},
             {{300, false}, true, {"stop"}, 0, "Stopped web-01\n", "off"},
             {{5000, false}, true, {"stop", "--timeout", "0"}, 1, "velmora: web-01 is stopping after 0 s, not off", "stopping"},
             {{}, false, {"delete", "--yes"}, 0, "Deleted web-01\n", "gone"},
             // Hyper-V refuses to delete a running machine; the library reads DestroySystem's ReturnValue.
             {{}, true, {"delete", "--yes", "--timeout", "1"}, 1, "velmora: deleteVM returned false for web-01: DestroySystem returned 32775 (32775: invalid state for this operation)", "running"}}) {
        // clang-format on
        auto arguments = command;
        arguments.insert(arguments.begin() + 1, "web-01");
        SCOPED_TRACE(testing::PrintToString(arguments) + " " + std::to_string(next.milliseconds));
        ASSERT_EQ(run({"host", "reset"}).status, 0);
        createMachine({"--name", "web-01"});
        ASSERT_EQ(runningBefore ? run({"start", "web-01"}).status : 0, 0);
        plan(next);
        const auto result = run(arguments, {.terminal = true});
        EXPECT_EQ(result.status, status) << result.err;
        EXPECT_THAT(result.out + result.err, HasSubstr(line));
        EXPECT_EQ(stateOf("web-01"), stateAfter);
    }
}

TEST_F(Machines, AnImageTheLibrarySkipsIsNamedAsNotAttached) {
    const auto path = createMachine({"--name", "web-01"});
    ASSERT_EQ(run({"disks", "web-01", makeImage("a.vhdx")}).status, 0);
    // Each call starts at the first SCSI slot, which a.vhdx holds: the library skips e0.vhdx and goes on.
    const auto result = run({"--json", "disks", path, makeImage("e0.vhdx")});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(masked(result.err),
                HasSubstr("velmora: not attached to web-01: <tmp>/e0.vhdx (the library could not add a "
                          "drive for it and went on: \"Disk has already added. Continue\""));
    EXPECT_EQ(json::parse(masked(result.out))["notAttached"], json::array({"<tmp>/e0.vhdx"}));
}

// The host's hooks for a checkpoint and the order of the templates, which the library copes with.
TEST_F(Machines, AMachineOnAHostWithACheckpointAndTheDefaultTemplateLastIsEquippedAsAnother) {
    ASSERT_EQ(run({"host", "checkpoint", createMachine({"--name", "web-01"})}).status, 0);
    ASSERT_EQ(run({"host", "default-template", "last"}).status, 0);
    EXPECT_EQ(run({"host", "checkpoint", "not-a-path"}).status, 2);
    const auto second = createMachine({"--name", "db-01", "--memory", "2GiB", "--switch", "Default Switch"});
    ASSERT_EQ(run({"host", "checkpoint", second}).status, 0);
    EXPECT_EQ(run({"disks", second, makeImage("a.vhdx")}).status, 0);
    const auto shown = document({"host", "show", "--json"})["machines"][1];
    EXPECT_EQ(shown["memoryBytes"], 2147483648u) << shown;
    EXPECT_EQ(shown["adapters"].size(), 1u) << shown;
    ASSERT_EQ(shown["controllers"].size(), 1u) << shown;
    EXPECT_EQ(shown["controllers"][0]["drives"].size(), 1u) << shown;
}

}  // namespace
}  // namespace CommandTest
