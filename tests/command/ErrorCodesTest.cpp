// The meaning the command gives the code in a library's error line.
#include <gtest/gtest.h>

#include "ErrorCodes.h"

TEST(ErrorCodes, TheCodeOfALineIsExplainedWhenTheTablesKnowIt) {
    const std::vector<std::pair<std::string, std::string>> rows{
        {R"(Could not get object: \\H\root:Msvm_ComputerSystem.Name="7", err=-2147217406)",
         "0x80041002 WBEM_E_NOT_FOUND: not found"},
        {"Call failed, err= -2147217394",
         "0x8004100E WBEM_E_INVALID_NAMESPACE: invalid namespace (is Hyper-V "
         "installed on this host?)"},
        {"Failed to initialize COM library. Error: -2147417850",
         "0x80010106 RPC_E_CHANGED_MODE: the thread's COM apartment was set up differently"},
        {"DestroySystem returned 32775", "32775: invalid state for this operation"},
        {"RequestStateChange failed, ReturnValue=32773", "32773: invalid parameter"},
        {"Could not connect, err=-1", ""},
        {"Query returned no objects!", ""},
        {"Invalid type of field, expected string, got 3", ""},
    };
    for (const auto& [line, meaning] : rows)
        EXPECT_EQ(VelmoraCommand::meaningOfLine(line).value_or(""), meaning) << line;
}
