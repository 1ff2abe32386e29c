// velmora tour: the typical road from start to end with a machine of its own, which it deletes however the road
// ends.
#include <HyperVSim/Control.h>

#include <regex>

#include "CommandRun.h"

namespace CommandTest {
namespace {

class Tour : public CommandTest {
protected:
    bool leftFilesBehind() const {
        for (const auto& entry : std::filesystem::directory_iterator(directory()))
            if (entry.path().filename().string().starts_with("velmora-tour-")) return true;
        return false;
    }
};

TEST_F(Tour, WalksTheTypicalRoadOnAHostOfItsOwnSayingWhatEachStepCalledAndWhatCameBack) {
    const auto result = run({"tour"}, {.state = false});
    EXPECT_EQ(result.status, 0) << result.err;
    // The tour's own directory has a random name; TMPDIR puts it into the test's directory.
    EXPECT_EQ(std::regex_replace(masked(result.out), std::regex("<tmp>/velmora-tour-[A-Za-z0-9]{6}"), "<tour>"),
              expected("tour.txt"));
    EXPECT_FALSE(leftFilesBehind());
    EXPECT_FALSE(std::filesystem::exists(directory() / "xdg"));  // the default state file is not made

    const auto steps = document({"--json", "tour"}, {.state = false})["steps"];
    std::vector<std::string> functions;
    for (const auto& step : steps) {
        EXPECT_EQ(step["ok"], true) << step.dump();
        functions.push_back(step.value("function", ""));
    }
    EXPECT_EQ(functions,
              (std::vector<std::string>{"retrieveAvailableNetworkAdapters", "createVM", "", "setDiskImages",
                                        "startVM", "retrieveUsedMemory", "stopVM", "deleteVM"}));
    EXPECT_EQ(steps[1]["hostAfter"]["machines"][0]["path"], steps[1]["result"]["path"]);
    EXPECT_EQ(steps[4]["hostAfter"]["machines"][0]["state"], "running");
    EXPECT_EQ(steps[4]["hostAfter"]["machines"][0]["controllers"][0]["drives"].size(), 2u);
    EXPECT_TRUE(steps[7]["hostAfter"]["machines"].empty());
}

TEST_F(Tour, UsesAGivenStateFileAsItIsWithAMachineNamedApartOnTheSwitchItIsGiven) {
    const auto kept = createMachine({"--name", "kept"});
    const auto result = run({"tour", "--switch", "external SWITCH"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Machines: 2"), std::string::npos) << result.out;
    EXPECT_TRUE(std::regex_search(result.out, std::regex("machine 'velmora-tour-[A-Za-z0-9]{6}' with 1 GiB")))
        << result.out;
    EXPECT_NE(result.out.find("one network adapter on 'External Switch' (createVM)"), std::string::npos);
    EXPECT_EQ(machines(), json::array({{{"name", "kept"}, {"state", "off"}, {"enabledState", 3}, {"path", kept}}}));
    const auto unknown = run({"tour", "--switch", "bogus"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("velmora: no virtual switch is named 'bogus'; the host has:"), std::string::npos);
    EXPECT_FALSE(leftFilesBehind());
}

// A start whose job fails, or Ctrl+C while the tour waits for the machine to run: the tour turns its machine
// off where it has to, deletes it and says why it stopped.
TEST_F(Tour, DeletesItsMachineWhenTheRoadEndsEarly) {
    struct Row {
        HyperVSim::StateChangePlan start;
        std::string interruptAt;
        std::string cleanup;
        std::string reason;
    };
    for (const auto& row : std::vector<Row>{
             {{300, true}, "", "\n6. Delete the machine (deleteVM)\n", "ended up off, not running"},
             {{1500, false},
              "5. Start the machine",
              "\n6. Turn the machine off (stopVM)\n   -> true\n\n7. Delete the machine (deleteVM)\n",
              "velmora: stopped waiting: velmora-tour-"},
         }) {
        SCOPED_TRACE(row.reason);
        ASSERT_EQ(run({"host", "reset"}).status, 0);
        editHost([&] { HyperVSim::Control::planNextStateChange(row.start); });
        const auto result = run({"tour"}, {.interruptAt = row.interruptAt});
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_NE(
            result.out.find("The tour stopped at step 5; it turns its machine off and deletes it:\n" + row.cleanup),
            std::string::npos)
            << result.out;
        EXPECT_NE(result.out.find("The tour stopped at step 5; standard error says why. Its machine is deleted. "
                                  "Its files are removed.\n"),
                  std::string::npos)
            << result.out;
        EXPECT_NE(result.err.substr(result.err.rfind("velmora: ")).find(row.reason), std::string::npos)
            << result.err;
        EXPECT_TRUE(machines().empty());
        EXPECT_FALSE(leftFilesBehind());
    }
}

}  // namespace
}  // namespace CommandTest
