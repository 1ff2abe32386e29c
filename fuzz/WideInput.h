// Fuzz bytes as the wide text the host receives: every four bytes one wchar_t, so that surrogates and values
// past U+10FFFF arrive as well as plain text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

inline std::wstring wideInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), data, text.size() * sizeof(wchar_t));
    return text;
}
