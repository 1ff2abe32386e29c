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
              "velmora: unknown command 'reboot'; the commands are: switches, memory, create, disks, start, stop, "
              "delete, host, tour"},
             {{"--state", "switches", "reboot"}, "unknown command 'reboot'"},
             {{}, "A subcommand is required"},
             {{"host"}, "A subcommand is required"},
             {{"--quiet", "switches"}, "--quiet excludes --verbose"},
             {{"create"}, "--name is required"},
             {{"start"}, "machine is required"},
             {{"disks", "vm"}, "images is required"},
         })
        expectRefused(refusal);
}

TEST_F(BadInput, MachineSettingsOutsideTheirRangeAreRefused) {
    for (const auto& refusal : std::vector<Refusal>{
             {{"create", "--name", "x", "--memory", "2XB"}, "--memory: '2XB' is not a size"},
             {{"create", "--name", "x", "--memory", "2GB"}, "the unit must be B, KiB, MiB or GiB"},
             {{"create", "--name", "x", "--memory", "1.5GiB"}, "--memory: '1.5GiB' is not a size"},
             {{"create", "--name", "x", "--memory", "0"}, "--memory: '0' is not a size: it is zero"},
             {{"create", "--name", "x", "--memory", "2048TiB"}, "is not a size"},
             {{"create", "--name", "x", "--memory", "2097152GiB"}, "is too much memory: at most 2147483647 MiB"},
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
             {{"create", "--name", ""}, "--name: the machine needs a name"},
             {{"disks", "vm", "a.vhdx", "--generation", "3"}, "the generation must be 1 or 2, not '3'"},
         }) {
        makeImage("a.vhdx");
        expectRefused(refusal);
    }
}

TEST_F(BadInput, ImagesMustBeExistingFiles) {
    makeImage("present.vhdx");
    std::filesystem::create_directory(directory() / "folder");
    expectRefused(
        {{"disks", "vm", "present.vhdx", "missing.vhdx"}, "the image file 'missing.vhdx' does not exist"});
    expectRefused({{"disks", "vm", "folder"}, "'folder' is a directory, not an image file"});
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

TEST_F(BadInput, AFileThatIsNoStateFileIsNeitherUsedNorOverwritten) {
    { std::ofstream(state()) << "these are my notes\n"; }
    for (const auto& arguments : std::vector<std::vector<std::string>>{{"switches"}, {"host", "reset"}}) {
        const auto result = run(arguments);
        EXPECT_EQ(result.status, 2) << arguments.front();
        EXPECT_NE(result.err.find(state().string()), std::string::npos) << result.err;
    }
    EXPECT_EQ(readFile(state()), "these are my notes\n");
}

}  // namespace
}  // namespace CommandTest
