// Virtual hard-disk image files for setDiskImages: empty .vhdx files in a temporary folder of their own
// (the simulated host checks that an image exists), removed again when the process ends.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace VelmoraBench {

class DiskImages {
public:
    // The first `count` images (at most 64), made on first use.
    static std::vector<const wchar_t*> first(std::size_t count);

private:
    DiskImages();
    ~DiskImages();
    static DiskImages& instance();
    std::wstring folder_;
    std::vector<std::wstring> paths_;
};

}  // namespace VelmoraBench
