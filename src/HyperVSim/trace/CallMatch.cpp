#include "trace/CallMatch.h"

#include <type_traits>

#include "cimxml/Text.h"

namespace HyperVSim {
namespace {

std::wstring widened(const std::string& text) {
    return cimxml::fromUtf8(text);
}

std::wstring describeValue(const TraceValue& value) {
    return std::visit(
        [](const auto& held) -> std::wstring {
            using T = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return L"null";
            } else if constexpr (std::is_same_v<T, bool>) {
                return held ? L"true" : L"false";
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return std::to_wstring(held);
            } else if constexpr (std::is_same_v<T, std::wstring>) {
                return L"\"" + held + L"\"";
            } else if constexpr (std::is_same_v<T, TraceObject>) {
                const auto read = recordOf(held);
                return read.record ? L"<" + describeObject(*read.record) + L">" : L"<unreadable object>";
            } else {
                return std::to_wstring(held.size()) + L" objects";
            }
        },
        value);
}

std::optional<std::wstring> valueDifference(const TraceValue& actual, const TraceValue& recorded,
                                            const SameText& same) {
    const std::wstring mismatch = describeValue(actual) + L" where the trace has " + describeValue(recorded);
    if (actual.index() != recorded.index()) return mismatch;
    if (std::holds_alternative<std::monostate>(actual)) return std::nullopt;
    if (const auto* flag = std::get_if<bool>(&actual)) {
        if (*flag == std::get<bool>(recorded)) return std::nullopt;
    } else if (const auto* number = std::get_if<std::int64_t>(&actual)) {
        if (*number == std::get<std::int64_t>(recorded)) return std::nullopt;
    } else if (const auto* text = std::get_if<std::wstring>(&actual)) {
        if (same(*text, std::get<std::wstring>(recorded))) return std::nullopt;
    } else if (const auto* object = std::get_if<TraceObject>(&actual)) {
        const auto left = recordOf(*object);
        const auto right = recordOf(std::get<TraceObject>(recorded));
        if (!left.record || !right.record) return L"an object that cannot be read";
        return contentDifference(*left.record, *right.record, same);
    }
    return mismatch;
}

}  // namespace

std::wstring describeCall(const TraceCall& call) {
    std::wstring text = widened(call.interfaceName) + L"::" + widened(call.method);
    if (call.on) text += L" on #" + std::to_wstring(*call.on);
    text += L" (";
    for (std::size_t i = 0; i < call.arguments.size(); ++i)
        text += (i ? L", " : L"") + widened(call.arguments[i].name) + L" " + describeValue(call.arguments[i].value);
    return text + L")";
}

std::optional<std::wstring> callDifference(const TraceCall& actual, const TraceCall& recorded,
                                           const SameText& same) {
    if (actual.interfaceName != recorded.interfaceName || actual.method != recorded.method) return L"another call";
    if (actual.on != recorded.on) return L"made on another object";
    if (actual.arguments.size() != recorded.arguments.size()) return L"other arguments";
    for (std::size_t i = 0; i < actual.arguments.size(); ++i) {
        const auto& mine = actual.arguments[i];
        const auto& theirs = recorded.arguments[i];
        if (mine.name != theirs.name) return L"other arguments";
        if (auto difference = valueDifference(mine.value, theirs.value, same))
            return L"its " + widened(mine.name) + L" differs: " + *difference;
    }
    return std::nullopt;
}

}  // namespace HyperVSim
