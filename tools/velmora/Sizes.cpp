#include "Sizes.h"

#include <array>
#include <cctype>
#include <limits>

namespace VelmoraCommand {
namespace {

struct Unit {
    std::string_view name;  // as formatSize writes it
    std::string_view shortName;
    std::string_view decimalLooking;  // what PowerShell and operators write for the same binary unit
    std::uint64_t factor;
};

// Largest first, so that formatSize picks the coarsest exact unit.
constexpr std::array<Unit, 4> units{{{"GiB", "G", "GB", 1ull << 30},
                                     {"MiB", "M", "MB", 1ull << 20},
                                     {"KiB", "K", "KB", 1ull << 10},
                                     {"B", "B", "B", 1}}};

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

const Unit* findUnit(std::string_view text) {
    if (text.empty()) return &units.back();
    for (const auto& unit : units)
        if (equalIgnoringCase(text, unit.name) || equalIgnoringCase(text, unit.shortName) ||
            equalIgnoringCase(text, unit.decimalLooking))
            return &unit;
    return nullptr;
}

ParsedSize refuse(std::string_view text, std::string_view why) {
    return {std::nullopt, "'" + std::string(text) + "' is not a size: " + std::string(why)};
}

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Reads decimal digits from `pos`; false when the number passes 64 bits.
bool readNumber(std::string_view text, std::size_t& pos, std::uint64_t& number, std::size_t& digits) {
    number = 0;
    digits = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos, ++digits) {
        const auto digit = static_cast<std::uint64_t>(text[pos] - '0');
        if (number > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return false;
        number = number * 10 + digit;
    }
    return true;
}

// "1.5" of a unit as a whole number of bytes, when it is one and fits.
std::optional<std::uint64_t> exactBytes(std::uint64_t whole, std::uint64_t fraction, std::size_t fractionDigits,
                                        std::uint64_t factor) {
    constexpr std::size_t mostDigits = 9;
    if (fractionDigits > mostDigits) return std::nullopt;
    constexpr std::uint64_t largest = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t scale = 1;
    for (std::size_t i = 0; i < fractionDigits; ++i) scale *= 10;
    if (whole > (largest - fraction) / scale) return std::nullopt;
    const std::uint64_t scaled = whole * scale + fraction;
    if (scaled > largest / factor || scaled * factor % scale != 0) return std::nullopt;
    return scaled * factor / scale;
}

}  // namespace

ParsedSize parseSize(std::string_view text) {
    std::size_t pos = 0;
    std::uint64_t number = 0;
    std::size_t digits = 0;
    if (!readNumber(text, pos, number, digits)) return refuse(text, "it is too large");
    if (digits == 0) return refuse(text, "write a whole number of bytes, or one with a unit B, KiB, MiB or GiB");

    std::uint64_t fraction = 0;
    std::size_t fractionDigits = 0;
    const bool fractional =
        pos + 1 < text.size() && (text[pos] == '.' || text[pos] == ',') && isDigit(text[pos + 1]);
    if (fractional) {
        ++pos;
        if (!readNumber(text, pos, fraction, fractionDigits)) return refuse(text, "the number must be whole");
    }
    if (pos < text.size() && text[pos] == ' ') ++pos;
    const Unit* unit = findUnit(text.substr(pos));
    if (unit == nullptr)
        return refuse(text, "the unit must be B, KiB, MiB or GiB (or KB, MB, GB, also meant as binary)");

    if (fractional) {
        std::string why = "the number must be whole";
        if (const auto bytes = exactBytes(number, fraction, fractionDigits, unit->factor); bytes && *bytes != 0) {
            std::string exact = formatSize(*bytes);
            exact.erase(exact.find(' '), 1);
            why += " (" + std::to_string(number) + "." + std::string(text.substr(digits + 1, fractionDigits)) +
                   " " + std::string(unit->name) + " is " + exact + ")";
        }
        return refuse(text, why);
    }
    if (number == 0) return refuse(text, "it is zero");
    if (number > std::numeric_limits<std::uint64_t>::max() / unit->factor) return refuse(text, "it is too large");
    return {number * unit->factor, {}};
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
