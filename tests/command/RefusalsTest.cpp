// Usage errors and bad input: refused with exit status 2 and a message that names the problem, before any
// library function that changes the host is called (with --verbose each would show its banner).
#include <HyperVSim/Control.h>

#include <fstream>

#include "CommandRun.h"

namespace CommandTest {
namespace {

struct Refusal {
    std::vector<std::string> arguments;
    std::string message;
    // Names of machines and switches are looked up on the host first; nothing else reaches it.
    bool looksUp = false;
};

class Refusals : public CommandTest {};

TEST_F(Refusals, BadInputIsRefusedWithAMessageThatNamesIt) {
    const std::string host =
        R"(\\HVSIM01\root\virtualization\v2:Msvm_ComputerSystem.CreationClassName="Msvm_ComputerSystem",Name="HVSIM01")";
    const std::string aSwitch =
        R"(\\HVSIM01\root\virtualization\v2:Msvm_VirtualEthernetSwitch.CreationClassName="Msvm_VirtualEthernetSwitch",Name="5653494D-0000-4000-8000-000000000001")";
    createMachine({"--name", "twin"});
    createMachine({"--name", "TWIN"});
    editHost([] { HyperVSim::Control::addSwitch(L"DEFAULT switch"); });
    makeImage("a.vhdx");
    std::filesystem::create_directory(directory() / "folder");
    for (const auto& row : std::vector<Refusal>{
             {{"--bogus", "switches"}, "velmora: The following argument was not expected: --bogus"},
             {{"switches", "--bogus"}, "The following argument was not expected: --bogus"},
             {{"reboot"},
              "velmora: unknown command 'reboot'; the commands are: list, switches, memory, create, disks, start, "
              "stop, delete, host, tour, help"},
             {{"--state", "switches", "reboot"}, "unknown command 'reboot'"},
             {{"host", "frob"}, "unknown command 'host frob'; the host commands are: show, reset"},
             {{"help", "frob"}, "there is no command 'frob'; the commands are: list,"},
             {{}, "A subcommand is required"},
             {{"host"}, "A subcommand is required"},
             {{"--state", "", "list"}, "--state: the state file's name cannot be empty"},
             {{"--quiet", "switches"}, "--quiet excludes --verbose"},
             {{"create"}, "--name is required"},
             {{"start"}, "machine is required"},
             {{"disks", "vm"}, "images is required"},
             {{"create", "--name", "x", "--memory", "1.5GiB"},
              "--memory: '1.5GiB' is not a size: the number must be whole (1.5 GiB is 1536MiB)"},
             {{"create", "--name", "x", "--memory", "33MiB"},
              "--memory: '33MiB' (33 MiB (34603008 bytes)) is not a memory size Hyper-V takes: static memory is a "
              "multiple of 2 MiB, at least 32 MiB"},
             {{"create", "--name", "x", "--memory", "16M"}, "is not a memory size Hyper-V takes"},
             {{"create", "--name", "x", "--memory", "1000000000"}, "is not a memory size Hyper-V takes"},
             {{"create", "--name", "x", "--memory", "2097152GiB"}, "is too much memory: at most 2147483646 MiB"},
             {{"create", "--name", "x", "--generation", "3"},
              "--generation: the generation must be 1 or 2, not '3'"},
             {{"create", "--name", "x", "--cpus", "0"}, "--cpus: '0' is not a whole number of processors"},
             {{"create", "--name", "x", "--cpus", "two"}, "--cpus: 'two' is not a whole number"},
             {{"create", "--name", "x", "--cpu-reservation", "-1"},
              "--cpu-reservation: '-1' is not a whole number"},
             {{"create", "--name", "x", "--cpu-limit", "101"},
              "--cpu-limit: '101' is not a whole number of percent in 0..100"},
             {{"create", "--name", "x", "--cpu-weight", "10001"}, "--cpu-weight: '10001' is not a whole number"},
             {{"create", "--name", ""}, "--name: a machine needs a name"},
             {{"create", "--name", "web\t01"}, "--name: 'web\\t01' holds a control character"},
             {{"create", "--name", "caf\xe9"}, "--name: 'caf\\xE9' is not valid UTF-8"},
             {{"create", "--name", std::string(101, 'x')},
              "--name: the name has 101 characters; Hyper-V takes at most 100"},
             {{"create", "--name", "x", "--config-root", "C:\\\xff"},
              "--config-root: 'C:\\\\xFF' is not valid UTF-8"},
             {{"disks", "vm", "a.vhdx", "--generation", "3"}, "the generation must be 1 or 2, not '3'"},
             {{"disks", "vm", "a.vhdx", "missing.vhdx"}, "the image file 'missing.vhdx' does not exist"},
             {{"disks", "vm", "folder"}, "'folder' is a directory, not an image file"},
             {{"disks", "vm", "a.vhdx", "./a.vhdx"},
              "the image './a.vhdx' is given twice (as 'a.vhdx' and './a.vhdx')"},
             {{"start", "web-01"},
              "velmora: no machine is named 'web-01'; give a machine's name or its path, e.g.\n  velmora start "
              "web-01",
              true},
             {{"stop", "web\t01"}, "'web\\t01' holds a control character", true},
             {{"delete", "twin"},
              "velmora: 2 machines are named 'twin'; give the path of one of them:\n  \\\\HVSIM01",
              true},
             {{"disks", aSwitch, "a.vhdx"},
              "' is the path of a Msvm_VirtualEthernetSwitch, not of a machine",
              true},
             {{"stop", host}, "' is the hosting computer itself, not a virtual machine", true},
             {{"start", "Msvm_ComputerSystem.Name=\"x"},
              "velmora: 'Msvm_ComputerSystem.Name=\"x' is not a usable machine path (0x8004103A "
              "WBEM_E_INVALID_OBJECT_PATH: invalid object path)",
              true},
             {{"create", "--name", "x", "--switch", "External Switch", "--switch", "LAN"},
              "velmora: no virtual switch is named 'LAN'; the host has:\n"
              "  Default Switch   \\\\HVSIM01\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.",
              true},
             {{"create", "--name", "x", "--switch", "default switch"},
              "velmora: the switch name 'default switch' is ambiguous; give the path of one of these:\n"
              "  Default Switch  \\\\HVSIM01",
              true},
         }) {
        auto arguments = row.arguments;
        arguments.insert(arguments.begin(), "--verbose");
        SCOPED_TRACE(testing::PrintToString(arguments));
        const auto result = run(arguments);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_NE(result.err.find(row.message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(row.looksUp || result.err.find("info:") == std::string::npos) << result.err;
        for (const char* banner : {"Create VM", "Starting VM", "Stopping VM", "Delete VM", "Set disk images"})
            EXPECT_EQ(result.err.find("info: " + std::string(banner) + "\n"), std::string::npos) << result.err;
    }
    EXPECT_EQ(machines().size(), 2u);
}

TEST_F(Refusals, AFileThatIsNoStateFileIsNeitherUsedNorOverwrittenAndTheMessageSaysHowToRecover) {
    const std::string recovery =
        "`velmora host reset --force --state '" + state().string() + "'` replaces it with a fresh host";
    for (const auto& [content, problem] : std::vector<std::pair<std::string, std::string>>{
             {"these are my notes\n", "is not valid JSON (damaged or truncated)"},
             {"", "is empty"},
             {"{\"format\": \"a shopping list\"}", "it is not a simulated host state file"}}) {
        { std::ofstream(state()) << content; }
        for (const auto& arguments :
             std::vector<std::vector<std::string>>{{"switches"}, {"create", "--name", "x"}}) {
            const auto result = run(arguments);
            EXPECT_EQ(result.status, 2) << arguments.front();
            EXPECT_NE(result.err.find("velmora: state file " + state().string() + ": " + problem + "\n" + recovery),
                      std::string::npos)
                << result.err;
        }
        const auto reset = run({"host", "reset"});
        EXPECT_EQ(reset.status, 2);
        EXPECT_NE(reset.err.find("--force replaces it"), std::string::npos) << reset.err;
        EXPECT_EQ(readFile(state()), content);
    }
}

}  // namespace
}  // namespace CommandTest
