// The fidelity diff: the calls of a trace made against the simulated host's model, call by call, with every
// place where the model answers otherwise than the recorded host (HRESULT, ReturnValue, the classes, property
// types and values of the objects handed back, and their order). GUIDs, the host's name in paths and time
// stamps may differ: what a trace's later calls say about the recorded host's GUIDs and name is translated to
// what the model answered, so that they reach the model's objects.
#pragma once

#include <filesystem>
#include <vector>

#include "HyperVSim/Trace.h"

namespace HyperVSim {

// Throws TraceError for a trace that cannot be read. Calls whose outputs a trace does not keep are not made.
std::vector<TraceDifference> diffAgainstModel(const std::filesystem::path& path);

}  // namespace HyperVSim
