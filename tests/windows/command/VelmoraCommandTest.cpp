// velmora.exe under Wine: each command's typical use against the simulated host of HyperVSim.dll (the hidden
// --simulated-host), with the output the Linux build gives (its expected files, with the paths normalised);
// against Wine's own WMI, which has no root\virtualization\v2, every command that reaches the host fails
// with exit status 1 and the reason in words.
//
// HyperVSim.dll's host lives in the process that registers it: each run of velmora.exe starts from the
// default host (two switches, no machines). The lifecycle commands on a machine of their own run in the tour.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>

namespace CommandWineTest {
namespace {

struct Result {
    int status = -1;  // exit status, or -1 when the program could not be started
    std::string out, err;
};

std::wstring wide(const std::string& utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
    return text;
}

// One argument as CommandLineToArgvW reads it back: quoted, with the backslashes before a quote doubled.
std::wstring quoted(const std::wstring& argument) {
    std::wstring text = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, L'\\');
    return text + L"\"";
}

// The C runtime writes a line end as CR LF to files and pipes, as Windows programs do; the texts compared are
// those of the Linux build.
std::string withLinuxLineEnds(std::string text) {
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
    return text;
}

std::filesystem::path velmoraProgram() {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::filesystem::path(std::wstring(self, length)).parent_path() / "velmora.exe";
}

// A file handle the child inherits, closed with the returned owner.
std::unique_ptr<void, decltype(&CloseHandle)> inherited(const std::filesystem::path& path, DWORD access,
                                                        DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return {CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                        disposition, FILE_ATTRIBUTE_NORMAL, nullptr),
            &CloseHandle};
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

Result runVelmora(const std::vector<std::string>& arguments, const std::filesystem::path& folder) {
    const auto program = velmoraProgram();
    std::wstring commandLine = quoted(program.wstring());
    for (const auto& argument : arguments) commandLine += L" " + quoted(wide(argument));

    Result result;
    {
        const auto input = inherited(L"NUL", GENERIC_READ, OPEN_EXISTING);
        const auto output = inherited(folder / ".stdout", GENERIC_WRITE, CREATE_ALWAYS);
        const auto error = inherited(folder / ".stderr", GENERIC_WRITE, CREATE_ALWAYS);
        STARTUPINFOW startup{.cb = sizeof startup,
                             .dwFlags = STARTF_USESTDHANDLES,
                             .hStdInput = input.get(),
                             .hStdOutput = output.get(),
                             .hStdError = error.get()};
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                            &startup, &process))
            return result;
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 0;
        if (GetExitCodeProcess(process.hProcess, &status)) result.status = static_cast<int>(status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    result.out = withLinuxLineEnds(readFile(folder / ".stdout"));
    result.err = withLinuxLineEnds(readFile(folder / ".stderr"));
    return result;
}

const std::string namespaceMissing =
    "Failed to open namespace, err=-2147217394 (0x8004100E WBEM_E_INVALID_NAMESPACE: invalid namespace (is "
    "Hyper-V installed on this host?))\n";
// Names a machine in the simulated host's namespace, but none that exists. The library's lines carry it in
// Wine's ANSI code page (1252, which has "é"); the command must print it as UTF-8.
const std::string nowhere =
    "\\\\HVSIM01\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
    "Name=\"caf\xc3\xa9\"";

std::string expectedFile(const std::string& name) {
    return readFile(std::filesystem::path(VELMORA_EXPECTED_DIR) / name);
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
    // On success the whole standard output (a file of the Linux tests) or a part of it; on failure the last line
    // of standard error.
    const bool simulated = true, wine = false;
    const auto firstMachine =
        nowhere.substr(0, nowhere.rfind("Name=")) + "Name=\"5653494D-0000-4000-8000-000000000008\"\n";
    // clang-format off
    for (const auto& [onSimulatedHost, arguments, status, expected] : std::vector<std::tuple<bool, std::vector<std::string>, int, std::string>>{
             {simulated, {"switches"}, 0, expectedFile("switches.txt")},
             {simulated, {"--json", "switches"}, 0, expectedFile("switches.json")},
             {simulated, {"memory"}, 0, "0 bytes\n"},
             {simulated, {"list", "--json"}, 0, "{\n  \"machines\": [],\n  \"ok\": true\n}\n"},
             {simulated, {"create", "--name", "web-01", "--memory", "2GB", "--switch", "default switch"}, 0, firstMachine},
             {simulated, {"stop", nowhere}, 0, "Stopped " + nowhere + " (it no longer exists)\n"},
             {simulated, {"tour"}, 0, tourOnWindows()},
             {simulated, {"--json", "tour"}, 0, "  \"ok\": true,"},
             {simulated, {"start", nowhere}, 1, "velmora: startVM returned false: Could not get object: " + nowhere + ", err=-2147217406 (0x80041002 WBEM_E_NOT_FOUND: not found)\n"},
             {simulated, {"--json", "start", nowhere}, 1, "  \"error\": \"startVM returned false: Could not get object: \\\\\\\\HVSIM01\\\\root\\\\virtualization\\\\v2:Msvm_ComputerSystem.CreationClassName=\\\"Msvm_ComputerSystem\\\",Name=\\\"caf\xc3\xa9\\\", err=-2147217406 (0x80041002 WBEM_E_NOT_FOUND: not found)\",\n"},
             {simulated, {"start", "web-01"}, 2, "velmora: no machine is named 'web-01'; give a machine's name"},
             {simulated, {"disks", "web-01", "missing.vhdx"}, 2, "velmora: images: the image file 'missing.vhdx' does not exist"},
             {simulated, {"--version"}, 0, "velmora " VELMORA_VERSION "\n"},
             {simulated, {"host", "show"}, 2, "velmora: unknown command 'host'; the commands are: list, switches, memory, create, disks, start, stop, delete, tour, help"},
             {simulated, {"--state", "host.json", "list"}, 2, "velmora: The following arguments were not expected: host.json --state"},
             {wine, {"switches"}, 1, "velmora: retrieveAvailableNetworkAdapters returned false: " + namespaceMissing},
             {wine, {"create", "--name", "web-01"}, 1, "velmora: createVM returned false for 'web-01': " + namespaceMissing},
             {wine, {"list"}, 1, "velmora: cannot open Hyper-V's WMI namespace root\\virtualization\\v2: " + namespaceMissing},
             {wine, {"tour"}, 1, "velmora: retrieveAvailableNetworkAdapters returned false: " + namespaceMissing},
             {wine, {"--json", "memory"}, 1, "  \"error\": \"retrieveUsedMemory returned false: " + namespaceMissing.substr(0, namespaceMissing.size() - 1) + "\",\n"}}) {
        // clang-format on
        auto command = arguments;
        if (onSimulatedHost) command.insert(command.begin(), "--simulated-host");
        SCOPED_TRACE(testing::PrintToString(command));
        const auto result = runVelmora(command, folder_);
        EXPECT_EQ(result.status, status) << result.err;
        // A JSON document, or a text given whole (ending with its line end), or a part of a line.
        const bool json = arguments.front() == "--json" || arguments.back() == "--json";
        const std::string& text = status == 0 || json ? result.out : result.err;
        const bool matches = json || expected.back() != '\n' ? text.find(expected) != std::string::npos
                             : status == 0                   ? masked(text) == expected
                                                             : ("\n" + text).ends_with("\n" + expected);
        EXPECT_TRUE(matches) << "expected:\n" << expected << "\ngot:\n" << masked(text);
        EXPECT_FALSE(leftFilesBehind());
    }
}

// --help offers what there is on Windows, and neither the simulated host's commands nor the hidden option.
TEST_F(VelmoraExe, HelpOffersNoStateFileNoHostCommandsAndNoTestOption) {
    const auto help = runVelmora({"--help"}, folder_);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("  tour "), std::string::npos) << help.out;
    for (const char* absent : {"--state", "  host ", "--simulated-host", "simulated Hyper-V"})
        EXPECT_EQ(help.out.find(absent), std::string::npos) << absent << "\n" << help.out;
}

}  // namespace
}  // namespace CommandWineTest
