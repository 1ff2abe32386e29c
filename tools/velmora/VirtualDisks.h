// The tour's images on a Hyper-V host (Windows), which refuses a file that is not a virtual hard disk: small
// dynamic VHDX images made with the virtual disk service.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Host.h"

namespace VelmoraCommand {

std::string virtualDisksStep(const std::filesystem::path& folder);
// Throws Failure naming the image that cannot be made and why.
TourHost::Images makeVirtualDisks(const std::filesystem::path& folder, const std::vector<std::string>& names);

}  // namespace VelmoraCommand
