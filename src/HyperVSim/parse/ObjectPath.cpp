#include "ObjectPath.h"

#include <algorithm>

#include "CaseFold.h"

namespace HyperVSim {
namespace {

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}
bool isNameStart(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_';
}
bool isNameChar(wchar_t c) {
    return isNameStart(c) || (c >= L'0' && c <= L'9');
}
bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}
bool isServerChar(wchar_t c) {
    return isNameChar(c) || c == L'-' || c == L'.';
}

class PathReader {
public:
    explicit PathReader(std::wstring_view text) : text_(text) {}

    std::optional<ObjectPath> read() {
        ObjectPath path;
        if (text_.empty()) return std::nullopt;
        if (text_.size() >= 2 && isSeparator(text_[0]) && isSeparator(text_[1])) {
            pos_ = 2;
            if (!readServer(path.server) || !readNamespace(path.nameSpace)) return std::nullopt;
        } else if (hasNamespacePrefix()) {
            if (!readNamespace(path.nameSpace)) return std::nullopt;
        }
        if (!readName(path.className)) return std::nullopt;
        if (atEnd()) return path;
        if (take(L'=')) {
            if (!take(L'@') || !atEnd()) return std::nullopt;
            path.singleton = true;
            return path;
        }
        if (!take(L'.') || !readKeys(path.keys)) return std::nullopt;
        return path;
    }

private:
    bool atEnd() const { return pos_ >= text_.size(); }
    wchar_t peek() const { return atEnd() ? L'\0' : text_[pos_]; }
    bool take(wchar_t c) {
        if (atEnd() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    // A relative path may still carry a namespace ("root\cimv2:Class"); its colon comes before anything that
    // can only belong to the class part.
    bool hasNamespacePrefix() const {
        for (wchar_t c : text_) {
            if (c == L':') return true;
            if (c == L'.' || c == L'=' || c == L'"' || c == L'\'') return false;
        }
        return false;
    }

    bool readServer(std::wstring& server) {
        const std::size_t start = pos_;
        while (!atEnd() && isServerChar(peek())) ++pos_;
        server = text_.substr(start, pos_ - start);
        if (server.empty() || atEnd() || !isSeparator(peek())) return false;
        ++pos_;
        return true;
    }

    bool readNamespace(std::wstring& nameSpace) {
        std::wstring component;
        for (;;) {
            if (!readName(component)) return false;
            nameSpace += component;
            if (take(L':')) return true;
            if (atEnd() || !isSeparator(peek())) return false;
            ++pos_;
            nameSpace += L'\\';
        }
    }

    bool readName(std::wstring& name) {
        const std::size_t start = pos_;
        if (atEnd() || !isNameStart(peek())) return false;
        while (!atEnd() && isNameChar(peek())) ++pos_;
        name = text_.substr(start, pos_ - start);
        return true;
    }

    bool readKeys(std::vector<std::pair<std::wstring, std::wstring>>& keys) {
        for (;;) {
            std::wstring name;
            std::wstring value;
            if (!readName(name) || !take(L'=') || !readValue(value)) return false;
            const bool duplicate = std::any_of(keys.begin(), keys.end(),
                                               [&](const auto& key) { return equalsIgnoreCase(key.first, name); });
            if (duplicate) return false;
            keys.emplace_back(std::move(name), std::move(value));
            if (atEnd()) return true;
            if (!take(L',')) return false;
        }
    }

    bool readValue(std::wstring& value) {
        const wchar_t quote = peek();
        if (quote == L'"' || quote == L'\'') {
            ++pos_;
            return readQuoted(quote, value);
        }
        const std::size_t start = pos_;
        take(L'-');
        const std::size_t digitsStart = pos_;
        while (!atEnd() && isDigit(peek())) ++pos_;
        if (pos_ == digitsStart) return false;
        value = text_.substr(start, pos_ - start);
        return true;
    }

    bool readQuoted(wchar_t quote, std::wstring& value) {
        while (!atEnd()) {
            const wchar_t c = text_[pos_++];
            if (c == quote) return true;
            if (c == L'\\' && !atEnd()) {
                const wchar_t next = peek();
                // A lone backslash before anything else is kept, so that a path whose author forgot to double
                // its backslashes still names the same instance.
                if (next == L'\\' || next == L'"' || next == L'\'') {
                    value += next;
                    ++pos_;
                    continue;
                }
            }
            value += c;
        }
        return false;
    }

    std::wstring_view text_;
    std::size_t pos_ = 0;
};

void appendQuoted(std::wstring& out, std::wstring_view value) {
    out += L'"';
    for (wchar_t c : value) {
        if (c == L'\\' || c == L'"') out += L'\\';
        out += c;
    }
    out += L'"';
}

std::vector<std::pair<std::wstring, std::wstring>> sortedKeys(
    const std::vector<std::pair<std::wstring, std::wstring>>& keys) {
    auto sorted = keys;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return compareIgnoreCase(a.first, b.first) < 0; });
    return sorted;
}

std::wstring format(std::wstring_view className, bool singleton,
                    const std::vector<std::pair<std::wstring, std::wstring>>& keys) {
    std::wstring out(className);
    if (singleton) return out + L"=@";
    const auto sorted = sortedKeys(keys);
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        out += i == 0 ? L'.' : L',';
        out += sorted[i].first;
        out += L'=';
        appendQuoted(out, sorted[i].second);
    }
    return out;
}

}  // namespace

std::wstring ObjectPath::relative() const {
    return format(className, singleton, keys);
}

std::wstring ObjectPath::full(std::wstring_view serverName, std::wstring_view namespaceName) const {
    std::wstring out = L"\\\\";
    out += serverName;
    out += L'\\';
    out += namespaceName;
    out += L':';
    return out + relative();
}

std::wstring ObjectPath::identity() const {
    auto folded = keys;
    for (auto& [name, value] : folded) {
        name = foldCase(name);
        value = foldCase(value);
    }
    return format(foldCase(className), singleton, folded);
}

std::optional<ObjectPath> parseObjectPath(std::wstring_view text) {
    return PathReader(text).read();
}

}  // namespace HyperVSim
