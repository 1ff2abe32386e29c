#include "Text.h"

#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "BadInput.h"

namespace VelmoraCommand {
namespace {

constexpr char32_t replacement = 0xFFFD;

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes one code point at `pos` and advances it; ill-formed input yields U+FFFD and skips one byte.
char32_t decode(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        ++pos;
        return replacement;
    }
    if (pos + length > text.size()) {
        ++pos;
        return replacement;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!isContinuation(byte)) {
            ++pos;
            return replacement;
        }
        value = (value << 6) | (byte & 0x3F);
    }
    // Overlong forms and surrogates are not characters; accepting them would let two spellings of one name
    // differ.
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return replacement;
    }
    pos += length;
    return value;
}

void encode(char32_t value, std::string& out) {
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | (value >> 6));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += static_cast<char>(0xE0 | (value >> 12));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (value >> 18));
        out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

void appendWide(char32_t value, std::wstring& out) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (value >= 0x10000) {
            value -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (value >> 10));
            out += static_cast<wchar_t>(0xDC00 + (value & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(value);
}

}  // namespace

std::wstring widen(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) appendWide(decode(utf8, pos), out);
    return out;
}

std::optional<std::wstring> widenExactly(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        const char32_t value = decode(utf8, pos);
        // U+FFFD written out in the text is a character like any other; made up for a bad byte it is not.
        if (value == replacement && pos - start != 3) return std::nullopt;
        appendWide(value, out);
    }
    return out;
}

std::wstring widenArgument(std::string_view utf8, std::string_view what) {
    auto wide = widenExactly(utf8);
    if (!wide) throw BadInput(std::string(what) + ": '" + oneLine(utf8) + "' is not valid UTF-8");
    return *wide;
}

std::string narrow(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        auto value = static_cast<char32_t>(wide[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            value &= 0xFFFF;
            if (value >= 0xD800 && value <= 0xDBFF && i + 1 < wide.size()) {
                const auto low = static_cast<char32_t>(wide[i + 1]) & 0xFFFF;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    value = 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) value = replacement;
        encode(value, out);
    }
    return out;
}

std::string fromLibraryText(const char* line) {
#if defined(_WIN32)
    const int size = MultiByteToWideChar(CP_ACP, 0, line, -1, nullptr, 0);
    if (size <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, line, -1, wide.data(), size);
    wide.pop_back();  // the terminating null
    return narrow(wide);
#else
    return line;
#endif
}

std::wstring foldCase(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out) {
        // Upper-case letters of ASCII and Latin-1 lie 0x20 below their lower-case forms; U+00D7 is the
        // multiplication sign in the middle of that block.
        const bool ascii = c >= L'A' && c <= L'Z';
        const bool latin1 = c >= 0xC0 && c <= 0xDE && c != 0xD7;
        if (ascii || latin1) c = static_cast<wchar_t>(c + 0x20);
    }
    return out;
}

std::size_t displayWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (const char c : utf8)
        if (!isContinuation(static_cast<unsigned char>(c))) ++width;
    return width;
}

namespace {

// C0 controls, DEL and the C1 controls: none of them shows as a character.
bool isControl(char32_t value) {
    return value < 0x20 || (value >= 0x7F && value < 0xA0);
}

}  // namespace

std::string oneLine(std::string_view utf8) {
    std::string out;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        const char32_t value = decode(utf8, pos);
        if (value == replacement && pos - start != 3) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(utf8[start]));
            out += escape;
        } else if (value == U'\t') {
            out += "\\t";
        } else if (value == U'\n') {
            out += "\\n";
        } else if (value == U'\r') {
            out += "\\r";
        } else if (isControl(value)) {
            char escape[12];
            std::snprintf(escape, sizeof escape, value < 0x100 ? "\\x%02X" : "\\u%04X",
                          static_cast<unsigned>(value));
            out += escape;
        } else {
            out.append(utf8.substr(start, pos - start));
        }
    }
    return out;
}

std::optional<std::string> machineNameProblem(std::string_view name) {
    // Hyper-V's own limits for ElementName: not empty, at most 100 characters.
    constexpr std::size_t longest = 100;
    if (name.empty()) return "a machine needs a name";
    const auto wide = widenExactly(name);
    if (!wide) return "'" + oneLine(name) + "' is not valid UTF-8";
    for (const wchar_t c : *wide)
        if (isControl(static_cast<char32_t>(c)))
            return "'" + oneLine(name) + "' holds a control character; a machine's name may not";
    if (displayWidth(name) > longest)
        return "the name has " + std::to_string(displayWidth(name)) + " characters; Hyper-V takes at most " +
               std::to_string(longest);
    return std::nullopt;
}

}  // namespace VelmoraCommand
