// Refusals of the host reach the user: exit status 1 with the library's reason. And the host's hooks for a
// checkpoint and the order of the templates, which the library copes with.
#include <nlohmann/json.hpp>

#include "CommandRun.h"

namespace CommandTest {
namespace {

using nlohmann::json;

class Refusals : public CommandTest {};

TEST_F(Refusals, EndWithStatusOneAndTheLibrarysReason) {
    const auto machine = createMachine({"--name", "web-01"});
    ASSERT_EQ(run({"start", machine}).status, 0);
    const struct {
        std::vector<std::string> arguments;
        std::string reason;
        std::string function;
    } cases[] = {
        {{"delete", machine}, "error: DestroySystem returned 32775\n", "deleteVM"},
        {{"stop", "not-a-path"}, "error: Could not get object: not-a-path, err=-2147217350\n", "stopVM"},
    };
    for (const auto& c : cases) {
        const auto result = run(c.arguments);
        EXPECT_EQ(result.status, 1) << c.function;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("velmora: " + c.function + " returned false"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(json::parse(run({"host", "show", "--json"}).out)["machines"][0]["state"], "running");
}

TEST_F(Refusals, AHostWithACheckpointAndTheDefaultTemplateLastIsEquippedAsAnother) {
    const auto machine = createMachine({"--name", "web-01"});
    ASSERT_EQ(run({"host", "checkpoint", machine}).status, 0);
    ASSERT_EQ(run({"host", "default-template", "last"}).status, 0);
    EXPECT_EQ(run({"host", "checkpoint", "not-a-path"}).status, 2);

    const auto second = createMachine({"--name", "db-01", "--memory", "2GiB", "--switch", "Default Switch"});
    ASSERT_EQ(run({"host", "checkpoint", second}).status, 0);
    const auto attached = run({"disks", second, makeImage("a.vhdx")});
    EXPECT_EQ(attached.status, 0) << attached.err;

    const auto shown = json::parse(run({"host", "show", "--json"}).out)["machines"][1];
    EXPECT_EQ(shown["memoryBytes"], 2147483648u) << shown;
    EXPECT_EQ(shown["adapters"].size(), 1u) << shown;
    ASSERT_EQ(shown["controllers"].size(), 1u) << shown;
    EXPECT_EQ(shown["controllers"][0]["drives"].size(), 1u) << shown;
}

}  // namespace
}  // namespace CommandTest
