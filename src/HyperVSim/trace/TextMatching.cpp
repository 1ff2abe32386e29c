#include "trace/TextMatching.h"

#include <cwctype>

#include "parse/CaseFold.h"

namespace HyperVSim {
namespace {

bool isHex(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool isGuidAt(std::wstring_view text, std::size_t offset) {
    if (offset + guidLength > text.size()) return false;
    for (std::size_t i = 0; i < guidLength; ++i) {
        const wchar_t c = text[offset + i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != L'-' : !isHex(c)) return false;
    }
    // Not part of a longer run of hex digits.
    const bool cleanBefore = offset == 0 || !isHex(text[offset - 1]);
    const bool cleanAfter = offset + guidLength == text.size() || !isHex(text[offset + guidLength]);
    return cleanBefore && cleanAfter;
}

// Servers of paths: the NAME of each "\\NAME\root" (any case of "root").
struct ServerSpan {
    std::size_t offset = 0;
    std::size_t length = 0;
};

std::vector<ServerSpan> findServers(std::wstring_view text) {
    std::vector<ServerSpan> servers;
    for (std::size_t at = text.find(L"\\\\"); at != std::wstring_view::npos; at = text.find(L"\\\\", at + 2)) {
        const std::size_t start = at + 2;
        const std::size_t end = text.find(L'\\', start);
        if (end == std::wstring_view::npos || end == start) continue;
        if (!equalsIgnoreCase(text.substr(end + 1, 4), L"root")) continue;
        servers.push_back({start, end - start});
        at = end - 1;
    }
    return servers;
}

}  // namespace

std::wstring upperCase(std::wstring_view text) {
    std::wstring result(text);
    for (auto& c : result) c = static_cast<wchar_t>(std::towupper(c));
    return result;
}

std::vector<GuidSpan> findGuids(std::wstring_view text) {
    std::vector<GuidSpan> guids;
    for (std::size_t offset = 0; offset + guidLength <= text.size();) {
        if (isGuidAt(text, offset)) {
            guids.push_back({offset});
            offset += guidLength;
        } else {
            ++offset;
        }
    }
    return guids;
}

bool sameWithGuids(std::wstring_view actual, std::wstring_view recorded,
                   const std::function<bool(std::wstring_view guid)>& mustEqual) {
    if (actual == recorded) return true;
    const auto actualGuids = findGuids(actual);
    const auto recordedGuids = findGuids(recorded);
    if (actualGuids.size() != recordedGuids.size()) return false;
    std::size_t actualAt = 0;
    std::size_t recordedAt = 0;
    for (std::size_t i = 0; i < actualGuids.size(); ++i) {
        const std::size_t a = actualGuids[i].offset;
        const std::size_t r = recordedGuids[i].offset;
        if (actual.substr(actualAt, a - actualAt) != recorded.substr(recordedAt, r - recordedAt)) return false;
        const std::wstring_view recordedGuid = recorded.substr(r, guidLength);
        if (mustEqual(recordedGuid) && !equalsIgnoreCase(actual.substr(a, guidLength), recordedGuid)) return false;
        actualAt = a + guidLength;
        recordedAt = r + guidLength;
    }
    return actual.substr(actualAt) == recorded.substr(recordedAt);
}

std::wstring withoutIdentities(std::wstring_view text) {
    std::wstring guidless;
    std::size_t at = 0;
    for (const auto& guid : findGuids(text)) {
        guidless.append(text.substr(at, guid.offset - at)).append(L"GUID");
        at = guid.offset + guidLength;
    }
    guidless.append(text.substr(at));
    std::wstring result;
    at = 0;
    for (const auto& server : findServers(guidless)) {
        result.append(guidless.substr(at, server.offset - at)).append(L"HOST");
        at = server.offset + server.length;
    }
    result.append(guidless.substr(at));
    return result;
}

void IdentityMap::learn(std::wstring_view traced, std::wstring_view other) {
    const auto tracedGuids = findGuids(traced);
    const auto otherGuids = findGuids(other);
    if (tracedGuids.size() == otherGuids.size())
        for (std::size_t i = 0; i < tracedGuids.size(); ++i)
            guids_.emplace(upperCase(traced.substr(tracedGuids[i].offset, guidLength)),
                           upperCase(other.substr(otherGuids[i].offset, guidLength)));
    const auto tracedServers = findServers(traced);
    const auto otherServers = findServers(other);
    if (tracedServers.size() == otherServers.size())
        for (std::size_t i = 0; i < tracedServers.size(); ++i)
            hosts_.emplace(upperCase(traced.substr(tracedServers[i].offset, tracedServers[i].length)),
                           std::wstring(other.substr(otherServers[i].offset, otherServers[i].length)));
}

void IdentityMap::learnHost(std::wstring_view traced, std::wstring_view other) {
    if (!traced.empty() && !other.empty()) hosts_.emplace(upperCase(traced), std::wstring(other));
}

std::wstring IdentityMap::translate(std::wstring_view traced) const {
    std::wstring result;
    std::size_t at = 0;
    for (const auto& guid : findGuids(traced)) {
        const std::wstring_view original = traced.substr(guid.offset, guidLength);
        result.append(traced.substr(at, guid.offset - at));
        const auto mapped = guids_.find(upperCase(original));
        if (mapped == guids_.end()) {
            result.append(original);
        } else {
            // Keep the case the trace wrote it in: some properties hold GUIDs in lower case.
            const bool lower = original != upperCase(original);
            std::wstring replacement = mapped->second;
            if (lower)
                for (auto& c : replacement) c = static_cast<wchar_t>(std::towlower(c));
            result.append(replacement);
        }
        at = guid.offset + guidLength;
    }
    result.append(traced.substr(at));
    if (hosts_.empty()) return result;
    std::wstring hosted;
    at = 0;
    for (const auto& server : findServers(result)) {
        hosted.append(result.substr(at, server.offset - at));
        const std::wstring_view name = std::wstring_view(result).substr(server.offset, server.length);
        const auto mapped = hosts_.find(upperCase(name));
        hosted.append(mapped == hosts_.end() ? std::wstring(name) : mapped->second);
        at = server.offset + server.length;
    }
    hosted.append(result.substr(at));
    // Values that name the host: SystemName="NAME" in a path, or the whole text.
    for (const auto& [name, other] : hosts_) {
        if (upperCase(hosted) == name) return other;
        const std::wstring quoted = L"\"" + name + L"\"";
        for (std::size_t found = upperCase(hosted).find(quoted); found != std::wstring::npos;
             found = upperCase(hosted).find(quoted, found + other.size() + 2))
            hosted.replace(found + 1, name.size(), other);
    }
    return hosted;
}

}  // namespace HyperVSim
