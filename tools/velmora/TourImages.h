// The tour's image files where the host only checks that an image exists and how its name ends (the
// simulated host, off Windows or in HyperVSim.dll): empty files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Host.h"

namespace VelmoraCommand {

std::string emptyImagesStep(const std::filesystem::path& folder);
// Throws Failure naming the file that cannot be written.
TourHost::Images makeEmptyImages(const std::filesystem::path& folder, const std::vector<std::string>& names);

// "made disk0.vhdx, disk1.vhdx"
std::string madeImages(const std::vector<std::string>& names);

}  // namespace VelmoraCommand
