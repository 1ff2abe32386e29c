#include "Sizes.h"

#include <array>
#include <cctype>
#include <limits>

namespace VelmoraCommand {
namespace {

struct Unit {
    std::string_view name;
    std::uint64_t factor;
};

// Largest first, so that formatSize picks the coarsest exact unit.
constexpr std::array<Unit, 4> units{{{"GiB", 1ull << 30}, {"MiB", 1ull << 20}, {"KiB", 1ull << 10}, {"B", 1}}};

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

ParsedSize refuse(std::string_view text, std::string_view why) {
    return {std::nullopt, "'" + std::string(text) + "' is not a size: " + std::string(why)};
}

}  // namespace

ParsedSize parseSize(std::string_view text) {
    std::size_t pos = 0;
    std::uint64_t number = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        const auto digit = static_cast<std::uint64_t>(text[pos] - '0');
        if (number > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            return refuse(text, "it is too large");
        number = number * 10 + digit;
        ++pos;
    }
    if (pos == 0) return refuse(text, "write a whole number of bytes, or one with a unit B, KiB, MiB or GiB");
    if (pos < text.size() && text[pos] == ' ') ++pos;
    const std::string_view unitText = text.substr(pos);

    std::uint64_t factor = 1;
    if (!unitText.empty()) {
        const Unit* found = nullptr;
        for (const auto& unit : units)
            if (equalIgnoringCase(unitText, unit.name)) found = &unit;
        if (found == nullptr) return refuse(text, "the unit must be B, KiB, MiB or GiB");
        factor = found->factor;
    }
    if (number == 0) return refuse(text, "it is zero");
    if (number > std::numeric_limits<std::uint64_t>::max() / factor) return refuse(text, "it is too large");
    return {number * factor, {}};
}

std::string formatSize(std::uint64_t bytes) {
    for (const auto& unit : units)
        if (bytes != 0 && bytes % unit.factor == 0)
            return std::to_string(bytes / unit.factor) + " " + std::string(unit.name);
    return "0 B";
}

std::string describeSize(std::uint64_t bytes) {
    const std::string exact = std::to_string(bytes) + " bytes";
    if (bytes == 0 || bytes % units[2].factor != 0) return exact;
    return formatSize(bytes) + " (" + exact + ")";
}

}  // namespace VelmoraCommand
