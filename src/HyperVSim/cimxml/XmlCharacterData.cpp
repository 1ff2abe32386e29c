#include "XmlCharacterData.h"

namespace HyperVSim::cimxml {

std::string escapeCharacterData(std::string_view content) {
    std::string escaped;
    escaped.reserve(content.size());
    for (char c : content) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '\r':
                escaped += "&#13;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

namespace {

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Skips past `end` when the text starts with `start`; false when it does not start so.
bool skipDelimited(std::string_view& text, std::string_view start, std::string_view end) {
    if (!text.starts_with(start)) return false;
    const std::size_t close = text.find(end, start.size());
    text.remove_prefix(close == std::string_view::npos ? text.size() : close + end.size());
    return true;
}

}  // namespace

bool prologHasDoctype(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    for (;;) {
        while (!text.empty() && isXmlSpace(text.front())) text.remove_prefix(1);
        if (skipDelimited(text, "<?", "?>") || skipDelimited(text, "<!--", "-->")) continue;
        return text.starts_with("<!DOCTYPE");
    }
}

}  // namespace HyperVSim::cimxml
