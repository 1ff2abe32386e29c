#include "ObjectPaths.h"

#include <regex>

namespace VelmoraCommand {

std::optional<std::string> objectPathClass(std::string_view text) {
    // [\\server\][namespace\...:]Class.Key=<quoted or numeric value> or Class=@ (a singleton).
    static const std::regex path(R"(^(?:(?:[\\/]{2}[^\\/:]+[\\/])?(?:\w+[\\/])*\w+:)?(\w+)(?:\.\w+=["'0-9-]|=@))");
    std::match_results<std::string_view::const_iterator> match;
    if (!std::regex_search(text.begin(), text.end(), match, path)) return std::nullopt;
    return match[1].str();
}

std::wstring wqlString(std::wstring_view text) {
    std::wstring literal = L"\"";
    for (const wchar_t c : text) {
        if (c == L'\\' || c == L'"' || c == L'\'') literal += L'\\';
        literal += c;
    }
    return literal + L"\"";
}

}  // namespace VelmoraCommand
