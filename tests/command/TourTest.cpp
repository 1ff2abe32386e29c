// velmora tour: the typical road from start to end with a machine of its own, which it deletes however the road
// ends.
#include <HyperVSim/Control.h>

#include <nlohmann/json.hpp>

#include <regex>

#include "CommandRun.h"

namespace CommandTest {
namespace {

using nlohmann::json;

class Tour : public CommandTest {
protected:
    // The tour's own directory has a random name; TMPDIR puts it into the test's directory.
    std::string maskedTour(const std::string& text) const {
        return std::regex_replace(masked(text), std::regex("<tmp>/velmora-tour-[A-Za-z0-9]{6}"), "<tour>");
    }
    bool leftFilesBehind() const {
        for (const auto& entry : std::filesystem::directory_iterator(directory()))
            if (entry.path().filename().string().starts_with("velmora-tour-")) return true;
        return false;
    }
};

TEST_F(Tour, WalksTheTypicalRoadToItsEnd) {
    const auto result = runWithoutState({"tour"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(maskedTour(result.out), expected("tour.txt"));
    EXPECT_FALSE(leftFilesBehind());
    // It keeps to its own host: the default state file is not made.
    EXPECT_FALSE(std::filesystem::exists(directory() / "xdg"));
}

TEST_F(Tour, InJsonEveryStepSaysWhatItCalledAndWhatCameBack) {
    const auto result = runWithoutState({"--json", "tour"});
    EXPECT_EQ(result.status, 0) << result.err;
    const auto document = json::parse(result.out);
    EXPECT_EQ(document["ok"], true);
    std::vector<std::string> functions;
    for (const auto& step : document["steps"]) {
        EXPECT_EQ(step["ok"], true) << step.dump();
        functions.push_back(step.value("function", ""));
    }
    EXPECT_EQ(functions,
              (std::vector<std::string>{"retrieveAvailableNetworkAdapters", "createVM", "", "setDiskImages",
                                        "startVM", "retrieveUsedMemory", "stopVM", "deleteVM"}));
    const auto& created = document["steps"][1];
    EXPECT_EQ(created["hostAfter"]["machines"][0]["path"], created["result"]["path"]);
    EXPECT_EQ(document["steps"][4]["hostAfter"]["machines"][0]["state"], "running");
    EXPECT_EQ(document["steps"][4]["hostAfter"]["machines"][0]["controllers"][0]["drives"].size(), 2u);
    EXPECT_TRUE(document["steps"][7]["hostAfter"]["machines"].empty());
}

TEST_F(Tour, UsesAGivenStateFileAsItIsWithAMachineNamedApart) {
    const auto kept = createMachine({"--name", "kept"});
    const auto result = run({"tour"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Machines: 2"), std::string::npos) << result.out;
    EXPECT_TRUE(std::regex_search(result.out, std::regex("machine 'velmora-tour-[A-Za-z0-9]{6}' with 1 GiB")))
        << result.out;
    const auto machines = json::parse(run({"host", "show", "--json"}).out)["machines"];
    ASSERT_EQ(machines.size(), 1u);
    EXPECT_EQ(machines[0]["path"], kept);
    EXPECT_FALSE(leftFilesBehind());
}

TEST_F(Tour, TakesTheSwitchItIsGiven) {
    const auto given = run({"tour", "--switch", "external SWITCH"});
    EXPECT_EQ(given.status, 0) << given.err;
    EXPECT_NE(given.out.find("one network adapter on 'External Switch' (createVM)"), std::string::npos);
    const auto unknown = run({"tour", "--switch", "bogus"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("velmora: no virtual switch is named 'bogus'; the host has:"), std::string::npos)
        << unknown.err;
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
        ASSERT_EQ(run({"host", "reset"}).status, 0);
        editHost([&] { HyperVSim::Control::planNextStateChange(row.start); });
        const auto result = row.interruptAt.empty() ? run({"tour"}) : runInterrupted({"tour"}, row.interruptAt);
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
        EXPECT_TRUE(json::parse(run({"list", "--json"}).out)["machines"].empty());
        EXPECT_FALSE(leftFilesBehind());
    }
}

}  // namespace
}  // namespace CommandTest
