#include "Text.h"

#include <type_traits>

namespace HyperVSim::cimxml {
namespace {

wchar_t foldAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

}  // namespace

std::wstring withXmlCharactersOnly(std::wstring_view text) {
    std::wstring out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(out[i]));
        // With a 16-bit wchar_t a character above U+FFFF is a pair of surrogates, which XML carries.
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < out.size() &&
            static_cast<char16_t>(out[i + 1]) >= 0xDC00 && static_cast<char16_t>(out[i + 1]) <= 0xDFFF) {
            ++i;
            continue;
        }
        const bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                             (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
        if (!allowed) out[i] = static_cast<wchar_t>(Common::replacementCharacter);
    }
    return out;
}

bool equalsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    }
    return true;
}

bool lessIgnoringCase(std::wstring_view a, std::wstring_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t x = foldAscii(a[i]);
        const wchar_t y = foldAscii(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

}  // namespace HyperVSim::cimxml
