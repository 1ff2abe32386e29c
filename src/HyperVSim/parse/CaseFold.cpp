#include "CaseFold.h"

#include <cwctype>

namespace HyperVSim {

wchar_t foldCase(wchar_t c) {
    // ASCII is folded by hand so that names and GUIDs compare the same whatever locale the host process runs in.
    if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c - L'A' + L'a');
    if (c < 0x80) return c;
    return static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
}

std::wstring foldCase(std::wstring_view text) {
    std::wstring folded(text);
    for (wchar_t& c : folded) c = foldCase(c);
    return folded;
}

bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b) {
    // Folding keeps a text's length, so texts of different lengths never match: most of the names a property
    // lookup passes over are settled here without folding a character.
    return a.size() == b.size() && compareIgnoreCase(a, b) == 0;
}

int compareIgnoreCase(std::wstring_view a, std::wstring_view b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const wchar_t x = foldCase(a[i]);
        const wchar_t y = foldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace HyperVSim
