// The tour replayed from a trace: the trace is the host, so nothing is shown of it or left on it, and the tour
// names its machine and attaches its images as the recorded tour did (RecordedTour.h).
#pragma once

#include <memory>
#include <string>

#include "Host.h"

namespace VelmoraCommand {

// Throws BadInput when the trace cannot be read.
std::unique_ptr<TourHost> openReplayTourHost(const std::string& trace);

}  // namespace VelmoraCommand
