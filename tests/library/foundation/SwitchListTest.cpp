// retrieveAvailableNetworkAdapters as a caller sees it: the packed list of switch paths and names, its
// limits, the lines, and the failures of the walk.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "LibraryTest.h"

namespace VelmoraTest {
namespace {

const wchar_t* const switchQuery = L"select * from Msvm_VirtualEthernetSwitch";
constexpr wchar_t untouched = L'#';

class SwitchList : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        list_ = std::make_unique<Velmora::NetworksList>();
        std::fill(std::begin(list_->entries), std::end(list_->entries), untouched);
    }

    bool retrieve() { return Velmora::retrieveAvailableNetworkAdapters(captureLog, *list_); }
    const wchar_t* entries() const { return list_->entries; }

    // The strings of the list up to its closing empty string (at most the whole buffer).
    std::vector<std::wstring> values() const {
        std::vector<std::wstring> result;
        std::size_t offset = 0;
        while (offset < Velmora::networksListCapacity && entries()[offset] != L'\0') {
            const wchar_t* start = entries() + offset;
            const std::size_t length = std::wcslen(start);
            result.emplace_back(start, length);
            offset += length + 1;
        }
        return result;
    }

private:
    std::unique_ptr<Velmora::NetworksList> list_;
};

LogLines walkLines(int switches) {
    LogLines lines;
    for (int i = 0; i < switches; ++i) lines = lines + LogLines{info("Get '__Path'"), info("Get 'ElementName'")};
    return lines;
}

LogLines successLines(int switches) {
    return LogLines{info("Get available network adapters")} + connectionLines() + walkLines(switches) +
           LogLines{info("Get available network adapters - OK")};
}

HyperVSim::Fault getFault(const std::wstring& property, unsigned occurrence) {
    HyperVSim::Fault fault;
    fault.operation = "Get";
    fault.argument = property;
    fault.occurrence = occurrence;
    fault.result = wbem(WBEM_E_FAILED);
    return fault;
}

TEST_F(SwitchList, ListsPathAndNameOfEverySwitchClosedByAnEmptyString) {
    EXPECT_TRUE(retrieve());
    const auto switches = HyperVSim::Control::switches();
    ASSERT_EQ(switches.size(), 2u);
    EXPECT_EQ(values(),
              (std::vector<std::wstring>{switches[0].path, switches[0].name, switches[1].path, switches[1].name}));
    const std::size_t end =
        switches[0].path.size() + switches[0].name.size() + switches[1].path.size() + switches[1].name.size() + 4;
    EXPECT_EQ(entries()[end], L'\0');
    EXPECT_EQ(entries()[end + 1], untouched);
    EXPECT_TRUE(sameLines(capturedLines(), successLines(2)));
}

TEST_F(SwitchList, HostWithoutSwitchesGivesAnEmptyList) {
    HyperVSim::Control::removeAllSwitches();
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(entries()[0], L'\0');
    EXPECT_EQ(entries()[1], untouched);
    EXPECT_TRUE(sameLines(capturedLines(), successLines(0)));
}

TEST_F(SwitchList, UnreadableValuesBecomeEmptyStringsInTheirPlace) {
    HyperVSim::Fault wrongType;
    wrongType.operation = "Get";
    wrongType.argument = L"__Path";
    wrongType.occurrence = 2;
    wrongType.kind = HyperVSim::Fault::Kind::DeliverValue;
    wrongType.value = std::int32_t{7};
    hostFault(getFault(L"ElementName", 1));
    hostFault(wrongType);
    EXPECT_TRUE(retrieve());
    const auto switches = HyperVSim::Control::switches();
    const std::size_t firstPath = switches[0].path.size();
    EXPECT_EQ(std::wstring(entries(), firstPath), switches[0].path);
    EXPECT_EQ(entries()[firstPath], L'\0');
    EXPECT_EQ(entries()[firstPath + 1], L'\0');
    EXPECT_EQ(entries()[firstPath + 2], L'\0');
    EXPECT_EQ(std::wstring(entries() + firstPath + 3), switches[1].name);
    EXPECT_TRUE(
        sameLines(capturedLines(),
                  LogLines{info("Get available network adapters")} + connectionLines() +
                      LogLines{info("Get '__Path'"), info("Get 'ElementName'"), error("Failed to get object field"),
                               info("Get '__Path'"), error("Invalid type of field, expected string, got 3"),
                               info("Get 'ElementName'"), info("Get available network adapters - OK")}));
}

TEST_F(SwitchList, NullStringNameIsAnEmptyEntryWithoutALine) {
    HyperVSim::Fault nullName;
    nullName.operation = "Get";
    nullName.argument = L"ElementName";
    nullName.kind = HyperVSim::Fault::Kind::DeliverValue;
    nullName.value = HyperVSim::NullString{};
    hostFault(nullName);
    EXPECT_TRUE(retrieve());
    const auto switches = HyperVSim::Control::switches();
    EXPECT_EQ(entries()[switches[0].path.size() + 1], L'\0');
    EXPECT_EQ(std::wstring(entries() + switches[0].path.size() + 2), switches[1].path);
    EXPECT_TRUE(sameLines(capturedLines(), successLines(2)));
}

TEST_F(SwitchList, FailuresOfTheWalkLeaveTheListUntouched) {
    struct Case {
        const char* name;
        HyperVSim::Fault fault;
        LogLines work;
    };
    HyperVSim::Fault rejected;
    rejected.operation = "ExecQuery";
    rejected.argument = switchQuery;
    rejected.result = wbem(WBEM_E_ACCESS_DENIED);
    HyperVSim::Fault nextFails;
    nextFails.operation = "Next";
    nextFails.argument = switchQuery;
    nextFails.occurrence = 2;
    nextFails.result = wbem(WBEM_E_TRANSPORT_FAILURE);
    HyperVSim::Fault nullObject = nextFails;
    nullObject.kind = HyperVSim::Fault::Kind::NoObject;
    const Case cases[] = {
        {"query rejected", rejected, {error("Query failed, err=" + code(wbem(WBEM_E_ACCESS_DENIED)))}},
        {"Next fails", nextFails,
         walkLines(1) + LogLines{error("Query::Next failed, err=" + code(wbem(WBEM_E_TRANSPORT_FAILURE)))}},
        {"Next gives no object", nullObject, walkLines(1) + LogLines{error("Query returned null object!")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HyperVSim::Control::clearFaults();
        clearCapturedLines();
        hostFault(c.fault);
        EXPECT_FALSE(retrieve());
        EXPECT_EQ(std::count(entries(), entries() + Velmora::networksListCapacity, untouched),
                  static_cast<long>(Velmora::networksListCapacity));
        EXPECT_TRUE(sameLines(capturedLines(),
                              LogLines{info("Get available network adapters")} + connectionLines() + c.work));
        expectNothingLive();
    }
}

// Switch paths all have the same length (the key is a GUID), so a name can be sized to the last character.
class SwitchListBoundary : public SwitchList {
protected:
    void SetUp() override {
        SwitchList::SetUp();
        pathLength_ = HyperVSim::Control::switches().at(0).path.size();
        HyperVSim::Control::removeAllSwitches();
    }
    // A name that makes one pair with its terminators and the closing empty string fill `room` characters.
    std::wstring nameFilling(std::size_t room) const { return std::wstring(room - pathLength_ - 3, L'n'); }
    std::size_t pathLength_ = 0;
};

TEST_F(SwitchListBoundary, PairThatFillsTheBufferExactlyIsCopiedWithItsClosingString) {
    const std::wstring path = HyperVSim::Control::addSwitch(nameFilling(Velmora::networksListCapacity));
    ASSERT_EQ(path.size(), pathLength_);
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(std::wstring(entries()), path);
    EXPECT_EQ(std::wstring(entries() + pathLength_ + 1), nameFilling(Velmora::networksListCapacity));
    EXPECT_EQ(entries()[Velmora::networksListCapacity - 2], L'\0');
    EXPECT_EQ(entries()[Velmora::networksListCapacity - 1], L'\0');
}

TEST_F(SwitchListBoundary, PairOneCharacterTooLongIsLeftOutWithEverythingAfterIt) {
    const std::wstring first = HyperVSim::Control::addSwitch(L"first");
    const std::size_t firstPair = pathLength_ + 1 + 5 + 1;
    HyperVSim::Control::addSwitch(nameFilling(Velmora::networksListCapacity - firstPair) + L"x");
    HyperVSim::Control::addSwitch(L"small");
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(values(), (std::vector<std::wstring>{first, L"first"}));
    EXPECT_EQ(entries()[firstPair], L'\0');
    EXPECT_EQ(entries()[firstPair + 1], untouched);
    EXPECT_TRUE(sameLines(capturedLines(), successLines(3)));
}

TEST_F(SwitchListBoundary, SecondPairThatEndsExactlyAtTheLastCharacterFits) {
    const std::wstring first = HyperVSim::Control::addSwitch(L"first");
    const std::size_t firstPair = pathLength_ + 1 + 5 + 1;
    const std::wstring name = nameFilling(Velmora::networksListCapacity - firstPair);
    const std::wstring second = HyperVSim::Control::addSwitch(name);
    EXPECT_TRUE(retrieve());
    EXPECT_EQ(values(), (std::vector<std::wstring>{first, L"first", second, name}));
    EXPECT_EQ(entries()[Velmora::networksListCapacity - 1], L'\0');
}

}  // namespace
}  // namespace VelmoraTest
