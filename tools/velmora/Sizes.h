// Memory sizes as an operator writes them: a whole number of bytes, optionally with a binary unit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace VelmoraCommand {

struct ParsedSize {
    std::optional<std::uint64_t> bytes;
    std::string error;  // why the text is not a size, when `bytes` is empty
};

// Accepts "1073741824", "512B", "4KiB", "512MiB", "2GiB", also with a blank before the unit and with the unit in
// any case. KB, MB and GB, and K, M and G, mean KiB, MiB and GiB, as they do in PowerShell (2GB is 2147483648
// bytes). Fractions, signs, zero and sizes beyond 64 bits are refused: each of them would leave the operator
// unsure how many bytes the machine gets. A fraction is refused for its number, with the whole number of a
// smaller unit when there is one ("1.5GiB": 1536MiB).
ParsedSize parseSize(std::string_view text);

// The size in the largest unit that divides it exactly ("2 GiB", "1536 MiB", "1000 B"), so that the text can
// be given back to parseSize.
std::string formatSize(std::uint64_t bytes);

// For people: "64 GiB (68719476736 bytes)", or "1000 bytes" when no unit above bytes fits.
std::string describeSize(std::uint64_t bytes);

}  // namespace VelmoraCommand
