// The state file: a host saved whole and read back, changes written before the call returns, processes
// sharing one file without losing changes, and files that cannot be read left as they are.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "ModelClient.h"

namespace HyperVSimTest {
namespace {

namespace fs = std::filesystem;
using HyperVSim::Control;

class StateFileTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        folder = fs::temp_directory_path() / ("hypervsim-state-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        path = (folder / "host.json").string();
    }
    void TearDown() override {
        Control::closeStateFile();
        fs::remove_all(folder);
        ModelTest::TearDown();
    }

    std::string content() const {
        std::ifstream input(path, std::ios::binary);
        std::ostringstream text;
        text << input.rdbuf();
        return text.str();
    }
    void write(const std::string& text) const { std::ofstream(path, std::ios::binary | std::ios::trunc) << text; }
    nlohmann::json document() const { return nlohmann::json::parse(content()); }

    // Every instance of a class in the file, by ElementName.
    std::vector<std::string> namesInFile(const std::string& className) const {
        std::vector<std::string> names;
        const auto saved = document();
        for (const auto& instance : saved.at("instances"))
            if (instance.at("class") == className)
                names.push_back(instance.at("values").at("ElementName").get<std::string>());
        return names;
    }

    // Runs `work` in a child process that has the state file open; true when it ended normally.
    template <class F>
    pid_t inChild(F work) {
        const pid_t child = ::fork();
        if (child == 0) {
            int code = 0;
            try {
                Control::openStateFile(path);
                work();
            } catch (...) {
                code = 1;
            }
            ::_exit(code);
        }
        return child;
    }
    static bool endedWell(pid_t child) {
        int status = 0;
        return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    void expectRefused(const std::string& text, const std::string& problem) {
        write(text);
        try {
            Control::openStateFile(path);
            ADD_FAILURE() << "opened: " << text;
        } catch (const HyperVSim::StateFileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            EXPECT_NE(message.find(problem), std::string::npos) << message;
        }
        Control::defineMachine(L"not saved", 1);
        EXPECT_EQ(content(), text);
    }

    fs::path folder;
    std::string path;
};

TEST_F(StateFileTest, AMissingFileIsMadeFromTheHostAndEveryChangeLandsBeforeTheCallReturns) {
    Control::openStateFile(path);
    const auto initial = document();
    EXPECT_EQ(initial.at("version"), 1);
    EXPECT_EQ(namesInFile("Msvm_VirtualEthernetSwitch"),
              (std::vector<std::string>{"Default Switch", "External Switch"}));

    const std::wstring machine = defineMachine(L"saved", 2);
    EXPECT_EQ(namesInFile("Msvm_ComputerSystem"), (std::vector<std::string>{"HVSIM01", "saved"}));
    ASSERT_EQ(requestState(machine, 2).returnValue(), 4096);
    std::size_t running = 0;
    const auto saved = document();
    for (const auto& instance : saved.at("instances"))
        if (instance.at("class") == "Msvm_Memory" && instance.at("values").at("SystemName") != "HVSIM01") ++running;
    EXPECT_EQ(running, 1u);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
}

TEST_F(StateFileTest, AReopenedFileGivesBackTheSameHost) {
    Control::openStateFile(path);
    const std::wstring machine = defineMachine(L"kept", 1);
    const std::wstring settings = settingsPathOf(machine);
    auto adapterTemplate = defaultTemplate(L"Msvm_SyntheticEthernetPortSettingData", L"Synthetic Ethernet Port");
    put(adapterTemplate.get(), L"VirtualSystemIdentifiers",
        Var::texts({L"{11111111-2222-3333-4444-555555555555}"}));
    put(adapterTemplate.get(), L"StaticMacAddress", Var::boolean(true));
    added(addResource(settings, adapterTemplate.get()));
    Control::addMemory({{L"Name", std::wstring(L"Extra")},
                        {L"BlockSize", std::int32_t{4096}},
                        {L"NumberOfBlocks", HyperVSim::NullString{}}});
    Control::setDefaultTemplateFirst(false);
    const std::wstring checkpoint = Control::addCheckpoint(machine);
    const auto before = Control::machine(machine);
    const std::wstring textBefore = embeddedText(object(machine).get());
    Control::closeStateFile();

    Control::reset();
    ASSERT_TRUE(Control::machines().empty());
    Control::openStateFile(path);
    const auto after = Control::machine(machine);
    ASSERT_TRUE(after && before);
    EXPECT_EQ(after->name, before->name);
    EXPECT_EQ(after->generation, 1);
    EXPECT_EQ(after->controllers.size(), 2u);
    ASSERT_EQ(after->adapters.size(), 1u);
    EXPECT_EQ(after->adapters[0].identifiers, before->adapters[0].identifiers);
    EXPECT_TRUE(after->adapters[0].staticMacAddress);
    EXPECT_EQ(embeddedText(object(machine).get()), textBefore);

    // Raw values keep their VARIANT types.
    auto extra = queryAll(services.get(), L"select * from Msvm_Memory where Name = 'Extra'");
    ASSERT_EQ(extra.size(), 1u);
    EXPECT_EQ(typeOf(extra[0].get(), L"BlockSize"), VT_I4);
    EXPECT_EQ(typeOf(extra[0].get(), L"NumberOfBlocks"), VT_BSTR);
    // The checkpoint still comes before the machine's own settings; the template order and the GUID counter
    // go on where they were.
    EXPECT_EQ(text(associated(machine, L"Msvm_VirtualSystemSettingData").at(0).get(), L"__PATH"), checkpoint);
    auto pools = queryAll(services.get(), L"select * from Msvm_AllocationCapabilities");
    auto links = queryAll(services.get(), L"references of {" + text(pools[0].get(), L"__PATH") +
                                              L"} where ResultClass = Msvm_SettingsDefineCapabilities");
    EXPECT_NE(i4(links.at(0).get(), L"ValueRole"), 0);
    const std::wstring next = defineMachine(L"next", 2);
    EXPECT_NE(text(object(next).get(), L"Name"), text(object(machine).get(), L"Name"));
}

TEST_F(StateFileTest, AChangeMadeByAnotherProcessIsSeenAtTheNextCall) {
    Control::openStateFile(path);
    defineMachine(L"parent", 1);
    ASSERT_TRUE(endedWell(inChild([] { Control::defineMachine(L"child", 2); })));
    auto machines = Control::machines();
    ASSERT_EQ(machines.size(), 2u);
    EXPECT_EQ(machines[1].name, L"child");
    EXPECT_NE(machines[0].id, machines[1].id);
    EXPECT_EQ(queryAll(services.get(), L"select * from Msvm_ComputerSystem where ElementName = 'child'").size(),
              1u);
}

TEST_F(StateFileTest, FourProcessesOfTwentyFiveChangesLoseNone) {
    Control::openStateFile(path);
    Control::closeStateFile();
    // Each switch takes a GUID from the shared counter: a change made on a stale host would reuse one and
    // replace another process's switch.
    std::vector<pid_t> children;
    for (int process = 0; process < 4; ++process)
        children.push_back(inChild([process] {
            for (int change = 0; change < 25; ++change)
                Control::addSwitch(L"p" + std::to_wstring(process) + L"-" + std::to_wstring(change));
        }));
    for (const pid_t child : children) EXPECT_TRUE(endedWell(child));

    ASSERT_NO_THROW(document());
    Control::openStateFile(path);
    std::set<std::wstring> names, paths;
    for (const auto& view : Control::switches()) {
        names.insert(view.name);
        paths.insert(view.path);
    }
    EXPECT_EQ(paths.size(), 102u);
    for (int process = 0; process < 4; ++process)
        for (int change = 0; change < 25; ++change)
            EXPECT_TRUE(names.count(L"p" + std::to_wstring(process) + L"-" + std::to_wstring(change)));
    const auto files = std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    EXPECT_EQ(files, 2);  // the state and its lock: no temporary file is left behind
}

TEST_F(StateFileTest, UnreadableFilesAreRefusedAndLeftAsTheyAre) {
    Control::openStateFile(path);
    Control::closeStateFile();
    const std::string valid = content();
    auto withVersion = document();
    withVersion["version"] = 2;
    auto unknownClass = document();
    unknownClass["instances"][0]["class"] = "Msvm_Unheard";
    auto wrongType = document();
    wrongType["instances"][0]["values"]["EnabledState"] = "on";
    auto badValue = document();
    badValue["instances"][0]["values"]["EnabledState"] = 70000;
    auto unknownProperty = document();
    unknownProperty["instances"][0]["values"]["Colour"] = "blue";

    expectRefused("", "is empty");
    expectRefused(valid.substr(0, valid.size() / 2), "is not valid JSON");
    expectRefused("{\"format\": \"something else\"}", "is not a simulated host state file");
    expectRefused(withVersion.dump(), "format version 2, newer than version 1");
    expectRefused(unknownClass.dump(), "the class 'Msvm_Unheard' does not exist");
    expectRefused(wrongType.dump(), "Msvm_ComputerSystem.EnabledState is not a valid uint16");
    expectRefused(badValue.dump(), "Msvm_ComputerSystem.EnabledState is not a valid uint16");
    expectRefused(unknownProperty.dump(), "has no property 'Colour'");
}

TEST_F(StateFileTest, AFileDamagedWhileOpenStopsChangesWithoutBeingOverwritten) {
    Control::openStateFile(path);
    defineMachine(L"before", 1);
    const std::string damaged = "{\"format\": \"HyperVSim host state\", \"version\": 1, \"instances\": [";
    write(damaged);
    EXPECT_THROW(Control::defineMachine(L"lost", 1), HyperVSim::StateFileError);
    EXPECT_THROW(Control::machines(), HyperVSim::StateFileError);
    EXPECT_EQ(content(), damaged);
}

}  // namespace
}  // namespace HyperVSimTest
