#include "TourImages.h"

#include <fstream>

#include "Failure.h"

namespace VelmoraCommand {

std::string emptyImagesStep(const std::filesystem::path& folder) {
    return "Make two empty image files in " + folder.string();
}

TourHost::Images makeEmptyImages(const std::filesystem::path& folder, const std::vector<std::string>& names) {
    TourHost::Images images;
    for (const auto& name : names) {
        // libstdc++ takes and gives paths as UTF-8 on Windows as well.
        const auto path = folder / name;
        if (!std::ofstream(path)) throw Failure("cannot write " + path.string());
        images.paths.push_back(path.string());
    }
    images.outcome = madeImages(names);
    return images;
}

std::string madeImages(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "made " : ", ") + name;
    return text;
}

}  // namespace VelmoraCommand
