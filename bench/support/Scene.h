// Puts the simulated host into the state a benchmark needs: the default host, and on top of it machines,
// switches or memory instances in numbers. Everything goes through the host's control interface, never
// through the exports being measured.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <Velmora/Velmora.h>

namespace VelmoraBench {

// A log callback that drops every line, so that no benchmark measures the standard streams.
void quietLog(Velmora::LoggingLevel level, const char* line);

// The default host, with the journal off (it is switched on only while round trips are counted).
void resetHost();
// Adds `count` generation 2 machines that no benchmark touches.
void addIdleMachines(std::size_t count);
// Replaces every switch by `count` switches whose names are `nameLength` characters long; returns their paths.
std::vector<std::wstring> replaceSwitches(std::size_t count, std::size_t nameLength);
// Replaces every Msvm_Memory instance by `count` counted instances of 4096 x 262144 bytes each.
void replaceMemory(std::size_t count);

// Settings of a small generation 2 machine with one adapter per entry of `switchPaths`.
struct MachineRequest {
    std::wstring name;
    std::vector<const wchar_t*> networks;
    Velmora::VMSettings settings() const;
};

}  // namespace VelmoraBench
