// Machines by name or path, the list of them, and the wait after start, stop and delete until the machine is
// where it was sent; the simulated host is told to let a state change take time or fail.
#include <HyperVSim/Control.h>

#include <nlohmann/json.hpp>

#include "CommandRun.h"

namespace CommandTest {
namespace {

using HyperVSim::StateChangePlan;
using nlohmann::json;

class Machines : public CommandTest {
protected:
    std::string stateOf(const std::string& name) {
        const auto listed = json::parse(run({"list", "--json"}).out);
        for (const auto& machine : listed["machines"])
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
    const auto text = run({"list"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "db-01   running  " + database + "\nweb-01  off      " + web + "\n");
    EXPECT_EQ(json::parse(run({"list", "--json"}).out),
              (json{{"ok", true},
                    {"machines",
                     {{{"name", "db-01"}, {"state", "running"}, {"enabledState", 2}, {"path", database}},
                      {{"name", "web-01"}, {"state", "off"}, {"enabledState", 3}, {"path", web}}}}}));
}

TEST_F(Machines, ANameIsFoundWithItsQuotesAndBackslashesTakenAsTheyAre) {
    for (const std::string name : {R"(it's "quoted")", R"(back\slash \")",
                                   "w\xc3\xa9"
                                   "b",
                                   "web-01"}) {
        const auto path = createMachine({"--name", name});
        const auto started = run({"--json", "start", name});
        EXPECT_EQ(started.status, 0) << name << "\n" << started.err;
        EXPECT_EQ(json::parse(started.out),
                  (json{{"ok", true}, {"machine", name}, {"path", path}, {"state", "running"}}));
    }
    // WMI compares names without regard to case, as Get-VM does.
    const auto stopped = run({"stop", "WEB-01"});
    EXPECT_EQ(stopped.out, "Stopped web-01\n") << stopped.err;
}

TEST_F(Machines, StartStopAndDeleteWaitUntilTheMachineIsThere) {
    struct Row {
        StateChangePlan plan;
        bool runningBefore;
        std::vector<std::string> arguments;
        int status;
        std::string line;  // on standard output for 0, on standard error otherwise
        std::string stateAfter;
    };
    for (const auto& row : std::vector<Row>{
             {{}, false, {"start"}, 0, "Started web-01\n", "running"},
             {{300, false}, false, {"start"}, 0, "Started web-01\n", "running"},
             {{5000, false},
              false,
              {"start", "--timeout", "1"},
              1,
              "velmora: web-01 is starting after 1 s, not running\n",
              "starting"},
             {{300, true}, false, {"start"}, 1, "velmora: web-01 ended up off, not running\n", "off"},
             {{0, true},
              false,
              {"start", "--timeout", "1"},
              1,
              "velmora: web-01 is off after 1 s, not running\n",
              "off"},
             {{5000, false},
              false,
              {"start", "--no-wait"},
              0,
              "Start of web-01 accepted by Hyper-V; not waited for (--no-wait)\n",
              "starting"},
             {{300, false}, true, {"stop"}, 0, "Stopped web-01\n", "off"},
             {{5000, false},
              true,
              {"stop", "--timeout", "0"},
              1,
              "velmora: web-01 is stopping after 0 s, not off\n",
              "stopping"},
             {{}, false, {"delete"}, 0, "Deleted web-01\n", "gone"},
         }) {
        ASSERT_EQ(run({"host", "reset"}).status, 0);
        createMachine({"--name", "web-01"});
        if (row.runningBefore) {
            ASSERT_EQ(run({"start", "web-01"}).status, 0);
        }
        plan(row.plan);
        auto arguments = row.arguments;
        arguments.insert(arguments.begin() + 1, "web-01");
        const auto result = run(arguments);
        EXPECT_EQ(result.status, row.status) << arguments.front() << " " << row.plan.milliseconds << "\n"
                                             << result.err;
        EXPECT_NE((row.status == 0 ? result.out : result.err).find(row.line), std::string::npos)
            << arguments.front() << " " << row.plan.milliseconds << "\n"
            << result.out << result.err;
        EXPECT_EQ(stateOf("web-01"), row.stateAfter) << arguments.front() << " " << row.plan.milliseconds;
    }
}

TEST_F(Machines, AWaitOnATerminalShowsWhatItWaitsFor) {
    createMachine({"--name", "web-01"});
    plan({600, false});
    const auto result = run({"start", "web-01"}, {}, StandardError::Terminal);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("\rWaiting for web-01 to be running: starting (0 s of 60 s)"), std::string::npos)
        << result.err;
}

// Holds once the library reads DestroySystem's ReturnValue: a running machine is refused with 32775.
TEST_F(Machines, DeletingARunningMachineFailsWithHyperVsReason) {
    createMachine({"--name", "web-01"});
    ASSERT_EQ(run({"start", "web-01"}).status, 0);
    const auto result = run({"delete", "web-01", "--timeout", "1"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("velmora: deleteVM returned false for web-01: "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("(32775: invalid state for this operation)"), std::string::npos) << result.err;
    EXPECT_EQ(stateOf("web-01"), "running");
}

TEST_F(Machines, AnImageTheLibrarySkipsIsNamedAsNotAttached) {
    const auto path = createMachine({"--name", "web-01"});
    ASSERT_EQ(run({"disks", "web-01", makeImage("a.vhdx")}).status, 0);
    // Each call starts at the first SCSI slot, which a.vhdx holds: the library skips e0.vhdx and goes on.
    const auto result = run({"--json", "disks", path, makeImage("e0.vhdx")});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(masked(result.err)
                  .find("velmora: not attached to web-01: <tmp>/e0.vhdx (the library could not add a "
                        "drive for it and went on: \"Disk has already added. Continue\""),
              std::string::npos)
        << result.err;
    EXPECT_EQ(json::parse(masked(result.out))["notAttached"], json::array({"<tmp>/e0.vhdx"}));
}

TEST_F(Machines, ATabOrLineEndInANameShowsAsAnEscape) {
    editHost([] { HyperVSim::Control::defineMachine(L"tab\there\nand there", 2); });
    EXPECT_EQ(run({"list"}).out.find("tab\\there\\nand there  off  \\\\HVSIM01"), 0u);
    EXPECT_NE(run({"host", "show"}).out.find("Machines: 1\n  tab\\there\\nand there\n    path:"),
              std::string::npos);
}

}  // namespace
}  // namespace CommandTest
