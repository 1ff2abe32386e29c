// How a virtual machine hangs together in the repository: its Msvm_ComputerSystem, linked by
// Msvm_SettingsDefineState to its settings, which Msvm_VirtualSystemSettingDataComponent links to every
// resource settings object of the machine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/Host.h"

namespace HyperVSim::hyperv {

bool isVirtualMachine(const Instance& system);
bool isRunning(const Instance& machine);
// Starting or stopping while a planned state change runs.
bool isChangingState(const Instance& machine);
// The machine's GUID (its Name).
std::wstring machineId(const Instance& machine);

// The machine's own settings (not those of its checkpoints).
const Instance* settingsOfMachine(const Repository& repository, const Instance& machine);
const Instance* machineOfSettings(const Repository& repository, const Instance& settings);
// The machine settings that list this resource settings object; nullptr for one of no machine.
const Instance* settingsOfResource(const Repository& repository, const Instance& resource);
std::vector<Snapshot> resourcesOf(const Repository& repository, const Instance& settings);
// The first resource of the machine settings of the given class (or a subclass); nullptr when none.
const Instance* resourceOfClass(const Repository& repository, const Instance& settings,
                                std::wstring_view className);

// Stores an association instance linking the two objects' full paths.
void link(Repository& repository, std::wstring_view associationClass, std::wstring_view firstRole,
          const Instance& first, std::wstring_view secondRole, const Instance& second);
// Stores a resource settings object of the machine settings and links it to them; returns its full path.
std::wstring attachResource(Repository& repository, const Instance& settings, Instance resource);
// Removes the object and every association that references it.
void removeWithAssociations(Repository& repository, std::wstring_view identity);

// Gives a stored machine the EnabledState `enabledState`, with the Msvm_Memory it holds while it runs.
void putInState(Repository& repository, Instance machine, std::int64_t enabledState);

// The Msvm_Memory a running machine has.
Instance memoryDevice(const Instance& machine, std::uint64_t mebibytes);
std::wstring memoryDeviceIdentity(const Instance& machine);

// Removes the machine, its settings, its resources, its checkpoints, its memory device and every
// association of them.
void removeMachine(Repository& repository, const Instance& machine);

// A stored object's own path form for a path text a client sent; empty when it names no stored object.
std::wstring canonicalPath(const Repository& repository, std::wstring_view path);

}  // namespace HyperVSim::hyperv
