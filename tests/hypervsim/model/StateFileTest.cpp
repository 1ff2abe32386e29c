// The state file the command's processes share: a host saved whole and read back the same, changes written
// before the call returns, processes sharing one file without losing changes, and files that cannot be read
// refused and left as they are.
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <nlohmann/json.hpp>

#include "HostClient.h"

namespace HyperVSimTest {
namespace {

namespace fs = std::filesystem;

class StateFileTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        folder = fs::temp_directory_path() / ("hypervsim-state-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        path = (folder / "host.json").string();
    }
    void TearDown() override {
        Control::closeStateFile();
        fs::remove_all(folder);
        HostTest::TearDown();
    }
    std::string content() const {
        std::ostringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }
    // Runs `work` in a child process with the state file open; true when it ended well.
    template <class Work>
    pid_t inChild(Work work) {
        const pid_t child = ::fork();
        if (child != 0) return child;
        try {
            Control::openStateFile(path);
            work();
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    static bool endedWell(pid_t child) {
        int status = 0;
        return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    fs::path folder;
    std::string path;
};

TEST_F(StateFileTest, AReopenedFileGivesBackTheSameHostAndEveryChangeLandsBeforeTheCallReturns) {
    Control::openStateFile(path);
    const std::wstring machine = defineMachine(L"kept", 1);
    auto adapter = defaultTemplate(L"Msvm_SyntheticEthernetPortSettingData", L"Synthetic Ethernet Port");
    put(adapter.get(), L"VirtualSystemIdentifiers",
        std::vector<std::wstring>{L"{11111111-2222-3333-4444-555555555555}"});
    put(adapter.get(), L"StaticMacAddress", true);
    added(addResource(settingsOf(machine), {xml(adapter.get())}));
    ASSERT_EQ(requestState(machine, 2).returnValue(), 4096);
    Control::addMemory({{L"Name", std::wstring(L"Extra")},
                        {L"BlockSize", std::int32_t{4096}},
                        {L"NumberOfBlocks", HyperVSim::NullString{}}});
    Control::setDefaultTemplateFirst(false);
    const std::wstring checkpoint = Control::addCheckpoint(machine);
    const auto saved = nlohmann::json::parse(content());
    EXPECT_EQ(saved.at("version"), 1);
    std::size_t machineMemory = 0;
    for (const auto& instance : saved.at("instances"))
        machineMemory +=
            instance.at("class") == "Msvm_Memory" && instance.at("values").at("SystemName") != "HVSIM01";
    EXPECT_EQ(machineMemory, 1u);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
    const auto before = Control::machine(machine);
    const std::wstring textBefore = xml(object(machine).get());
    Control::closeStateFile();

    Control::reset();
    ASSERT_TRUE(Control::machines().empty());
    Control::openStateFile(path);
    const auto after = Control::machine(machine);
    ASSERT_TRUE(after && before);
    EXPECT_EQ(std::tie(after->name, after->generation, after->enabledState),
              std::tie(before->name, before->generation, before->enabledState));
    EXPECT_EQ(after->controllers.size(), 2u);
    ASSERT_EQ(after->adapters.size(), 1u);
    EXPECT_EQ(after->adapters[0].identifiers, before->adapters[0].identifiers);
    EXPECT_TRUE(after->adapters[0].staticMacAddress);
    EXPECT_EQ(xml(object(machine).get()), textBefore);
    // Raw values keep their VARIANT types; the checkpoint, the template order and the GUID counter go on.
    auto extra = query(L"select * from Msvm_Memory where Name = 'Extra'");
    ASSERT_EQ(extra.size(), 1u);
    EXPECT_EQ(get(extra[0].get(), L"BlockSize"), Value(std::int32_t{4096}));
    EXPECT_EQ(get(extra[0].get(), L"NumberOfBlocks"), Value(HyperVSim::NullString{}));
    EXPECT_EQ(text(associated(machine, L"Msvm_VirtualSystemSettingData").at(0).get(), L"__PATH"), checkpoint);
    auto pools = query(L"select * from Msvm_AllocationCapabilities");
    auto links = query(L"references of {" + text(pools.at(0).get(), L"__PATH") +
                       L"} where ResultClass = Msvm_SettingsDefineCapabilities");
    EXPECT_NE(number(links.at(0).get(), L"ValueRole"), 0);
    EXPECT_NE(text(object(defineMachine(L"next", 2)).get(), L"Name"), text(object(machine).get(), L"Name"));
}

TEST_F(StateFileTest, ProcessesSharingTheFileLoseNoChange) {
    Control::openStateFile(path);  // a change by another process is seen at the next call
    ASSERT_TRUE(endedWell(inChild([] { Control::defineMachine(L"child", 2); })));
    EXPECT_EQ(query(L"select * from Msvm_ComputerSystem where ElementName = 'child'").size(), 1u);
    Control::closeStateFile();
    // Each switch takes a GUID from the shared counter: a change made on a stale host would reuse one.
    std::vector<pid_t> children;
    for (int process = 0; process < 4; ++process)
        children.push_back(inChild([process] {
            for (int change = 0; change < 25; ++change)
                Control::addSwitch(L"p" + std::to_wstring(process) + L"-" + std::to_wstring(change));
        }));
    for (const pid_t child : children) EXPECT_TRUE(endedWell(child));
    Control::openStateFile(path);
    std::set<std::wstring> paths;
    for (const auto& view : Control::switches()) paths.insert(view.path);
    EXPECT_EQ(paths.size(), 102u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);  // the state, its lock
}

TEST_F(StateFileTest, UnreadableFilesAreRefusedAndLeftAsTheyAre) {
    Control::openStateFile(path);
    Control::closeStateFile();
    const std::string valid = content();
    const auto edited = [&](const char* property, const nlohmann::json& value, bool inInstance = true) {
        auto document = nlohmann::json::parse(valid);
        (inInstance ? document["instances"][0]["values"] : document)[property] = value;
        return document.dump();
    };
    auto unknownClass = nlohmann::json::parse(valid);
    unknownClass["instances"][0]["class"] = "Msvm_Unheard";
    const std::pair<std::string, std::string> refused[] = {
        {edited("version", 2, false), "format version 2, newer than version 1"},
        {unknownClass.dump(), "the class 'Msvm_Unheard' does not exist"},
        {edited("EnabledState", "on"), "Msvm_ComputerSystem.EnabledState is not a valid uint16"},
        {edited("EnabledState", 70000), "Msvm_ComputerSystem.EnabledState is not a valid uint16"},
        {edited("Colour", "blue"), "has no property 'Colour'"}};
    for (const auto& [text, problem] : refused) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        try {
            Control::openStateFile(path);
            ADD_FAILURE() << "opened: " << text;
        } catch (const HyperVSim::StateFileError& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(problem), std::string::npos) << error.what();
        }
        Control::defineMachine(L"not saved", 1);
        EXPECT_EQ(content(), text);
    }

    // A file damaged while open stops changes without being overwritten.
    Control::openStateFile(path + ".2");
    path += ".2";
    const std::string damaged = "{\"format\": \"HyperVSim host state\", \"version\": 1, \"instances\": [";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
    EXPECT_THROW(Control::defineMachine(L"lost", 1), HyperVSim::StateFileError);
    EXPECT_THROW(Control::machines(), HyperVSim::StateFileError);
    EXPECT_EQ(content(), damaged);
}

}  // namespace
}  // namespace HyperVSimTest
