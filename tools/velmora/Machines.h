// A machine as the operator names it: by its Msvm_ComputerSystem path, or by its name, which the command looks
// up itself. Whatever names no machine is refused before any library function is called.
#pragma once

#include <optional>
#include <string>

#include "HostSession.h"

namespace VelmoraCommand {

struct Machine {
    std::string path;                 // what the library gets
    std::string display;              // how messages name it: its name when known, else the path as given
    std::optional<int> enabledState;  // as it was found; nothing when the path names no object (yet)

    // How a library call's report names it: by name when it was found (its path is in the library's lines).
    std::string subject() const { return enabledState ? display : std::string(); }
};

// Throws BadInput, with an example, for a name that matches no machine or several (listing their paths), for
// the path of another class or of the hosting computer, and for a malformed path.
Machine resolveMachine(HostSession& host, const std::string& argument, const std::string& command);

// "running", "off", "starting", ...: Get-VM's words for an EnabledState.
std::string stateName(int enabledState);

// Whether a machine in this state is on its way to another.
bool isChangingState(int enabledState);

}  // namespace VelmoraCommand
