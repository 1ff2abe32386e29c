#include "DiskImages.h"

#include <filesystem>
#include <map>
#include <system_error>

#include "BadInput.h"

namespace VelmoraCommand {

std::vector<std::string> imagePaths(const std::vector<std::string>& arguments) {
    std::vector<std::string> paths;
    std::map<std::filesystem::path, std::string> seen;  // the file itself, and how it was first given
    for (const auto& argument : arguments) {
        std::error_code error;
        auto file = std::filesystem::weakly_canonical(argument, error);
        if (error) file = std::filesystem::absolute(argument).lexically_normal();
        const auto [first, added] = seen.emplace(file, argument);
        if (!added) {
            const std::string spelling =
                first->second == argument ? "" : " (as '" + first->second + "' and '" + argument + "')";
            throw BadInput("the image '" + argument + "' is given twice" + spelling +
                           "; a file can be attached once");
        }
        paths.push_back(std::filesystem::absolute(argument).lexically_normal().string());
    }
    return paths;
}

std::vector<std::size_t> skippedImages(const std::vector<LogLine>& lines) {
    constexpr std::string_view trying = "Trying to add disk image: ";
    constexpr std::string_view skipped = "Disk has already added. Continue";
    std::vector<std::size_t> positions;
    std::size_t tried = 0;
    for (const auto& line : lines) {
        if (line.text.starts_with(trying))
            ++tried;
        else if (line.text == skipped && tried > 0)
            positions.push_back(tried - 1);
    }
    return positions;
}

}  // namespace VelmoraCommand
