// The host queries as a caller sees them: the packed list of switch paths and names with its limits, the sum
// over the Msvm_Memory instances that count, their lines and what a failed walk leaves in the out-parameter.
#include <limits>
#include <memory>

#include "LibraryTests.h"

namespace VelmoraTest {
namespace {

constexpr wchar_t untouched = L'#';

class SwitchList : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        std::fill(std::begin(list_->entries), std::end(list_->entries), untouched);
    }
    bool retrieve() { return Velmora::retrieveAvailableNetworkAdapters(captureLog, *list_); }
    std::wstring prefix(std::size_t length) const { return std::wstring(list_->entries, length); }

    std::unique_ptr<Velmora::NetworksList> list_ = std::make_unique<Velmora::NetworksList>();
};

std::wstring packed(std::initializer_list<std::wstring> entries) {
    std::wstring text;
    for (const std::wstring& entry : entries) text += entry + L'\0';
    return text + L'\0';
}

TEST_F(SwitchList, ListsPathAndNameOfEverySwitchClosedByAnEmptyString) {
    const auto switches = Control::switches();
    ASSERT_EQ(switches.size(), 2u);
    const std::wstring expected = packed({switches[0].path, switches[0].name, switches[1].path, switches[1].name});
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(prefix(expected.size() + 1), expected + untouched);
    EXPECT_TRUE(sameLines(capturedLines(), switchListLines(2)));
}

// A value that cannot be read as a string is an empty one in its place, after its Error line; a null one is
// empty without a line; a name is read up to an embedded null.
TEST_F(SwitchList, UnreadableValuesBecomeEmptyStringsInTheirPlace) {
    const auto switches = Control::switches();
    const std::string type = "Invalid type of field, expected string, got ";
    const struct {
        Fault fault;
        std::wstring value;
        std::string line;
    } cases[] = {
        {rule("Get", L"ElementName", Fault::Kind::Fail, wbem(WBEM_E_NOT_FOUND)), L"", "Failed to get object field"},
        {delivering(L"ElementName", std::int32_t{5}), L"", type + "3"},
        {delivering(L"ElementName", std::monostate{}), L"", type + "1"},
        {delivering(L"ElementName", true), L"", type + "11"},
        {delivering(L"ElementName", std::vector<std::wstring>{L"a"}), L"", type + "8200"},
        {delivering(L"ElementName", HyperVSim::NullString{}), L"", ""},
        {delivering(L"ElementName", std::wstring(L"ab\0cd", 5)), L"ab", ""},
        {delivering(L"__Path", std::int32_t{7}), L"", type + "3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Control::clearFaults();
        clearCapturedLines();
        Control::injectFault(c.fault);
        const bool path = c.fault.argument == L"__Path";
        EXPECT_TRUE(retrieve());
        const std::wstring expected = packed({path ? c.value : switches[0].path, path ? switches[0].name : c.value,
                                              switches[1].path, switches[1].name});
        EXPECT_EQ(prefix(expected.size()), expected);
        LogLines lines = switchListLines(2);
        if (!c.line.empty()) lines.insert(lines.begin() + connectionLines().size() + (path ? 2 : 3), error(c.line));
        EXPECT_TRUE(sameLines(capturedLines(), lines));
    }
}

// Switch paths have one length (the key is a GUID), so a name can be sized to the last character: a pair that fits
// exactly is copied with the closing string, one a character longer is left out with every pair after it.
TEST_F(SwitchList, PairsAreCopiedAsLongAsTheyFitWithTheClosingString) {
    const std::size_t capacity = Velmora::networksListCapacity, pathLength = switchPaths().at(0).size();
    const auto filling = [&](std::size_t room) { return std::wstring(room - pathLength - 3, L'n'); };
    const std::size_t firstPair = pathLength + 1 + 5 + 1;
    const struct {
        std::vector<std::wstring> names;
        std::size_t listed;  // switches in the list
    } cases[] = {
        {{}, 0},
        {{filling(capacity)}, 1},
        {{L"first", filling(capacity - firstPair)}, 2},
        {{L"first", filling(capacity - firstPair) + L"x", L"small"}, 1},
    };
    for (const auto& c : cases) {
        Control::removeAllSwitches();
        std::vector<std::wstring> expected;
        for (const std::wstring& name : c.names) {
            const std::wstring path = Control::addSwitch(name);
            if (expected.size() < 2 * c.listed) expected.insert(expected.end(), {path, name});
        }
        std::fill(std::begin(list_->entries), std::end(list_->entries), untouched);
        EXPECT_TRUE(retrieve());
        EXPECT_EQ(entriesOf(*list_), expected);
        std::size_t end = 0;
        for (const std::wstring& entry : expected) end += entry.size() + 1;
        EXPECT_EQ(list_->entries[end], L'\0');
        EXPECT_EQ(end + 1 < capacity ? list_->entries[end + 1] : untouched, untouched);
        EXPECT_EQ(capturedLines().back(), info("Get available network adapters - OK"));
    }
}

class UsedMemory : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        Control::removeAllMemory();
    }
    bool retrieve() { return Velmora::retrieveUsedMemory(captureLog, used_); }
    static void add(HyperVSim::Value name, HyperVSim::Value blockSize, HyperVSim::Value blocks) {
        Control::addMemory({{L"Name", std::move(name)},
                            {L"BlockSize", std::move(blockSize)},
                            {L"NumberOfBlocks", std::move(blocks)}});
    }
    static LogLines counted(int times) {
        LogLines lines;
        for (int i = 0; i < times; ++i)
            lines = lines + infos({"Get 'Name'", "Get 'BlockSize'", "Get 'NumberOfBlocks'"});
        return lines;
    }
    static LogLines skipped() { return infos({"Get 'Name'", "Skipped. Name != 'Microsoft'"}); }
    static LogLines whole(const LogLines& work) {
        return frame("Get used memory") + work + LogLines{info("Get used memory - OK")};
    }

    std::uint64_t used_ = 0xDEADBEEF;
};

TEST_F(UsedMemory, BlockSizeTimesNumberOfBlocksIsAddedUpOverNamesWithoutMicrosoft) {
    add(L"4764334D-E001-4176-82EE-5594EC9B530E", L"4096", L"262144");
    add(L"Microsoft:4764334E-E001-4176-82EE-5594EC9B530E\\0", L"1", L"1");
    add(L"Microsoft", L"1", L"2");
    add(L"vm of Microsoft", L"1", L"4");
    add(L"microsoft", L"1048576", L"8");
    add(L"MICROSOFT", L"1", L"16");
    add(L"", L"1", L"32");
    add(HyperVSim::NullString{}, L"1", L"64");
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(used_, 1073741824u + 8388608u + 16u + 32u + 64u);
    EXPECT_TRUE(sameLines(capturedLines(), whole(counted(1) + skipped() + skipped() + skipped() + counted(4))));

    // Product and sum wrap around without a check.
    Control::removeAllMemory();
    add(L"a", L"18446744073709551615", L"2");
    add(L"b", L"9223372036854775808", L"2");
    add(L"c", L"5", L"1");
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(used_, std::numeric_limits<std::uint64_t>::max() - 1 + 0 + 5);
}

TEST_F(UsedMemory, UnreadableNameCountsAsEmpty) {
    add(std::int32_t{5}, L"2", L"3");
    add(L"failing", L"5", L"7");
    Control::injectFault(rule("Get", L"Name", Fault::Kind::Fail, failed, 2));
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(used_, 6u + 35u);
}

TEST_F(UsedMemory, FiguresAreConvertedByTheCLibraryRulesAndMustBeWhole) {
    constexpr std::uint64_t maximum = std::numeric_limits<std::uint64_t>::max();
    const struct {
        HyperVSim::Value text;
        bool converts;
        std::uint64_t value;
    } cases[] = {
        {L"4096", true, 4096},
        {L"-1", true, maximum},  // negated modulo 2^64
        {L"99999999999999999999999", true, maximum},
        {L"0", true, 0},
        {L"4096 ", false, 0},
        {L"4096kB", false, 0},
        {L"0x10", false, 0},
        {L"", false, 0},
        {HyperVSim::NullString{}, false, 0},
        {std::monostate{}, false, 0},
        {std::int32_t{4096}, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text.index()) + " " + std::to_string(c.value));
        Control::removeAllMemory();
        add(L"block size", c.text, L"1");
        add(L"number of blocks", L"1", c.text);
        clearCapturedLines();
        EXPECT_TRUE(retrieve());
        EXPECT_EQ(used_, c.converts ? c.value * 2 : 0);
        // The type error of a value that is not a string comes before the warning, which is the same for
        // every failing text.
        LogLines lines = capturedLines();
        std::erase_if(lines, [](const LogLine& line) { return line.level == Velmora::Error; });
        EXPECT_TRUE(sameLines(
            lines, c.converts
                       ? whole(counted(2))
                       : whole(infos({"Get 'Name'", "Get 'BlockSize'"}) +
                               LogLines{warning("Failed to convert block size to integer value.")} + counted(1) +
                               LogLines{warning("Failed to convert blocks number to integer value.")})));
    }
}

// A failed walk keeps the list untouched and what was summed before it; a rejected query leaves the figure.
TEST_F(UsedMemory, FailuresOfTheWalkOfEitherQuery) {
    const std::wstring switches = L"select * from Msvm_VirtualEthernetSwitch",
                       memory = L"select * from Msvm_Memory";
    const LogLines firstPair = infos({"Get '__Path'", "Get 'ElementName'"});
    const struct {
        Fault fault;
        LogLines work;
        std::uint64_t used;  // for a fault of the memory query
    } cases[] = {
        {rule("ExecQuery", switches, Fault::Kind::Fail, wbem(WBEM_E_ACCESS_DENIED)),
         {error("Query failed, err=-2147217405")}},
        {rule("Next", switches, Fault::Kind::Fail, wbem(WBEM_E_TRANSPORT_FAILURE), 2),
         firstPair + LogLines{error("Query::Next failed, err=-2147217387")}},
        {rule("Next", switches, Fault::Kind::NoObject, 0, 2),
         firstPair + LogLines{error("Query returned null object!")}},
        {rule("ExecQuery", memory, Fault::Kind::Fail, wbem(WBEM_E_INVALID_CLASS)),
         {error("Query failed, err=-2147217392")},
         0xDEADBEEF},
        {rule("Next", memory, Fault::Kind::Fail, wbem(WBEM_E_TRANSPORT_FAILURE), 3),
         counted(2) + LogLines{error("Query::Next failed, err=-2147217387")}, 1073741834u},
        {rule("Next", memory, Fault::Kind::NoObject, 0, 2),
         counted(1) + LogLines{error("Query returned null object!")}, 1073741824u},
    };
    add(L"a", L"4096", L"262144");
    add(L"b", L"1", L"10");
    add(L"c", L"1", L"100");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.work.back().text);
        const bool ofMemory = c.fault.argument == memory;
        Control::clearFaults();
        clearCapturedLines();
        Control::injectFault(c.fault);
        used_ = 0xDEADBEEF;
        auto list = std::make_unique<Velmora::NetworksList>();
        std::fill(std::begin(list->entries), std::end(list->entries), untouched);
        EXPECT_FALSE(ofMemory ? retrieve() : Velmora::retrieveAvailableNetworkAdapters(captureLog, *list));
        EXPECT_EQ(used_, ofMemory ? c.used : 0xDEADBEEF);
        EXPECT_EQ(std::wstring(list->entries, Velmora::networksListCapacity),
                  std::wstring(Velmora::networksListCapacity, untouched));
        EXPECT_TRUE(sameLines(capturedLines(),
                              frame(ofMemory ? "Get used memory" : "Get available network adapters") + c.work));
    }
}

}  // namespace
}  // namespace VelmoraTest
