// The host's hooks for a checkpoint and the order of the templates, which the library copes with.
#include <nlohmann/json.hpp>

#include "CommandRun.h"

namespace CommandTest {
namespace {

using nlohmann::json;

class HostHooks : public CommandTest {};

TEST_F(HostHooks, AHostWithACheckpointAndTheDefaultTemplateLastIsEquippedAsAnother) {
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
