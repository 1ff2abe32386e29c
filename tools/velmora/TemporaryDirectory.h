// A directory of the tour's own under the system's temporary directory, removed with everything in it.
#pragma once

#include <filesystem>

namespace VelmoraCommand {

class TemporaryDirectory {
public:
    TemporaryDirectory();  // throws std::filesystem::filesystem_error
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace VelmoraCommand
