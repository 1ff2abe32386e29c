// What the trace of a tour says of the tour that was recorded: the name it gave its machine and the image
// files it attached. The recorded tour chose them itself (after its temporary folder, on the host it ran on),
// and a replay must send the host what the recorded tour sent.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace VelmoraCommand {

struct RecordedTour {
    std::optional<std::string> machineName;  // ElementName of the settings of the first DefineSystem
    std::vector<std::string> images;         // HostResource of each virtual hard disk added, in order
};

// Nothing of either when the trace holds no tour. Throws BadInput naming the file and line that cannot be
// read.
RecordedTour readRecordedTour(const std::string& trace);

}  // namespace VelmoraCommand
