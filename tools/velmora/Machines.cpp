#include "Machines.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "BadInput.h"
#include "ErrorCodes.h"
#include "Failure.h"
#include "ObjectPaths.h"
#include "Text.h"

namespace VelmoraCommand {
namespace {

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string example(const std::string& command) {
    return "give a machine's name or its path, e.g.\n  velmora " + command + " web-01\n  velmora " + command +
           " '\\\\HOST\\root\\virtualization\\v2:Msvm_ComputerSystem.CreationClassName=\"Msvm_ComputerSystem\","
           "Name=\"<GUID>\"'\n`velmora list` shows the machines with their paths";
}

Machine byPath(HostSession& host, const std::string& argument, const std::string& command) {
    const PathLookup found = host.lookUp(widenArgument(argument, "the machine"));
    if (found.machine) {
        if (found.hostingComputer)
            throw BadInput("'" + argument + "' is the hosting computer itself, not a virtual machine; " +
                           example(command));
        const auto& machine = *found.machine;
        return {argument, machine.name.empty() ? argument : oneLine(machine.name), machine.enabledState};
    }
    // A path that names nothing goes to the library, which has its own answer for it (stopVM: already gone).
    if (found.result == wbemNotFound) return {argument, argument, std::nullopt};
    const auto meaning = hresultMeaning(static_cast<std::uint32_t>(found.result));
    const std::string why = meaning ? *meaning : "err=" + std::to_string(found.result);
    if (found.result == static_cast<std::int32_t>(0x80041003) ||
        found.result == static_cast<std::int32_t>(0x80070005))
        throw Failure("cannot read the machine at '" + argument + "': " + why);
    throw BadInput("'" + argument + "' is not a usable machine path (" + why + "); " + example(command));
}

Machine byName(HostSession& host, const std::string& argument, const std::string& command) {
    if (const auto problem = machineNameProblem(argument)) throw BadInput(*problem + "; " + example(command));
    const auto machines = host.machinesNamed(widenArgument(argument, "the machine"));
    if (machines.empty()) throw BadInput("no machine is named '" + oneLine(argument) + "'; " + example(command));
    if (machines.size() > 1) {
        std::string paths;
        for (const auto& machine : machines) paths += "\n  " + machine.path;
        throw BadInput(std::to_string(machines.size()) + " machines are named '" + oneLine(argument) +
                       "'; give the path of one of them:" + paths);
    }
    return {machines.front().path, oneLine(machines.front().name), machines.front().enabledState};
}

}  // namespace

Machine resolveMachine(HostSession& host, const std::string& argument, const std::string& command) {
    const auto className = objectPathClass(argument);
    if (!className) return byName(host, argument, command);
    if (!equalIgnoringCase(*className, "Msvm_ComputerSystem"))
        throw BadInput("'" + argument + "' is the path of a " + *className + ", not of a machine; " +
                       example(command));
    return byPath(host, argument, command);
}

std::string stateName(int enabledState) {
    switch (enabledState) {
        case 2:
            return "running";
        case 3:
            return "off";
        case 4:
            return "stopping";
        case 6:
            return "saved";
        case 9:
            return "paused";
        case 10:
            return "starting";
        case 32773:
            return "saving";
        case 32776:
            return "pausing";
        case 32777:
            return "resuming";
        default:
            return "state " + std::to_string(enabledState);
    }
}

bool isChangingState(int enabledState) {
    return enabledState == 4 || enabledState == 10 || enabledState == 32773 || enabledState == 32776 ||
           enabledState == 32777;
}

}  // namespace VelmoraCommand
