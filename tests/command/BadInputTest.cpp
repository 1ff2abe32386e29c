// Usage errors and bad input: refused with exit status 2 and a message that names the problem, before the
// library is called (with --verbose every call of the library would show its info lines).
#include <HyperVSim/Control.h>

#include <fstream>

#include "CommandRun.h"

namespace CommandTest {
namespace {

struct Refusal {
    std::vector<std::string> arguments;
    std::string message;
};

class BadInput : public CommandTest {
protected:
    void expectRefused(const Refusal& refusal) {
        auto arguments = refusal.arguments;
        arguments.insert(arguments.begin(), "--verbose");
        const auto result = run(arguments);
        std::string shown;
        for (const auto& argument : refusal.arguments) shown += argument + " ";
        EXPECT_EQ(result.status, 2) << shown << "\n" << result.err;
        EXPECT_NE(result.err.find(refusal.message), std::string::npos) << shown << "\n" << result.err;
        EXPECT_EQ(result.err.find("info:"), std::string::npos) << shown << "\n" << result.err;
        EXPECT_EQ(result.out, "") << shown;
    }
};

TEST_F(BadInput, UsageErrorsAreRefused) {
    for (const auto& refusal : std::vector<Refusal>{
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
         })
        expectRefused(refusal);
}

TEST_F(BadInput, MachineSettingsOutsideTheirRangeAreRefused) {
    for (const auto& refusal : std::vector<Refusal>{
             {{"create", "--name", "x", "--memory", "2XB"}, "--memory: '2XB' is not a size: the unit must be"},
             {{"create", "--name", "x", "--memory", "1.5GiB"},
              "--memory: '1.5GiB' is not a size: the number must be whole (1.5 GiB is 1536MiB)"},
             {{"create", "--name", "x", "--memory", "0"}, "--memory: '0' is not a size: it is zero"},
             {{"create", "--name", "x", "--memory", "2048TiB"}, "is not a size"},
             {{"create", "--name", "x", "--memory", "33MiB"},
              "--memory: '33MiB' (33 MiB (34603008 bytes)) is not a memory size Hyper-V takes: static memory is a "
              "multiple of 2 MiB, at least 32 MiB"},
             {{"create", "--name", "x", "--memory", "16M"}, "is not a memory size Hyper-V takes"},
             {{"create", "--name", "x", "--memory", "1000000000"}, "is not a memory size Hyper-V takes"},
             {{"create", "--name", "x", "--memory", "2097152GiB"}, "is too much memory: at most 2147483646 MiB"},
             {{"create", "--name", "x", "--generation", "3"},
              "--generation: the generation must be 1 or 2, not '3'"},
             {{"create", "--name", "x", "--generation", "0"}, "the generation must be 1 or 2, not '0'"},
             {{"create", "--name", "x", "--cpus", "0"}, "--cpus: '0' is not a whole number of processors"},
             {{"create", "--name", "x", "--cpu-reservation", "-1"},
              "--cpu-reservation: '-1' is not a whole number"},
             {{"create", "--name", "x", "--cpu-limit", "101"},
              "--cpu-limit: '101' is not a whole number of percent in 0..100"},
             {{"create", "--name", "x", "--cpu-weight", "10001"}, "--cpu-weight: '10001' is not a whole number"},
             {{"create", "--name", "x", "--cpus", "two"}, "--cpus: 'two' is not a whole number"},
             {{"create", "--name", ""}, "--name: a machine needs a name"},
             {{"create", "--name", "web\t01"}, "--name: 'web\\t01' holds a control character"},
             {{"create", "--name", "web\n01"}, "--name: 'web\\n01' holds a control character"},
             {{"create", "--name", "caf\xe9"}, "--name: 'caf\\xE9' is not valid UTF-8"},
             {{"create", "--name", std::string(101, 'x')},
              "--name: the name has 101 characters; Hyper-V takes at most 100"},
             {{"create", "--name", "x", "--config-root", "C:\\\xff"},
              "--config-root: 'C:\\\\xFF' is not valid UTF-8"},
             {{"disks", "vm", "a.vhdx", "--generation", "3"}, "the generation must be 1 or 2, not '3'"},
         }) {
        makeImage("a.vhdx");
        expectRefused(refusal);
    }
}

TEST_F(BadInput, ImagesMustBeExistingFilesEachGivenOnce) {
    makeImage("present.vhdx");
    std::filesystem::create_directory(directory() / "folder");
    expectRefused(
        {{"disks", "vm", "present.vhdx", "missing.vhdx"}, "the image file 'missing.vhdx' does not exist"});
    expectRefused({{"disks", "vm", "folder"}, "'folder' is a directory, not an image file"});
    expectRefused({{"disks", "vm", "present.vhdx", "./present.vhdx"},
                   "the image './present.vhdx' is given twice (as 'present.vhdx' and './present.vhdx')"});
}

// What names no machine is refused before any function of the library is called: the command looks names
// up itself, and tells paths of other classes and of the hosting computer from a machine's.
TEST_F(BadInput, WhatNamesNoMachineIsRefusedWithAnExample) {
    const std::string host =
        R"(\\HVSIM01\root\virtualization\v2:Msvm_ComputerSystem.CreationClassName="Msvm_ComputerSystem",Name="HVSIM01")";
    const std::string aSwitch =
        R"(\\HVSIM01\root\virtualization\v2:Msvm_VirtualEthernetSwitch.CreationClassName="Msvm_VirtualEthernetSwitch",Name="5653494D-0000-4000-8000-000000000001")";
    createMachine({"--name", "twin"});
    createMachine({"--name", "TWIN"});
    makeImage("a.vhdx");
    for (const auto& refusal : std::vector<Refusal>{
             {{"start", "web-01"},
              "velmora: no machine is named 'web-01'; give a machine's name or its path, e.g.\n  velmora start "
              "web-01"},
             {{"stop", "web\t01"}, "'web\\t01' holds a control character"},
             {{"delete", "twin"},
              "velmora: 2 machines are named 'twin'; give the path of one of them:\n  \\\\HVSIM01"},
             {{"disks", aSwitch, "a.vhdx"}, "' is the path of a Msvm_VirtualEthernetSwitch, not of a machine"},
             {{"stop", host}, "' is the hosting computer itself, not a virtual machine"},
             {{"start", "Msvm_ComputerSystem.Name=\"x"},
              "velmora: 'Msvm_ComputerSystem.Name=\"x' is not a usable machine path (0x8004103A "
              "WBEM_E_INVALID_OBJECT_PATH: invalid object path)"},
         }) {
        auto arguments = refusal.arguments;
        arguments.insert(arguments.begin(), "--verbose");
        const auto result = run(arguments);
        EXPECT_EQ(result.status, 2) << refusal.arguments.front() << "\n" << result.err;
        EXPECT_NE(result.err.find(refusal.message), std::string::npos) << result.err;
        for (const char* banner : {"Starting VM", "Stopping VM", "Delete VM", "Set disk images"})
            EXPECT_EQ(result.err.find(banner), std::string::npos) << banner << "\n" << result.err;
    }
}

TEST_F(BadInput, AnUnknownSwitchNameIsRefusedWithTheSwitchesOfTheHost) {
    const auto result =
        run({"--verbose", "create", "--name", "x", "--switch", "Default Switch", "--switch", "LAN"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(
        result.err.find("velmora: no virtual switch is named 'LAN'; the host has:\n"
                        "  Default Switch   \\\\HVSIM01\\root\\virtualization\\v2:Msvm_VirtualEthernetSwitch."),
        std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("  External Switch  \\\\HVSIM01"), std::string::npos) << result.err;
    // The name is resolved through the library, but no machine is created.
    EXPECT_NE(result.err.find("info: Get available network adapters - OK"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("info: Create VM"), std::string::npos) << result.err;
    EXPECT_EQ(run({"host", "show"}).out.find("Machines: 0\n"), 0u);
}

TEST_F(BadInput, AnAmbiguousSwitchNameIsRefusedWithTheCandidates) {
    HyperVSim::Control::reset();
    HyperVSim::Control::openStateFile(state().string());
    const auto second = HyperVSim::Control::addSwitch(L"DEFAULT switch");
    HyperVSim::Control::closeStateFile();

    const auto result = run({"create", "--name", "x", "--switch", "default switch"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("velmora: the switch name 'default switch' is ambiguous; give the path of one of "
                              "these:\n  Default Switch  \\\\HVSIM01"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("  DEFAULT switch  \\\\HVSIM01"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("External Switch"), std::string::npos) << result.err;
    EXPECT_EQ(run({"host", "show"}).out.find("Machines: 0\n"), 0u);
}

TEST_F(BadInput, AFileThatIsNoStateFileIsNeitherUsedNorOverwrittenAndTheMessageSaysHowToRecover) {
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
