#include "hyperv/ImageFiles.h"

#include <atomic>
#include <filesystem>

namespace HyperVSim {
namespace {

// The host's method handlers may run on a thread other than the diff's: a flag for the process.
std::atomic<bool> takenAsPresent{false};

}  // namespace

ImageFile inspectImageFile(const std::wstring& path) {
    if (takenAsPresent.load()) return ImageFile::Present;
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::path(path), error)) return ImageFile::Missing;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), error)) return ImageFile::NotAFile;
    return ImageFile::Present;
}

ImageFilesTakenAsPresent::ImageFilesTakenAsPresent(bool taken) : taken_(taken) {
    if (taken_) takenAsPresent.store(true);
}

ImageFilesTakenAsPresent::~ImageFilesTakenAsPresent() {
    if (taken_) takenAsPresent.store(false);
}

}  // namespace HyperVSim
