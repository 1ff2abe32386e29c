// The command's pieces that need no command line: memory sizes, the meaning of error codes, the packed switch
// list of retrieveAvailableNetworkAdapters and the resolution of --switch arguments.
#include <gmock/gmock.h>

#include <cwchar>

#include "BadInput.h"
#include "ErrorCodes.h"
#include "Sizes.h"
#include "Switches.h"

namespace VelmoraCommand {
namespace {

using testing::HasSubstr;

TEST(Sizes, AcceptWholeNumbersWithABinaryUnitAsPowerShellReadsThem) {
    // clang-format off
    for (const auto& [text, bytes] : std::vector<std::pair<const char*, std::uint64_t>>{
             {"1073741824", 1ull << 30}, {"512B", 512}, {"4KiB", 4096}, {"512MiB", 512ull << 20}, {"2 GiB", 2ull << 30},
             {"2gib", 2ull << 30}, {"2GB", 2ull << 30}, {"2G", 2ull << 30}, {"512 MB", 512ull << 20},
             {"512m", 512ull << 20}, {"4KB", 4096}, {"4k", 4096}, {"18446744073709551615", UINT64_MAX}})
        // clang-format on
        EXPECT_EQ(parseSize(text).bytes, bytes) << text;
}

TEST(Sizes, RefuseWhatLeavesTheByteCountInDoubtAndSayWhy) {
    for (const std::string text :
         {"", "GiB", "2TB", "-1", "+1", " 1", "1  GiB", "1GiB ", "0GiB", "18446744073709551616", "2 GiBs"}) {
        EXPECT_FALSE(parseSize(text).bytes) << text;
        EXPECT_EQ(parseSize(text).error.find("'" + text + "' is not a size: "), 0u) << parseSize(text).error;
    }
    for (const auto& [text, error] : std::vector<std::pair<std::string, std::string>>{
             {"2XB", "the unit must be B, KiB, MiB or GiB"},
             {"1.5GiB", "the number must be whole (1.5 GiB is 1536MiB)"},
             {"0,5 G", "the number must be whole (0.5 GiB is 512MiB)"},
             {"1.3B", "the number must be whole"},
             {"0", "it is zero"},
             {"17179869184GiB", "it is too large"}}) {
        EXPECT_FALSE(parseSize(text).bytes) << text;
        EXPECT_EQ(parseSize(text).error.find("'" + text + "' is not a size: " + error), 0u)
            << parseSize(text).error;
    }
    EXPECT_EQ(parseSize("1.3B").error, "'1.3B' is not a size: the number must be whole");
}

TEST(Sizes, PrintInTheLargestExactUnitSoThatTheTextParsesBack) {
    EXPECT_EQ(formatSize(2ull << 30), "2 GiB");
    EXPECT_EQ(formatSize(1536ull << 20), "1536 MiB");
    EXPECT_EQ(formatSize(1025), "1025 B");
    EXPECT_EQ(formatSize(0), "0 B");
    for (std::uint64_t bytes :
         std::vector<std::uint64_t>{1, 1000, 4096, 3ull << 20, (1ull << 30) + 1024, UINT64_MAX})
        EXPECT_EQ(parseSize(formatSize(bytes)).bytes, bytes) << bytes;
}

TEST(ErrorCodes, TheCodeOfALineIsExplainedWhenTheTablesKnowIt) {
    // clang-format off
    for (const auto& [line, meaning] : std::vector<std::pair<std::string, std::string>>{
             {R"(Could not get object: \\H\root:Msvm_ComputerSystem.Name="7", err=-2147217406)", "0x80041002 WBEM_E_NOT_FOUND: not found"},
             {"Call failed, err= -2147217394", "0x8004100E WBEM_E_INVALID_NAMESPACE: invalid namespace (is Hyper-V installed on this host?)"},
             {"Failed to initialize COM library. Error: -2147417850", "0x80010106 RPC_E_CHANGED_MODE: the thread's COM apartment was set up differently"},
             {"DestroySystem returned 32775", "32775: invalid state for this operation"},
             {"RequestStateChange failed, ReturnValue=32773", "32773: invalid parameter"},
             {"Could not connect, err=-1", ""}, {"Query returned no objects!", ""},
             {"Invalid type of field, expected string, got 3", ""}})
        // clang-format on
        EXPECT_EQ(meaningOfLine(line).value_or(""), meaning) << line;
}

TEST(SwitchList, ReadsPairsUpToTheClosingEmptyStringOrTheEndOfTheBuffer) {
    // The library leaves out the closing empty string when the last terminator lands on the last character,
    // and may cut a pair after its path.
    const std::wstring longName(Velmora::networksListCapacity - 7, L'n');
    const std::string longNarrow(longName.size(), 'n');
    for (const auto& [strings, expected] : std::vector<std::pair<std::vector<std::wstring>, std::string>>{
             {{L"p1", L"Default Switch", L"p2", L"Ext\u00e9rieur", L""},
              "(p1|Default Switch)(p2|Ext\xc3\xa9rieur)"},
             {{L"p1", L"", L"p2", L"second", L""}, "(p1|)(p2|second)"},
             {{L"p1", longName, L"p2"}, "(p1|" + longNarrow + ")(p2|)"},
             {{L""}, ""},
             {{}, ""}}) {
        // The strings one after another, each with its terminator, as the library packs them; the rest of the
        // buffer is 'x', so that a read past the end shows.
        auto list = std::make_unique<Velmora::NetworksList>();
        std::wmemset(list->entries, L'x', Velmora::networksListCapacity);
        for (std::size_t pos = 0; const auto& s : strings) {
            std::wmemcpy(list->entries + pos, s.c_str(), s.size() + 1);
            pos += s.size() + 1;
        }
        std::string pairs;
        for (const auto& s : parseNetworksList(*list)) pairs += "(" + s.path + "|" + s.name + ")";
        EXPECT_EQ(pairs, expected) << expected.substr(0, 40);
    }
}

// Unknown and ambiguous names are refused through the command (RefusalsTest.cpp); a host without switches
// cannot be made there.
TEST(SwitchResolution, ANameOnAHostWithoutSwitchesIsRefusedWithThatReason) {
    try {
        resolveSwitches({"Default"}, {});
        ADD_FAILURE() << "accepted";
    } catch (const BadInput& e) {
        EXPECT_THAT(std::string(e.what()), HasSubstr("the host has no virtual switch"));
    }
}

}  // namespace
}  // namespace VelmoraCommand
