// Fresh GUIDs (random, version 4) and their registry-format text.
#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "internal.h"

namespace {

bool randomBytes(void* buffer, std::size_t size) {
    auto* out = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t got = getrandom(out, size, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

WINCOMPAT_API HRESULT CoCreateGuid(GUID* pguid) {
    HRESULT fault = S_OK;
    if (WinCompat::detail::faultFires("CoCreateGuid", fault)) return fault;
    if (pguid == nullptr) return E_INVALIDARG;
    unsigned char bytes[16];
    if (!randomBytes(bytes, sizeof bytes)) return E_FAIL;
    std::memcpy(&pguid->Data1, bytes, 4);
    std::memcpy(&pguid->Data2, bytes + 4, 2);
    std::memcpy(&pguid->Data3, bytes + 6, 2);
    std::memcpy(pguid->Data4, bytes + 8, 8);
    pguid->Data3 = static_cast<std::uint16_t>((pguid->Data3 & 0x0FFF) | 0x4000);   // version 4
    pguid->Data4[0] = static_cast<std::uint8_t>((pguid->Data4[0] & 0x3F) | 0x80);  // RFC 4122 variant
    return S_OK;
}

WINCOMPAT_API int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    constexpr int length = 39;  // "{8-4-4-4-12}" and the terminator
    if (lpsz == nullptr || cchMax < length) return 0;
    char text[length + 1];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(rguid.Data1), static_cast<unsigned>(rguid.Data2),
                  static_cast<unsigned>(rguid.Data3), rguid.Data4[0], rguid.Data4[1], rguid.Data4[2],
                  rguid.Data4[3], rguid.Data4[4], rguid.Data4[5], rguid.Data4[6], rguid.Data4[7]);
    for (int i = 0; i < length; ++i) lpsz[i] = static_cast<OLECHAR>(static_cast<unsigned char>(text[i]));
    return length;
}
