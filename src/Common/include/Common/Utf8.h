// UTF-8 as both the platform stand-in and the simulated host write and read it. Decoding replaces what is
// not UTF-8 as Windows does (and as the Unicode standard recommends): one replacement for each maximal
// invalid subpart, so that "\xE6\x97" (a truncated sequence) counts once and "\xC0\xAF" (an overlong one)
// twice.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace Common {

inline constexpr char32_t replacementCharacter = 0xFFFD;

// Whether a code point has a UTF-8 form at all: surrogates and values above U+10FFFF have none.
constexpr bool isScalarValue(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// Appends a scalar value.
inline void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    const int continuations = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    constexpr unsigned char leads[] = {0, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(leads[continuations] | (c >> (6 * continuations)));
    for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6)
        out += static_cast<char>(0x80 | ((c >> shift) & 0x3F));
}

// Decodes the sequence at text[at]. On success `c` is its code point and `length` its bytes; otherwise
// `length` is the maximal invalid subpart there (at least one byte), which a caller replaces or refuses.
inline bool decodeUtf8(std::string_view text, std::size_t at, char32_t& c, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    length = 1;
    c = lead;
    if (lead < 0x80) return true;
    std::size_t size = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte, narrowed against overlong forms
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3, c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4, c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return false;
    }
    for (std::size_t k = 1; k < size; ++k) {
        if (at + k >= text.size()) return false;
        const auto byte = static_cast<unsigned char>(text[at + k]);
        if (byte < (k == 1 ? low : 0x80) || byte > (k == 1 ? high : 0xBF)) return false;
        c = (c << 6) | (byte & 0x3F);
        length = k + 1;
    }
    return true;
}

// Wide text in UTF-8: UTF-16 where wchar_t has 16 bits (a surrogate pair is one code point), UTF-32
// otherwise. What has no UTF-8 form (a lone surrogate, a value above U+10FFFF) becomes U+FFFD.
inline std::string toUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
                const auto low = static_cast<char32_t>(static_cast<char16_t>(text[i + 1]));
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        appendUtf8(out, isScalarValue(c) ? c : replacementCharacter);
    }
    return out;
}

// UTF-8 as wide text (as above); each maximal invalid subpart becomes U+FFFD.
inline std::wstring fromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = 0;
        std::size_t length = 1;
        if (!decodeUtf8(text, at, c, length)) c = replacementCharacter;
        at += length;
        if (sizeof(wchar_t) == 2 && c >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

}  // namespace Common
