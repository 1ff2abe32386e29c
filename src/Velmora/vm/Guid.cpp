#include "vm/Guid.h"

#include <iterator>

#include "log/Log.h"

namespace Velmora {

std::optional<GuidText> newGuidText(const char* announcement) {
    logMessage(Info, announcement);
    GUID guid{};
    GuidText text{};
    // StringFromGUID2 reports 0 only for a buffer that is too small; treating that as a failed GUID keeps a
    // truncated identifier from ever reaching Hyper-V.
    if (FAILED(CoCreateGuid(&guid)) ||
        StringFromGUID2(guid, text.chars, static_cast<int>(std::size(text.chars))) == 0) {
        logMessage(Info, "GUID generating failed");
        return std::nullopt;
    }
    return text;
}

}  // namespace Velmora
