// The image files of `velmora disks`: checked before the call, and afterwards read from the call's log for
// the ones the library skipped.
#pragma once

#include <string>
#include <vector>

#include "LogSink.h"

namespace VelmoraCommand {

// Absolute paths, since Hyper-V opens the images itself, from its own working directory. Throws BadInput for
// an image given twice (by any spelling of its path).
std::vector<std::string> imagePaths(const std::vector<std::string>& arguments);

// The positions of the images that setDiskImages skipped: it logs "Trying to add disk image: " for each image
// in order, and "Disk has already added. Continue" when it could not add a drive for the image at hand.
std::vector<std::size_t> skippedImages(const std::vector<LogLine>& lines);

}  // namespace VelmoraCommand
