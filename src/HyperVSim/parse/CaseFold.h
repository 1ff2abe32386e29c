// WMI compares class names, property names and string values without regard to case. These helpers are the one
// place that decides what "without regard to case" means for the simulated host.
#pragma once

#include <string>
#include <string_view>

namespace HyperVSim {

wchar_t foldCase(wchar_t c);
std::wstring foldCase(std::wstring_view text);
bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b);
// Negative, zero or positive like std::wstring_view::compare, on folded characters.
int compareIgnoreCase(std::wstring_view a, std::wstring_view b);

}  // namespace HyperVSim
