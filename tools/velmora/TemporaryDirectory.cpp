#include "TemporaryDirectory.h"

#include <random>

namespace VelmoraCommand {

TemporaryDirectory::TemporaryDirectory() {
    const auto base = std::filesystem::temp_directory_path();
    constexpr std::string_view letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    // create_directory makes the directory only when it is not there: a name someone else took is tried anew.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "velmora-tour-";
        for (int i = 0; i < 6; ++i) name += letters[pick(random)];
        if (std::filesystem::create_directory(base / name)) {
            path_ = base / name;
            // As mkdtemp makes it: the tour's files are nobody else's business.
            std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace);
            return;
        }
    }
    throw std::filesystem::filesystem_error("cannot create a temporary directory", base,
                                            std::make_error_code(std::errc::file_exists));
}

std::error_code TemporaryDirectory::remove() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
    removed_ = !error;
    return error;
}

TemporaryDirectory::~TemporaryDirectory() {
    // Only on a way out that did not remove it (an exception): there is nobody left to tell.
    if (!removed_) remove();
}

}  // namespace VelmoraCommand
