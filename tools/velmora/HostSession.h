// The command's own connection to Hyper-V's WMI namespace, through the library's WMI layer (the same code on
// Linux and on Windows): machines by name, a machine's state, the list of machines. Its log lines go to the
// command's log sink like the library's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace VelmoraCommand {

struct MachineRecord {
    std::string name;  // ElementName
    std::string path;  // __PATH
    int enabledState = 0;
};

// What is at a path that names a Msvm_ComputerSystem.
struct PathLookup {
    std::int32_t result = 0;  // the HRESULT of GetObject
    std::optional<MachineRecord> machine;
    bool hostingComputer = false;  // the host's own Msvm_ComputerSystem, not a machine
};

class HostSession {
public:
    // Connects; throws Failure, with the reason from the log, when Hyper-V's namespace cannot be reached.
    HostSession();
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Every virtual machine of the host; the hosting computer's own Msvm_ComputerSystem is not one.
    std::vector<MachineRecord> machines();
    // The machines whose ElementName is `name` (compared as WMI compares: without regard to case).
    std::vector<MachineRecord> machinesNamed(const std::wstring& name);
    PathLookup lookUp(const std::wstring& path);

private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

}  // namespace VelmoraCommand
