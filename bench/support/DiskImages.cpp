#include "support/DiskImages.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace VelmoraBench {
namespace {
constexpr std::size_t imageCount = 64;
}

DiskImages::DiskImages() {
    const auto folder =
        std::filesystem::temp_directory_path() / ("velmora-bench-" + std::to_string(static_cast<long>(getpid())));
    std::filesystem::create_directories(folder);
    folder_ = folder.wstring();
    for (std::size_t i = 0; i < imageCount; ++i) {
        const auto file = folder / ("disk-" + std::to_string(i) + ".vhdx");
        std::ofstream(file).put('\0');
        paths_.push_back(file.wstring());
    }
}

DiskImages::~DiskImages() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(folder_), ignored);
}

DiskImages& DiskImages::instance() {
    static DiskImages images;
    return images;
}

std::vector<const wchar_t*> DiskImages::first(std::size_t count) {
    if (count > imageCount) throw std::invalid_argument("at most 64 disk images");
    std::vector<const wchar_t*> result;
    for (std::size_t i = 0; i < count; ++i) result.push_back(instance().paths_[i].c_str());
    return result;
}

}  // namespace VelmoraBench
