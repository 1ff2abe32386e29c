#include "Validators.h"

#include <cstdint>
#include <filesystem>
#include <limits>

#include "Sizes.h"
#include "Text.h"

namespace VelmoraCommand {

CLI::Validator generationValidator() {
    return CLI::Validator(
        [](std::string& value) -> std::string {
            if (value == "1" || value == "2") return {};
            return "the generation must be 1 or 2, not '" + value + "'";
        },
        "");
}

CLI::Validator memoryValidator() {
    return CLI::Validator(
        [](std::string& value) -> std::string {
            const auto size = parseSize(value);
            if (!size.bytes) return size.error;
            constexpr std::uint64_t mebibyte = 1ull << 20;
            constexpr std::uint64_t step = 2 * mebibyte;
            constexpr std::uint64_t least = 32 * mebibyte;
            // The largest even number of MiB that the library's signed 32-bit MiB count can hold.
            constexpr std::uint64_t most = (std::numeric_limits<std::int32_t>::max() - 1ull) * mebibyte;
            const std::uint64_t bytes = *size.bytes;
            if (bytes % step != 0 || bytes < least)
                return "'" + value + "' (" + describeSize(bytes) +
                       ") is not a memory size Hyper-V takes: static memory is a multiple of 2 MiB, at least "
                       "32 MiB (e.g. 512MiB, 2GiB)";
            if (bytes > most) return "'" + value + "' is too much memory: at most " + formatSize(most);
            return {};
        },
        "");
}

CLI::Validator machineNameValidator() {
    return CLI::Validator(
        [](std::string& value) -> std::string { return machineNameProblem(value).value_or(std::string()); }, "");
}

CLI::Validator notEmptyValidator(const std::string& what) {
    return CLI::Validator(
        [what](std::string& value) -> std::string { return value.empty() ? what + " cannot be empty" : ""; }, "");
}

CLI::Validator imageFileValidator() {
    return CLI::Validator(
        [](std::string& value) -> std::string {
            std::error_code error;
            const auto status = std::filesystem::status(value, error);
            if (!std::filesystem::exists(status)) return "the image file '" + value + "' does not exist";
            if (std::filesystem::is_directory(status)) return "'" + value + "' is a directory, not an image file";
            return {};
        },
        "");
}

CLI::Validator wholeNumberValidator(long long low, long long high, const std::string& unit) {
    const std::string range = std::to_string(low) + ".." + std::to_string(high);
    return CLI::Validator(
        [low, high, unit, range](std::string& value) -> std::string {
            long long number = 0;
            std::size_t used = 0;
            try {
                number = std::stoll(value, &used, 10);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used == 0 || used != value.size() || number < low || number > high)
                return "'" + value + "' is not a whole number of " + unit + " in " + range;
            return {};
        },
        range);
}

}  // namespace VelmoraCommand
