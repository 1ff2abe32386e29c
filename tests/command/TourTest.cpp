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

    // In JSON each step says what it called and what came back, and shows the host after it.
    const auto steps = document({"--json", "tour"}, {.state = false})["steps"];
    std::string functions;
    for (const auto& step : steps)
        functions += step.value("function", "-") + (step["ok"] == true ? " " : "(failed) ");
    EXPECT_EQ(functions,
              "retrieveAvailableNetworkAdapters createVM - setDiskImages startVM retrieveUsedMemory stopVM "
              "deleteVM ");
    EXPECT_EQ(steps[1]["hostAfter"]["machines"][0]["path"], steps[1]["result"]["path"]);
    EXPECT_EQ(steps[4]["hostAfter"]["machines"][0]["state"], "running");
    EXPECT_EQ(steps[4]["hostAfter"]["machines"][0]["controllers"][0]["drives"].size(), 2u);
    EXPECT_TRUE(steps[7]["hostAfter"]["machines"].empty());
}

TEST_F(Tour, UsesAGivenStateFileAsItIsWithAMachineNamedApartOnTheSwitchItIsGiven) {
    const auto kept = createMachine({"--name", "kept"});
    const auto result = run({"tour", "--switch", "external SWITCH"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("Machines: 2"));
    EXPECT_TRUE(std::regex_search(result.out, std::regex("machine 'velmora-tour-[A-Za-z0-9]{6}' with 1 GiB")))
        << result.out;
    EXPECT_THAT(result.out, HasSubstr("one network adapter on 'External Switch' (createVM)"));
    EXPECT_EQ(machines(), json::array({{{"name", "kept"}, {"state", "off"}, {"enabledState", 3}, {"path", kept}}}));
    const auto unknown = run({"tour", "--switch", "bogus"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_THAT(unknown.err, HasSubstr("velmora: no virtual switch is named 'bogus'; the host has:"));
    EXPECT_FALSE(leftFilesBehind());
}

// A start whose job fails, or Ctrl+C while the tour waits for the machine to run: the tour turns its machine
// off where it has to, deletes it and says why it stopped.
TEST_F(Tour, DeletesItsMachineWhenTheRoadEndsEarly) {
    // clang-format off
    for (const auto& [start, interruptAt, cleanup, reason] : std::vector<std::tuple<HyperVSim::StateChangePlan, std::string, std::string, std::string>>{
             {{300, true}, "", "\n6. Delete the machine (deleteVM)\n", "ended up off, not running"},
             {{1500, false}, "5. Start the machine", "\n6. Turn the machine off (stopVM)\n   -> true\n\n7. Delete the machine (deleteVM)\n", "velmora: stopped waiting: velmora-tour-"}}) {
        // clang-format on
        SCOPED_TRACE(reason);
        ASSERT_EQ(run({"host", "reset"}).status, 0);
        editHost([&] { HyperVSim::Control::planNextStateChange(start); });
        const auto result = run({"tour"}, {.interruptAt = interruptAt});
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_THAT(result.out,
                    HasSubstr("The tour stopped at step 5; it turns its machine off and deletes it:\n" + cleanup));
        EXPECT_THAT(result.out,
                    HasSubstr("The tour stopped at step 5; standard error says why. Its machine is deleted. "
                              "Its files are removed.\n"));
        EXPECT_THAT(result.err.substr(result.err.rfind("velmora: ")), HasSubstr(reason));
        EXPECT_TRUE(machines().empty());
        EXPECT_FALSE(leftFilesBehind());
    }
}

}  // namespace
}  // namespace CommandTest
