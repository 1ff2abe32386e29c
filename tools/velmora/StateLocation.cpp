#include "StateLocation.h"

#include <cstdlib>

#include "BadInput.h"

namespace VelmoraCommand {

std::filesystem::path defaultStatePath() {
    const std::filesystem::path relative = std::filesystem::path("velmora") / "host.json";
    if (const char* stateHome = std::getenv("XDG_STATE_HOME"); stateHome != nullptr) {
        const std::filesystem::path base(stateHome);
        if (base.is_absolute()) return base / relative;
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::filesystem::path(home) / ".local" / "state" / relative;
    throw BadInput("neither XDG_STATE_HOME nor HOME is set; give the host's state file with --state FILE");
}

}  // namespace VelmoraCommand
