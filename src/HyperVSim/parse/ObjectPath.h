// WMI object paths: \\SERVER\namespace:Class.Key="value",... and the relative and class-only forms.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace HyperVSim {

struct ObjectPath {
    std::wstring server;     // "" for a relative path; "." and "localhost" are kept as written
    std::wstring nameSpace;  // separators always '\'; "" when the path names none
    std::wstring className;
    std::vector<std::pair<std::wstring, std::wstring>> keys;  // name and unescaped value, in the order written
    bool singleton = false;                                   // Class=@

    // Class.KeyA="v",KeyB="w" with keys sorted by name ignoring case and '\' and '"' escaped, as WMI prints
    // __RELPATH. Numeric keys are quoted too, so that one instance has one text whichever way it was written.
    std::wstring relative() const;
    // \\server\nameSpace:relative()
    std::wstring full(std::wstring_view serverName, std::wstring_view namespaceName) const;
    // Equal for two paths that WMI resolves to the same object within one namespace: names and values
    // compared without case, key order ignored. Server and namespace are left out.
    std::wstring identity() const;
};

// nullopt when the text is not a well-formed path.
std::optional<ObjectPath> parseObjectPath(std::wstring_view text);

}  // namespace HyperVSim
