// Usage errors and bad input: refused with exit status 2 and a message that names the problem, before any
// library function that changes the host is called (with --verbose each would show its banner).
#include <HyperVSim/Control.h>

#include "CommandRun.h"

namespace CommandTest {
namespace {

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
    // Names of machines and switches are looked up on the host first (lookUp); nothing else reaches it.
    using Row = std::tuple<std::vector<std::string>, std::string, bool>;
    // clang-format off
    for (const auto& [arguments, message, lookUp] : std::vector<Row>{
             {{"switches", "--bogus"}, "velmora: The following argument was not expected: --bogus", false},
             {{"reboot"}, "velmora: unknown command 'reboot'; the commands are: list, switches, memory, create, disks, start, stop, delete, host, tour, help", false},
             {{"--state", "switches", "reboot"}, "unknown command 'reboot'", false},
             {{"host", "frob"}, "unknown command 'host frob'; the host commands are: show, reset", false},
             {{"help", "frob"}, "there is no command 'frob'; the commands are: list,", false},
             {{"host"}, "A subcommand is required", false},
             {{"--state", "", "list"}, "--state: the state file's name cannot be empty", false},
             {{"--quiet", "switches"}, "--quiet excludes --verbose", false},
             {{"create"}, "--name is required", false},
             {{"start"}, "machine is required", false},
             {{"disks", "vm"}, "images is required", false},
             {{"create", "--name", "x", "--memory", "1.5GiB"}, "--memory: '1.5GiB' is not a size: the number must be whole (1.5 GiB is 1536MiB)", false},
             {{"create", "--name", "x", "--memory", "33MiB"}, "--memory: '33MiB' (33 MiB (34603008 bytes)) is not a memory size Hyper-V takes: static memory is a multiple of 2 MiB, at least 32 MiB", false},
             {{"create", "--name", "x", "--memory", "1000000000"}, "is not a memory size Hyper-V takes", false},
             {{"create", "--name", "x", "--memory", "2097152GiB"}, "is too much memory: at most 2147483646 MiB", false},
             {{"create", "--name", "x", "--generation", "3"}, "--generation: the generation must be 1 or 2, not '3'", false},
             {{"create", "--name", "x", "--cpus", "0"}, "--cpus: '0' is not a whole number of processors", false},
             {{"create", "--name", "x", "--cpu-reservation", "-1"}, "--cpu-reservation: '-1' is not a whole number", false},
             {{"create", "--name", "x", "--cpu-limit", "101"}, "--cpu-limit: '101' is not a whole number of percent in 0..100", false},
             {{"create", "--name", "x", "--cpu-weight", "10001"}, "--cpu-weight: '10001' is not a whole number", false},
             {{"create", "--name", ""}, "--name: a machine needs a name", false},
             {{"create", "--name", "web\t01"}, "--name: 'web\\t01' holds a control character", false},
             {{"create", "--name", "caf\xe9"}, "--name: 'caf\\xE9' is not valid UTF-8", false},
             {{"create", "--name", std::string(101, 'x')}, "--name: the name has 101 characters; Hyper-V takes at most 100", false},
             {{"create", "--name", "x", "--config-root", "C:\\\xff"}, "--config-root: 'C:\\\\xFF' is not valid UTF-8", false},
             {{"disks", "vm", "a.vhdx", "--generation", "3"}, "the generation must be 1 or 2, not '3'", false},
             {{"disks", "vm", "a.vhdx", "missing.vhdx"}, "the image file 'missing.vhdx' does not exist", false},
             {{"disks", "vm", "folder"}, "'folder' is a directory, not an image file", false},
             {{"disks", "vm", "a.vhdx", "./a.vhdx"}, "the image './a.vhdx' is given twice (as 'a.vhdx' and './a.vhdx')", false},
             {{"start", "web-01"}, "velmora: no machine is named 'web-01'; give a machine's name or its path, e.g.\n  velmora start web-01", true},
             {{"stop", "web\t01"}, "'web\\t01' holds a control character", true},
             {{"delete", "twin"}, "velmora: 2 machines are named 'twin'; give the path of one of them:\n  \\\\HVSIM01", true},
             {{"disks", aSwitch, "a.vhdx"}, "' is the path of a Msvm_VirtualEthernetSwitch, not of a machine", true},
             {{"stop", host}, "' is the hosting computer itself, not a virtual machine", true},
             {{"start", "Msvm_ComputerSystem.Name=\"x"}, "velmora: 'Msvm_ComputerSystem.Name=\"x' is not a usable machine path (0x8004103A WBEM_E_INVALID_OBJECT_PATH: invalid object path)", true},
             {{"create", "--name", "x", "--switch", "External switch", "--switch", "Default"}, "velmora: no virtual switch is named 'Default'; the host has:\n  Default Switch   \\\\HVSIM01\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch.", true},
             // Only the candidates are listed: without External Switch the names are padded to 14 characters.
             {{"create", "--name", "x", "--switch", "default switch"}, "velmora: the switch name 'default switch' is ambiguous; give the path of one of these:\n  Default Switch  \\\\HVSIM01", true}}) {
        // clang-format on
        auto verbose = arguments;
        verbose.insert(verbose.begin(), "--verbose");
        SCOPED_TRACE(testing::PrintToString(verbose));
        const auto result = run(verbose);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_THAT(result.err, HasSubstr(message));
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(lookUp || result.err.find("info:") == std::string::npos) << result.err;
        for (const char* banner : {"Create VM", "Starting VM", "Stopping VM", "Delete VM", "Set disk images"})
            EXPECT_THAT(result.err, Not(HasSubstr("info: " + std::string(banner) + "\n")));
    }
    EXPECT_EQ(machines().size(), 2u);
}

}  // namespace
}  // namespace CommandTest
