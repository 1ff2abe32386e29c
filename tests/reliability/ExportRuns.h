// One successful call of each export, ready to be repeated: a run puts the host in place and hands back the
// call, which owns everything the export reads. The sweeps repeat each run with one fault or one failing
// allocation.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace VelmoraTest {

struct ExportRun {
    std::string name;
    // Seeds the host (after HyperVSim::Control::reset) and returns the export call.
    std::function<std::function<bool()>()> prepare;
};

// An image file on disk (the host attaches only files that exist), in a folder of this process that is
// removed when it ends.
std::wstring makeImage(const std::wstring& name);

// createVM (with two adapters), deleteVM, startVM, stopVM, setDiskImages (generation 1 past the IDE drives
// into SCSI, and generation 2), retrieveAvailableNetworkAdapters and retrieveUsedMemory.
const std::vector<ExportRun>& exportRuns();

}  // namespace VelmoraTest
