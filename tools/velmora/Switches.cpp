#include "Switches.h"

#include <algorithm>

#include "BadInput.h"
#include "Text.h"

namespace VelmoraCommand {
namespace {

// The next zero-terminated string from `pos`, or nothing when the buffer ends first.
bool nextString(const Velmora::NetworksList& list, std::size_t& pos, std::wstring& out) {
    constexpr std::size_t capacity = Velmora::networksListCapacity;
    if (pos >= capacity) return false;
    const wchar_t* begin = list.entries + pos;
    const wchar_t* end = std::find(begin, list.entries + capacity, L'\0');
    if (end == list.entries + capacity) return false;
    out.assign(begin, end);
    pos += out.size() + 1;
    return true;
}

std::string listOf(const std::vector<Switch>& switches) {
    if (switches.empty()) return "the host has no virtual switch";
    return "the host has:\n" + switchTable(switches, "  ");
}

}  // namespace

std::vector<Switch> parseNetworksList(const Velmora::NetworksList& list) {
    std::vector<Switch> switches;
    std::size_t pos = 0;
    std::wstring path;
    std::wstring name;
    while (nextString(list, pos, path) && !path.empty()) {
        if (!nextString(list, pos, name)) name.clear();
        switches.push_back({narrow(path), narrow(name)});
    }
    return switches;
}

bool isSwitchPath(const std::string& argument) {
    return foldCase(widen(argument)).find(L"msvm_virtualethernetswitch.") != std::wstring::npos;
}

std::vector<std::string> resolveSwitches(const std::vector<std::string>& arguments,
                                         const std::vector<Switch>& available) {
    std::vector<std::string> paths;
    for (const auto& argument : arguments) {
        if (isSwitchPath(argument)) {
            paths.push_back(argument);
            continue;
        }
        const std::wstring wanted = foldCase(widen(argument));
        std::vector<Switch> matches;
        for (const auto& candidate : available)
            if (foldCase(widen(candidate.name)) == wanted) matches.push_back(candidate);
        if (matches.empty()) throw BadInput("no virtual switch is named '" + argument + "'; " + listOf(available));
        if (matches.size() > 1)
            throw BadInput("the switch name '" + argument + "' is ambiguous; give the path of one of these:\n" +
                           switchTable(matches, "  "));
        paths.push_back(matches.front().path);
    }
    return paths;
}

std::string switchTable(const std::vector<Switch>& switches, const std::string& indent) {
    std::size_t width = 0;
    for (const auto& s : switches) width = std::max(width, displayWidth(oneLine(s.name)));
    std::string table;
    for (const auto& s : switches) {
        const std::string name = oneLine(s.name);
        table += indent + name + std::string(width - displayWidth(name) + 2, ' ') + s.path + "\n";
    }
    return table;
}

}  // namespace VelmoraCommand
