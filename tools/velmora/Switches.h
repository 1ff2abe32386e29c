// The host's virtual switches as retrieveAvailableNetworkAdapters lists them, and how an operator's --switch
// arguments become the switch paths that createVM takes.
#pragma once

#include <string>
#include <vector>

#include <Velmora/Velmora.h>

namespace VelmoraCommand {

struct Switch {
    std::string path;
    std::string name;
};

// Reads the packed pairs up to the closing empty string, or to the end of the buffer when the library had to
// leave it out. A pair cut after its path keeps the path with an empty name.
std::vector<Switch> parseNetworksList(const Velmora::NetworksList& list);

// A switch path names its class; no switch name is taken for a path.
bool isSwitchPath(const std::string& argument);

// Each argument is a switch path, passed on unchanged, or a switch name, matched without regard to case
// against `available`. Throws BadInput, listing the switches, for a name that matches none or several.
std::vector<std::string> resolveSwitches(const std::vector<std::string>& arguments,
                                         const std::vector<Switch>& available);

// One switch a line: its name, padded so that the paths line up, then its path.
std::string switchTable(const std::vector<Switch>& switches, const std::string& indent);

}  // namespace VelmoraCommand
