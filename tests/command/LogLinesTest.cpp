// The library's log lines on standard error: which levels each verbosity shows, and colour only on a terminal.
#include "CommandRun.h"

namespace CommandTest {
namespace {

class LogLines : public CommandTest {
protected:
    // stopVM on a machine that does not exist returns true with a warning, after an error line of the lookup.
    const std::string gone = "\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.Name=\"gone\"";
};

TEST_F(LogLines, ByDefaultWarningsAndErrorsShow) {
    const auto result = run({"stop", gone});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("warning: VM seems to be already deleted\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("error: Could not get object: " + gone), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("info:"), std::string::npos) << result.err;
}

TEST_F(LogLines, QuietShowsErrorsOnly) {
    const auto result = run({"--quiet", "stop", gone});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err.find("warning:"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("error: Could not get object: " + gone), std::string::npos) << result.err;
}

TEST_F(LogLines, VerboseShowsEveryLineInTheOrderTheLibrarySentThem) {
    const auto result = run({"switches", "-v"});
    EXPECT_EQ(result.status, 0) << result.err;
    const auto banner = result.err.find("info: Get available network adapters\n");
    const auto done = result.err.find("info: Get available network adapters - OK\n");
    ASSERT_NE(banner, std::string::npos) << result.err;
    ASSERT_NE(done, std::string::npos) << result.err;
    EXPECT_LT(banner, done);
    EXPECT_EQ(result.err.rfind("info: Get available network adapters - OK"), done);
}

TEST_F(LogLines, LevelsAreColouredOnATerminalUnlessNoColorIsSet) {
    const auto onTerminal = run({"stop", gone}, {}, StandardError::Terminal);
    EXPECT_EQ(onTerminal.status, 0);
    EXPECT_NE(onTerminal.err.find("\033[33mwarning\033[0m: VM seems to be already deleted"), std::string::npos)
        << onTerminal.err;
    EXPECT_NE(onTerminal.err.find("\033[31merror\033[0m: Could not get object"), std::string::npos)
        << onTerminal.err;

    const auto noColour = run({"stop", gone}, {{"NO_COLOR", "1"}}, StandardError::Terminal);
    EXPECT_NE(noColour.err.find("warning: VM seems to be already deleted"), std::string::npos) << noColour.err;
    EXPECT_EQ(noColour.err.find('\033'), std::string::npos) << noColour.err;

    EXPECT_EQ(run({"stop", gone}).err.find('\033'), std::string::npos);
}

TEST_F(LogLines, ResultsStayOnStandardOutputAndLogLinesOffIt) {
    const auto result = run({"--verbose", "--json", "memory"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.find("info:"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("info: Get used memory - OK"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace CommandTest
