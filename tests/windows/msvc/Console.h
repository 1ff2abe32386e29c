// Writes to standard output through WriteFile.
#pragma once

#include <cstdint>

#include "Text.h"
#include "Win32.h"

namespace MsvcCaller {

inline void print(const char* text) {
    std::uint32_t written = 0;
    WriteFile(GetStdHandle(Win32::standardOutput), text, static_cast<std::uint32_t>(lengthOf(text)), &written,
              nullptr);
}

inline void printNumber(std::uint64_t value) {
    char digits[24];
    char* first = digits + sizeof digits - 1;
    *first = 0;
    do {
        *--first = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    print(first);
}

// ASCII as it is, anything else as '?': the texts printed are the host's paths and names.
inline void printWide(const wchar_t* text) {
    char buffer[256];
    while (*text) {
        std::size_t used = 0;
        for (; *text && used < sizeof buffer - 1; ++text, ++used)
            buffer[used] = *text < 0x80 ? static_cast<char>(*text) : '?';
        buffer[used] = 0;
        print(buffer);
    }
}

}  // namespace MsvcCaller
