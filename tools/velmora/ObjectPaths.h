// Telling a WMI object path from a name, and putting a name into a WQL query.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace VelmoraCommand {

// The class an object path names: "Msvm_ComputerSystem" for
// \\HOST\root\virtualization\v2:Msvm_ComputerSystem.CreationClassName="Msvm_ComputerSystem",Name="...", with or
// without the server and namespace. Nothing for text of another shape, such as a machine's name.
std::optional<std::string> objectPathClass(std::string_view text);

// A WQL string literal holding `text`: in double quotes, with backslashes and both quotes escaped, so that
// the text is compared and never read as part of the query.
std::wstring wqlString(std::wstring_view text);

}  // namespace VelmoraCommand
