// Comparisons of zero-terminated texts, narrow and wide: the caller has no C or C++ library to take them from.
#pragma once

#include <cstddef>

namespace MsvcCaller {

template <class Char>
std::size_t lengthOf(const Char* text) {
    std::size_t length = 0;
    while (text[length]) ++length;
    return length;
}

template <class Char>
bool startsWith(const Char* text, const Char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (*text != *prefix) return false;
    return true;
}

template <class Char>
bool same(const Char* a, const Char* b) {
    return startsWith(a, b) && a[lengthOf(b)] == 0;
}

}  // namespace MsvcCaller
