#include "TemporaryDirectory.h"

#include <stdlib.h>

#include <cerrno>
#include <system_error>

namespace VelmoraCommand {

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-tour-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::filesystem::filesystem_error("cannot create a temporary directory", pattern,
                                                std::error_code(errno, std::generic_category()));
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;  // a directory someone else removed is no reason to fail the tour
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace VelmoraCommand
