// velmora tour: the typical road from start to end on a host of its own.
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

TEST_F(Tour, UsesAGivenStateFileAsItIs) {
    const auto kept = createMachine({"--name", "kept"});
    const auto result = run({"tour"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Machines: 2"), std::string::npos) << result.out;
    const auto machines = json::parse(run({"host", "show", "--json"}).out)["machines"];
    ASSERT_EQ(machines.size(), 1u);
    EXPECT_EQ(machines[0]["path"], kept);
    EXPECT_FALSE(leftFilesBehind());
}

}  // namespace
}  // namespace CommandTest
