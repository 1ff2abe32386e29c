// Reading the packed switch list of retrieveAvailableNetworkAdapters and resolving --switch arguments.
#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "BadInput.h"
#include "Switches.h"

using VelmoraCommand::BadInput;
using VelmoraCommand::parseNetworksList;
using VelmoraCommand::resolveSwitches;
using VelmoraCommand::Switch;

namespace {

const std::string defaultPath =
    R"(\\HV\root\virtualization\v2:Msvm_VirtualEthernetSwitch.CreationClassName="Msvm_VirtualEthernetSwitch",Name="A")";
const std::string externalPath =
    R"(\\HV\root\virtualization\v2:Msvm_VirtualEthernetSwitch.CreationClassName="Msvm_VirtualEthernetSwitch",Name="B")";

// Writes the strings one after another, each with its terminator, as the library packs them.
std::unique_ptr<Velmora::NetworksList> packed(const std::vector<std::wstring>& strings) {
    auto list = std::make_unique<Velmora::NetworksList>();
    std::wmemset(list->entries, L'x', Velmora::networksListCapacity);
    std::size_t pos = 0;
    for (const auto& s : strings) {
        std::wmemcpy(list->entries + pos, s.c_str(), s.size() + 1);
        pos += s.size() + 1;
    }
    return list;
}

std::string messageOf(const std::vector<std::string>& arguments, const std::vector<Switch>& available) {
    try {
        resolveSwitches(arguments, available);
    } catch (const BadInput& e) {
        return e.what();
    }
    return "(accepted)";
}

}  // namespace

TEST(SwitchList, ReadsPairsUpToTheClosingEmptyString) {
    const auto list = packed({L"p1", L"Default Switch", L"p2", L"Ext\u00e9rieur", L""});
    const auto switches = parseNetworksList(*list);
    ASSERT_EQ(switches.size(), 2u);
    EXPECT_EQ(switches[0].path, "p1");
    EXPECT_EQ(switches[0].name, "Default Switch");
    EXPECT_EQ(switches[1].path, "p2");
    EXPECT_EQ(switches[1].name, "Ext\xc3\xa9rieur");
}

TEST(SwitchList, KeepsAnUnreadableNameAsAnEmptyOne) {
    const auto list = packed({L"p1", L"", L"p2", L"second", L""});
    const auto switches = parseNetworksList(*list);
    ASSERT_EQ(switches.size(), 2u);
    EXPECT_EQ(switches[0].name, "");
    EXPECT_EQ(switches[1].path, "p2");
}

TEST(SwitchList, StopsAtTheEndOfAFullBufferWithoutReadingPastIt) {
    // The library leaves out the closing empty string when the last terminator lands on the last character,
    // and may cut a pair after its path.
    const std::wstring longName(Velmora::networksListCapacity - 7, L'n');
    const auto full = packed({L"p1", longName, L"p2"});
    const auto switches = parseNetworksList(*full);
    ASSERT_EQ(switches.size(), 2u);
    EXPECT_EQ(switches[0].name.size(), longName.size());
    EXPECT_EQ(switches[1].path, "p2");
    EXPECT_EQ(switches[1].name, "");

    auto unterminated = packed({});  // no terminator anywhere: nothing can be read
    EXPECT_TRUE(parseNetworksList(*unterminated).empty());
}

TEST(SwitchList, AnEmptyListHasNoSwitches) {
    EXPECT_TRUE(parseNetworksList(*packed({L""})).empty());
}

TEST(SwitchResolution, NamesMatchWithoutRegardToCaseAndPathsPassUnchanged) {
    const std::vector<Switch> available{{defaultPath, "Default Switch"}, {externalPath, "External Switch"}};
    const std::string relativePath = R"(Msvm_VirtualEthernetSwitch.CreationClassName="x",Name="unknown")";
    EXPECT_EQ(resolveSwitches({"default SWITCH", "External Switch", externalPath, relativePath}, available),
              (std::vector<std::string>{defaultPath, externalPath, externalPath, relativePath}));
    EXPECT_TRUE(resolveSwitches({}, available).empty());
}

TEST(SwitchResolution, AnUnknownNameIsRefusedWithTheHostsSwitches) {
    const std::vector<Switch> available{{defaultPath, "Default Switch"}, {externalPath, "External Switch"}};
    const auto message = messageOf({"Default Switch", "Internal"}, available);
    EXPECT_NE(message.find("no virtual switch is named 'Internal'"), std::string::npos) << message;
    EXPECT_NE(message.find("Default Switch   " + defaultPath), std::string::npos) << message;
    EXPECT_NE(message.find("External Switch  " + externalPath), std::string::npos) << message;
    EXPECT_NE(messageOf({"Default"}, {}).find("the host has no virtual switch"), std::string::npos);
    // A part of a name is not the name.
    EXPECT_NE(messageOf({"Default"}, available), "(accepted)");
}

TEST(SwitchResolution, AnAmbiguousNameIsRefusedWithTheCandidatesOnly) {
    const std::vector<Switch> available{
        {defaultPath, "Default Switch"}, {externalPath, "default switch"}, {"p3", "External Switch"}};
    const auto message = messageOf({"Default Switch"}, available);
    EXPECT_NE(message.find("ambiguous"), std::string::npos) << message;
    EXPECT_NE(message.find(defaultPath), std::string::npos) << message;
    EXPECT_NE(message.find(externalPath), std::string::npos) << message;
    EXPECT_EQ(message.find("p3"), std::string::npos) << message;
}
