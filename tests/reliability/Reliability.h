// Shared by the reliability tests: the lines the library may write, a successful call of each export to repeat
// with a fault, a nested call that shows whether an export gives the caller's callback back, a scratch folder.
#pragma once

#include <filesystem>
#include <functional>

#include "LibraryTest.h"

namespace VelmoraTest {

// Whether `line` is a documented line or starts with the documented head of a line that a value completes
// (a path, a name, a code): a fault must never make the library say something nobody documented.
bool isAllowedLine(const std::string& line);

// A folder of this process, removed when it ends, and image files in it (the host attaches only those that exist).
const std::filesystem::path& scratchFolder();
std::wstring makeImage(const std::wstring& name);

struct ExportRun {
    std::string name;
    // Seeds the host (after HyperVSim::Control::reset) and returns the export call, which owns what it reads.
    std::function<std::function<bool()>()> prepare;
};

// createVM (with two adapters), deleteVM, startVM, stopVM, setDiskImages (generation 1 past the IDE drives
// into SCSI, and generation 2), retrieveAvailableNetworkAdapters and retrieveUsedMemory.
const std::vector<ExportRun>& exportRuns();

struct NestedOutcome {
    bool result = false;
    bool threw = false;  // the call left by Velmora::HResultError with this code:
    HRESULT code = S_OK;
    bool restored = false;  // the outer export went on logging to its own callback, and only there
};

// Runs `call` from inside the log callback of another export (retrieveUsedMemory, at its first line, before
// it makes any WMI call), then `after` (e.g. to disarm a fault), still inside.
NestedOutcome runNested(const std::function<bool()>& call, const std::function<void()>& after = {});

}  // namespace VelmoraTest
