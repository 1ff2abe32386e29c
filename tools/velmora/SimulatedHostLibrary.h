// HyperVSim.dll, from the folder of velmora.exe, as the WMI service of a run: loaded, and its simulated host
// registered for the process through the DLL's C entry point (<HyperVSim/Registration.h>) before the command
// reaches WMI; revoked and unloaded when the run ends.
#pragma once

#include <windows.h>

#include "Host.h"

namespace VelmoraCommand {

class SimulatedHostLibrary : public WmiStandIn {
public:
    // Throws Failure naming the file and why it cannot serve.
    SimulatedHostLibrary();
    ~SimulatedHostLibrary() override;
    SimulatedHostLibrary(const SimulatedHostLibrary&) = delete;
    SimulatedHostLibrary& operator=(const SimulatedHostLibrary&) = delete;

private:
    HMODULE module_ = nullptr;
};

}  // namespace VelmoraCommand
