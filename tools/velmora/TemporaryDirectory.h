// A directory of the tour's own under the system's temporary directory ("velmora-tour-" and six letters or
// digits), removed with everything in it.
#pragma once

#include <filesystem>
#include <system_error>

namespace VelmoraCommand {

class TemporaryDirectory {
public:
    TemporaryDirectory();  // throws std::filesystem::filesystem_error
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Removes it now, saying why when it cannot; otherwise it goes when the object does.
    std::error_code remove();

private:
    std::filesystem::path path_;
    bool removed_ = false;
};

}  // namespace VelmoraCommand
