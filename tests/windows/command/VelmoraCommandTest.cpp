// velmora.exe under Wine: each command's typical use against the simulated host of HyperVSim.dll (the hidden
// --simulated-host), with the output the Linux build gives (its expected files, with the paths normalised);
// against Wine's own WMI, which has no root\virtualization\v2, every command that reaches the host fails
// with exit status 1 and the reason in words.
//
// HyperVSim.dll's host lives in the process that registers it: each run of velmora.exe starts from the
// default host (two switches, no machines). The lifecycle commands on a machine of their own run in the tour.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <regex>

#include "CommandProcess.h"
#include "TestPaths.h"

namespace CommandWineTest {
namespace {

enum class Host { Simulated, Wine };

struct Row {
    Host host;
    std::vector<std::string> arguments;
    int status;
    std::string expected;  // on success the whole standard output (a file of the Linux tests), or a line in it;
                           // on failure the last line of standard error
};

const std::string namespaceMissing =
    "Failed to open namespace, err=-2147217394 (0x8004100E WBEM_E_INVALID_NAMESPACE: invalid namespace (is "
    "Hyper-V installed on this host?))\n";
// Names a machine in the simulated host's namespace, but none that exists. The library's lines carry it in
// Wine's ANSI code page (1252, which has "é"); the command must print it as UTF-8.
const std::string nowhere =
    "\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
    "Name=\"caf\xc3\xa9\"";
const std::string firstMachine =
    "\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
    "Name=\"5653494D-0000-4000-8000-000000000008\"\n";

std::string expectedFile(const std::string& name) {
    return readFile(std::filesystem::path(VelmoraTestPaths::expectedFolder) / name);
}

std::string lastLine(const std::string& text) {
    const auto end = text.size() > 0 && text.back() == '\n' ? text.size() - 1 : text.size();
    const auto start = text.rfind('\n', end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1);
}

// The Linux tour's expected output as the Windows build prints it: on HyperVSim.dll's host, which the
// command cannot look into, so without the pictures of the host after the key steps.
std::string tourOnWindows() {
    std::string tour = expectedFile("tour.txt");
    tour =
        std::regex_replace(tour, std::regex("Hyper-V host in <tour>/host.json."),
                           "Hyper-V host of HyperVSim.dll, with a machine of its own that it deletes at the end.");
    return std::regex_replace(tour, std::regex("\n   The host now:\n(     .*\n)+"), "");
}

class VelmoraExe : public ::testing::Test {
protected:
    // A folder of the test's own, with a name beyond ASCII that the tour's paths must keep; the tour's temporary
    // folder goes there.
    void SetUp() override {
        // Taken once: TMP points into the test's own folder from then on.
        static const auto temporary = std::filesystem::temp_directory_path();
        std::random_device random;
        folder_ = temporary / ("velmora-command-t\xc3\xa9st-" + std::to_string(random() % 1000000));
        std::filesystem::create_directories(folder_);
        SetEnvironmentVariableW(L"TMP", folder_.c_str());
        SetEnvironmentVariableW(L"TEMP", folder_.c_str());
    }
    void TearDown() override {
        // Wine lets go of a finished program's files a moment after its end is signalled.
        std::error_code error;
        for (int attempt = 0; attempt < 50; ++attempt) {
            std::filesystem::remove_all(folder_, error);
            if (!error) break;
            Sleep(100);
        }
        EXPECT_FALSE(error) << error.message();
    }

    Result run(const Row& row) {
        auto arguments = row.arguments;
        if (row.host == Host::Simulated) arguments.insert(arguments.begin(), "--simulated-host");
        return runVelmora(arguments, folder_);
    }

    // The tour's temporary folder by name, and its machine where it is named after that folder.
    std::string masked(const std::string& text) const {
        const std::string folder =
            std::regex_replace(folder_.string(), std::regex("[\\\\^$.|?*+()\\[\\]{}]"), "\\$&");
        return std::regex_replace(text, std::regex(folder + "\\\\?velmora-tour-[A-Za-z0-9]{6}"), "<tour>");
    }

    bool leftFilesBehind() const {
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            if (entry.path().filename().string().starts_with("velmora-tour-")) return true;
        return false;
    }

    std::filesystem::path folder_;
};

TEST_F(VelmoraExe, GivesTheOutputOfTheLinuxBuildAndTheReasonsOfAFailureInWords) {
    for (const Row& row : std::vector<Row>{
             {Host::Simulated, {"switches"}, 0, expectedFile("switches.txt")},
             {Host::Simulated, {"--json", "switches"}, 0, expectedFile("switches.json")},
             {Host::Simulated, {"memory"}, 0, "0 bytes\n"},
             {Host::Simulated, {"list", "--json"}, 0, "{\n  \"machines\": [],\n  \"ok\": true\n}\n"},
             {Host::Simulated,
              {"create", "--name", "web-01", "--memory", "2GB", "--switch", "default switch"},
              0,
              firstMachine},
             {Host::Simulated, {"stop", nowhere}, 0, "Stopped " + nowhere + " (it no longer exists)\n"},
             {Host::Simulated, {"tour"}, 0, tourOnWindows()},
             {Host::Simulated, {"--json", "tour"}, 0, "  \"ok\": true,"},
             {Host::Simulated,
              {"start", nowhere},
              1,
              "velmora: startVM returned false: Could not get object: " + nowhere +
                  ", err=-2147217406 (0x80041002 WBEM_E_NOT_FOUND: not found)\n"},
             {Host::Simulated,
              {"--json", "start", nowhere},
              1,
              "  \"error\": \"startVM returned false: Could not get object: "
              "\\\\\\\\HVSIM01\\\\root\\\\virtualization"
              "\\\\v2:Msvm_ComputerSystem.CreationClassName=\\\"Msvm_ComputerSystem\\\",Name=\\\"caf\xc3\xa9\\\", "
              "err=-2147217406 (0x80041002 WBEM_E_NOT_FOUND: not found)\",\n"},
             {Host::Simulated,
              {"start", "web-01"},
              2,
              "velmora: no machine is named 'web-01'; give a machine's name"},
             {Host::Simulated,
              {"disks", "web-01", "missing.vhdx"},
              2,
              "velmora: images: the image file 'missing.vhdx' does not exist"},
             {Host::Simulated, {"--version"}, 0, "velmora " VELMORA_VERSION "\n"},
             {Host::Simulated,
              {"host", "show"},
              2,
              "velmora: unknown command 'host'; the commands are: list, switches, memory, create, disks, start, "
              "stop, delete, tour, help"},
             {Host::Simulated,
              {"--state", "host.json", "list"},
              2,
              "velmora: The following arguments were not expected: host.json --state"},
             {Host::Wine,
              {"switches"},
              1,
              "velmora: retrieveAvailableNetworkAdapters returned false: " + namespaceMissing},
             {Host::Wine,
              {"create", "--name", "web-01"},
              1,
              "velmora: createVM returned false for 'web-01': " + namespaceMissing},
             {Host::Wine,
              {"list"},
              1,
              "velmora: cannot open Hyper-V's WMI namespace root\\virtualization\\v2: " + namespaceMissing},
             {Host::Wine,
              {"tour"},
              1,
              "velmora: retrieveAvailableNetworkAdapters returned false: " + namespaceMissing},
             {Host::Wine,
              {"--json", "memory"},
              1,
              "  \"error\": \"retrieveUsedMemory returned false: Failed to open namespace, err=-2147217394 "
              "(0x8004100E WBEM_E_INVALID_NAMESPACE: invalid namespace (is Hyper-V installed on this host?))\",\n"},
         }) {
        std::string shown = row.host == Host::Simulated ? "--simulated-host" : "(Wine's WMI)";
        for (const auto& argument : row.arguments) shown += " " + argument;
        SCOPED_TRACE(shown);
        const auto result = run(row);
        EXPECT_EQ(result.status, row.status) << result.err;
        // A JSON document, or a text given whole (ending with its line end), or a part of a line.
        const bool json = row.arguments.front() == "--json" || row.arguments.back() == "--json";
        const std::string& text = row.status == 0 || json ? result.out : result.err;
        if (json || row.expected.back() != '\n') {
            EXPECT_NE(text.find(row.expected), std::string::npos) << text;
        } else if (row.status == 0) {
            EXPECT_EQ(masked(text), row.expected) << result.err;
        } else {
            EXPECT_EQ(lastLine(text), row.expected) << text;
        }
        EXPECT_FALSE(leftFilesBehind());
    }
}

// --help offers what there is on Windows, and neither the simulated host's commands nor the hidden option.
TEST_F(VelmoraExe, HelpOffersNoStateFileNoHostCommandsAndNoTestOption) {
    const auto help = run({Host::Wine, {"--help"}, 0, ""});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("  tour "), std::string::npos) << help.out;
    for (const char* absent : {"--state", "  host ", "--simulated-host", "simulated Hyper-V"})
        EXPECT_EQ(help.out.find(absent), std::string::npos) << absent << "\n" << help.out;
}

}  // namespace
}  // namespace CommandWineTest
