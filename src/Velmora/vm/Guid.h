// Fresh GUIDs in the braced text form that Hyper-V takes in VirtualSystemIdentifiers.
#pragma once

#include <optional>

#include "platform.h"

namespace Velmora {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and its terminator.
struct GuidText {
    wchar_t chars[39];
};

// Logs `announcement` at Info, then generates a GUID and writes its text. Empty after the Info line
// "GUID generating failed": the callers differ only in their announcement, so the failure line lives here.
std::optional<GuidText> newGuidText(const char* announcement);

}  // namespace Velmora
