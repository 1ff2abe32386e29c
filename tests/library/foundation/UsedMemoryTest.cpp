// retrieveUsedMemory as a caller sees it: which Msvm_Memory instances count, how their figures are read
// and converted, the lines, and the failures of the walk.
#include <cstdint>
#include <limits>
#include <map>
#include <string>

#include "LibraryTest.h"

namespace VelmoraTest {
namespace {

const wchar_t* const memoryQuery = L"select * from Msvm_Memory";
constexpr std::uint64_t untouched = 0xDEADBEEF;
constexpr std::uint64_t maximum = std::numeric_limits<std::uint64_t>::max();

class UsedMemory : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        HyperVSim::Control::removeAllMemory();
    }
    bool retrieve() { return Velmora::retrieveUsedMemory(captureLog, used_); }
    std::uint64_t used() const { return used_; }
    void resetUsed() { used_ = untouched; }

private:
    std::uint64_t used_ = untouched;
};

void addMemory(HyperVSim::Value name, HyperVSim::Value blockSize, HyperVSim::Value blocks) {
    HyperVSim::Control::addMemory(
        {{L"Name", std::move(name)}, {L"BlockSize", std::move(blockSize)}, {L"NumberOfBlocks", std::move(blocks)}});
}

LogLines counted() {
    return {info("Get 'Name'"), info("Get 'BlockSize'"), info("Get 'NumberOfBlocks'")};
}
LogLines skipped() {
    return {info("Get 'Name'"), info("Skipped. Name != 'Microsoft'")};
}

LogLines withFrame(const LogLines& work) {
    return LogLines{info("Get used memory")} + connectionLines() + work + LogLines{info("Get used memory - OK")};
}

TEST_F(UsedMemory, DefaultHostMemoryIsAllSkipped) {
    HyperVSim::Control::reset();
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(used(), 0u);
    EXPECT_TRUE(sameLines(capturedLines(), withFrame(skipped() + skipped() + skipped())));
}

TEST_F(UsedMemory, NoInstanceGivesZero) {
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(used(), 0u);
    EXPECT_TRUE(sameLines(capturedLines(), withFrame({})));
}

TEST_F(UsedMemory, BlockSizeTimesNumberOfBlocksIsAddedUp) {
    addMemory(L"4764334D-E001-4176-82EE-5594EC9B530E", L"4096", L"262144");
    addMemory(L"second", L"1048576", L"2048");
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(used(), 1073741824u + 2147483648u);
    EXPECT_TRUE(sameLines(capturedLines(), withFrame(counted() + counted())));
}

TEST_F(UsedMemory, NamesContainingMicrosoftAreSkippedCaseSensitively) {
    addMemory(L"Microsoft:4764334E-E001-4176-82EE-5594EC9B530E\\0", L"1", L"1");
    addMemory(L"Microsoft", L"1", L"2");
    addMemory(L"vm of Microsoft", L"1", L"4");
    addMemory(L"microsoft", L"1", L"8");
    addMemory(L"MICROSOFT", L"1", L"16");
    addMemory(L"", L"1", L"32");
    addMemory(HyperVSim::NullString{}, L"1", L"64");
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(used(), 8u + 16u + 32u + 64u);
    EXPECT_TRUE(sameLines(capturedLines(), withFrame(skipped() + skipped() + skipped() + counted() + counted() +
                                                     counted() + counted())));
}

TEST_F(UsedMemory, UnreadableNameCountsAsEmpty) {
    addMemory(std::int32_t{5}, L"2", L"3");
    addMemory(L"failing", L"5", L"7");
    HyperVSim::Fault failing;
    failing.operation = "Get";
    failing.argument = L"Name";
    failing.occurrence = 2;
    failing.result = wbem(WBEM_E_FAILED);
    hostFault(failing);
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(used(), 6u + 35u);
    EXPECT_TRUE(
        sameLines(capturedLines(),
                  withFrame(LogLines{info("Get 'Name'"), error("Invalid type of field, expected string, got 3"),
                                     info("Get 'BlockSize'"), info("Get 'NumberOfBlocks'"), info("Get 'Name'"),
                                     error("Failed to get object field"), info("Get 'BlockSize'"),
                                     info("Get 'NumberOfBlocks'")})));
}

TEST_F(UsedMemory, FiguresAreConvertedByTheCLibraryRulesAndMustBeWhole) {
    struct Case {
        const char* name;
        HyperVSim::Value text;
        bool converts;
        std::uint64_t value;
    };
    const Case cases[] = {
        {"digits", L"4096", true, 4096},
        {"leading blanks", L" \t4096", true, 4096},
        {"plus sign", L"+4096", true, 4096},
        {"minus sign negates modulo 2^64", L"-1", true, maximum},
        {"too large is the largest", L"99999999999999999999999", true, maximum},
        {"zero", L"0", true, 0},
        {"trailing blank", L"4096 ", false, 0},
        {"trailing letters", L"4096kB", false, 0},
        {"hexadecimal", L"0x10", false, 0},
        {"empty", L"", false, 0},
        {"blank only", L" ", false, 0},
        {"sign only", L"-", false, 0},
        {"null string", HyperVSim::NullString{}, false, 0},
        {"VT_NULL", std::monostate{}, false, 0},
        {"integer value", std::int32_t{4096}, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HyperVSim::Control::removeAllMemory();
        addMemory(L"block size", c.text, L"1");
        addMemory(L"number of blocks", L"1", c.text);
        clearCapturedLines();
        resetUsed();
        EXPECT_TRUE(retrieve());
        EXPECT_EQ(used(), c.converts ? c.value * 2 : 0);
        if (c.converts) {
            EXPECT_TRUE(sameLines(capturedLines(), withFrame(counted() + counted())));
        } else {
            const std::size_t lines = capturedLines().size();
            ASSERT_GE(lines, 2u);
            // The type error of a value that is not a string comes before the warning; the warnings and what
            // was (not) read after them are the same for every failing text.
            LogLines tail(capturedLines().begin() + static_cast<long>(connectionLines().size() + 1),
                          capturedLines().end());
            std::erase_if(tail, [](const LogLine& line) { return line.level == Velmora::Error; });
            EXPECT_TRUE(sameLines(tail, {info("Get 'Name'"), info("Get 'BlockSize'"),
                                         warning("Failed to convert block size to integer value."),
                                         info("Get 'Name'"), info("Get 'BlockSize'"), info("Get 'NumberOfBlocks'"),
                                         warning("Failed to convert blocks number to integer value."),
                                         info("Get used memory - OK")}));
        }
    }
}

TEST_F(UsedMemory, ProductAndSumWrapAroundWithoutACheck) {
    addMemory(L"a", L"18446744073709551615", L"2");
    addMemory(L"b", L"9223372036854775808", L"2");
    addMemory(L"c", L"5", L"1");
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(used(), maximum - 1 + 0 + 5);
}

TEST_F(UsedMemory, NextFailureAfterTwoCountedInstancesKeepsTheirSum) {
    addMemory(L"a", L"4096", L"262144");
    addMemory(L"b", L"1", L"10");
    addMemory(L"c", L"1", L"100");
    failHostCall("Next", wbem(WBEM_E_TRANSPORT_FAILURE), memoryQuery, 3);
    EXPECT_FALSE(retrieve());
    EXPECT_EQ(used(), 1073741824u + 10u);
    EXPECT_TRUE(sameLines(capturedLines(),
                          LogLines{info("Get used memory")} + connectionLines() + counted() + counted() +
                              LogLines{error("Query::Next failed, err=" + code(wbem(WBEM_E_TRANSPORT_FAILURE)))}));
}

TEST_F(UsedMemory, NextThatGivesNoObjectFailsTheWalk) {
    addMemory(L"a", L"1", L"3");
    HyperVSim::Fault nullObject;
    nullObject.operation = "Next";
    nullObject.argument = memoryQuery;
    nullObject.occurrence = 2;
    nullObject.kind = HyperVSim::Fault::Kind::NoObject;
    hostFault(nullObject);
    EXPECT_FALSE(retrieve());
    EXPECT_EQ(used(), 3u);
    EXPECT_TRUE(sameLines(capturedLines(), LogLines{info("Get used memory")} + connectionLines() + counted() +
                                               LogLines{error("Query returned null object!")}));
}

TEST_F(UsedMemory, RejectedQueryLeavesTheFigureUntouched) {
    addMemory(L"a", L"1", L"3");
    failHostCall("ExecQuery", wbem(WBEM_E_INVALID_CLASS), memoryQuery);
    EXPECT_FALSE(retrieve());
    EXPECT_EQ(used(), untouched);
    EXPECT_TRUE(
        sameLines(capturedLines(), LogLines{info("Get used memory")} + connectionLines() +
                                       LogLines{error("Query failed, err=" + code(wbem(WBEM_E_INVALID_CLASS)))}));
}

}  // namespace
}  // namespace VelmoraTest
