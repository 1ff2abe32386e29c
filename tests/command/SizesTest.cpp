// Memory sizes as --memory takes them and as the command prints them.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Sizes.h"

using VelmoraCommand::formatSize;
using VelmoraCommand::parseSize;

TEST(Sizes, AcceptWholeNumbersWithOrWithoutABinaryUnit) {
    EXPECT_EQ(parseSize("1073741824").bytes, 1073741824u);
    EXPECT_EQ(parseSize("512B").bytes, 512u);
    EXPECT_EQ(parseSize("4KiB").bytes, 4096u);
    EXPECT_EQ(parseSize("512MiB").bytes, 512ull << 20);
    EXPECT_EQ(parseSize("2GiB").bytes, 2ull << 30);
    EXPECT_EQ(parseSize("2 GiB").bytes, 2ull << 30);
    EXPECT_EQ(parseSize("2gib").bytes, 2ull << 30);
    // As PowerShell reads them: binary units.
    EXPECT_EQ(parseSize("2GB").bytes, 2ull << 30);
    EXPECT_EQ(parseSize("2G").bytes, 2ull << 30);
    EXPECT_EQ(parseSize("512 MB").bytes, 512ull << 20);
    EXPECT_EQ(parseSize("512m").bytes, 512ull << 20);
    EXPECT_EQ(parseSize("4KB").bytes, 4096u);
    EXPECT_EQ(parseSize("4k").bytes, 4096u);
    EXPECT_EQ(parseSize("18446744073709551615").bytes, UINT64_MAX);
}

TEST(Sizes, RefuseWhatLeavesTheByteCountInDoubt) {
    for (const char* text : {"", "GiB", "2TB", "2XB", "1.5GiB", "0,5G", "-1", "+1", " 1", "1  GiB", "1GiB ", "0",
                             "0GiB", "18446744073709551616", "17179869184GiB", "2 GiBs"}) {
        const auto size = parseSize(text);
        EXPECT_FALSE(size.bytes) << text;
        EXPECT_NE(size.error.find("is not a size"), std::string::npos) << text;
    }
    EXPECT_NE(parseSize("2XB").error.find("the unit must be B, KiB, MiB or GiB"), std::string::npos);
    // A fraction is wrong for its number, not its unit; the exact size in a smaller unit is offered.
    EXPECT_EQ(parseSize("1.5GiB").error, "'1.5GiB' is not a size: the number must be whole (1.5 GiB is 1536MiB)");
    EXPECT_EQ(parseSize("0,5 G").error, "'0,5 G' is not a size: the number must be whole (0.5 GiB is 512MiB)");
    EXPECT_EQ(parseSize("1.3B").error, "'1.3B' is not a size: the number must be whole");
    EXPECT_NE(parseSize("0").error.find("zero"), std::string::npos);
    EXPECT_NE(parseSize("17179869184GiB").error.find("too large"), std::string::npos);
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

TEST(Sizes, DescribeShowsTheExactByteCount) {
    EXPECT_EQ(VelmoraCommand::describeSize(1ull << 30), "1 GiB (1073741824 bytes)");
    EXPECT_EQ(VelmoraCommand::describeSize(1000), "1000 bytes");
    EXPECT_EQ(VelmoraCommand::describeSize(0), "0 bytes");
}
