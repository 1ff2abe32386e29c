#include "Reliability.h"

#include <HyperVSim/Control.h>

#include <unistd.h>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string_view>
#include <utility>

#include "Velmora/HResultError.h"

namespace VelmoraTest {
namespace {

using HyperVSim::Control;

// Documented lines as they stand, and the heads of those that a value completes; packed as a table.
// clang-format off
constexpr std::string_view wholeLines[] = {
    "Initializing COM", "Connect to the server", "Connect to the server - OK", "Null namespace!", "Executing query",
    "Query returned no objects!", "Query returned no matching objects!", "Query returned null object!",
    "Query::Next failed", "Get null object!", "Failed to get object field", "Get '__Path'", "Get 'BlockSize'",
    "Get 'ElementName'", "Get 'Name'", "Get 'NumberOfBlocks'", "Get 'PartComponent'", "Get 'ValueRole'",
    "Returned null method params!", "Spawn instance", "Spawned null instance!", "Null call result!",
    "Null out params!", "Can't create instance of IWbemObjectTextSrc", "Can't serialize IWbemClassObject",
    "Request default object form resource pool", "Result count == 0", "Settings == VT_NULL",
    "Skipped. Name != 'Microsoft'", "Add resource settings", "Starting VM", "Stopping VM",
    "Request VM state change", "Request VM state change - OK", "VM seems to be already deleted",
    "VM is already in the requested state", "Delete VM", "Delete VM - OK", "Set VM RAM", "Request VM RAM - OK",
    "Failed to set RAM value. Default value 1024 MB will be used", "Setting CPU cores", "Set CPU cores - OK",
    "Failed to set cpu cores number. Default value 1 cpu core will be used", "Create VM", "Create VM - OK",
    "Generation 1 is used", "Set network adapters", "Set network adapters - OK",
    "Failed to set up connection to network adapters", "Creating adapters", "Create syntetic adapter",
    "Cannot create new synthetic adapter", "Cannot get adapter", "Cannot get virtual system settings data",
    "Generating adapter GUID", "Geterating adapter GUID", "GUID generating failed", "Create connection",
    "Create connection - OK", "Failed to create connection to synthetic adapter", "Set disk images",
    "Set disk images - OK", "Get IDE controllers", "Get IDE controllers - OK", "Failed to get IDE controllers",
    "Get SCSI controller", "Failed to get SCSI controller", "SCSI controller has already added. Using it.",
    "Controller added", "Controller skipped - wrong subtype", "Disk has already added. Continue",
    "Maximum IDE disk reached. Starting add to SCSI", "Get available network adapters",
    "Get available network adapters - OK", "Get used memory", "Get used memory - OK",
    "Failed to convert block size to integer value.", "Failed to convert blocks number to integer value.",
    "ResultingSystem holds no path"};

constexpr std::string_view lineHeads[] = {
    "Failed to initialize COM library. Error: ", "Failed to initialize security. Error: ",
    "Failed to create IWbemLocator object, err=", "Could not connect, err=", "Could not set proxy blanket. err=",
    "Open namespace: ", "Failed to open namespace, err=", "Query failed, err=", "Query::Next failed, err=",
    "Get object: ", "Could not get object: ", "Get class instance: ",
    "Invalid type of field, expected string, got ", "Get method params: ", "Could not get method, err=",
    "SpawnInstance call failed, err=", "Put value: ", "Put param failed, err= ", "Executing method: ",
    "Call failed, err= ", "Faled to get call status", "Call failed, status: ", "Could not get method result, err=",
    "RequestStateChange returned ", "DestroySystem returned ", "DefineSystem returned ",
    "ModifyResourceSettings returned ", "AddResourceSettings returned ", "Can't get ResultingSystem, res= ",
    "Invalid type of ResultingSystem, expected string, got ", "Request result: ", "Trying to add disk image: ",
    "Invalid VM generation: ", "ResultingSystem does not fit the VM path, characters: ",
    "No list of network adapters given for a count of ", "No list of disk images given for a count of ",
    "VM RAM of 2^31 MiB or more cannot be set, MiB requested: ", "CPU reservation out of range, percent: ",
    "CPU limit out of range, percent: "};
// clang-format on

struct ScratchFolder {
    ScratchFolder() { std::filesystem::create_directories(path); }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("velmora-reliability-" + std::to_string(::getpid()));
};

// Texts that outlive the calls reading them through pointers.
struct Texts {
    explicit Texts(std::vector<std::wstring> all) : texts(std::move(all)) {
        for (const auto& text : texts) pointers.push_back(text.c_str());
    }
    std::uint32_t count() const { return static_cast<std::uint32_t>(pointers.size()); }
    const std::vector<std::wstring> texts;
    std::vector<const wchar_t*> pointers;
};

std::function<bool()> createCall() {
    std::vector<std::wstring> paths;
    for (const auto& view : Control::switches()) paths.push_back(view.path);
    auto switches = std::make_shared<Texts>(std::move(paths));
    return [switches] {
        const Velmora::VMSettings settings{
            L"swept",         2, std::uint64_t{2048} << 20, L"C:\\VMs", {2, 10, 90, 200}, switches->pointers.data(),
            switches->count()};
        Velmora::CreatedVM created{};
        return Velmora::createVM(captureLog, settings, created);
    };
}

std::function<bool()> pathCall(bool (*exportCall)(Velmora::LogCallback, const wchar_t*)) {
    auto path = std::make_shared<std::wstring>(Control::defineMachine(L"swept", 2));
    return [path, exportCall] { return exportCall(captureLog, path->c_str()); };
}

std::function<bool()> disksCall(std::uint32_t generation, unsigned count) {
    std::vector<std::wstring> names;
    for (unsigned i = 0; i < count; ++i) names.push_back(makeImage(L"disk" + std::to_wstring(i) + L".vhdx"));
    auto images = std::make_shared<Texts>(std::move(names));
    auto path = std::make_shared<std::wstring>(Control::defineMachine(L"swept", static_cast<int>(generation)));
    return [=] {
        return Velmora::setDiskImages(captureLog, path->c_str(), generation, images->pointers.data(), count);
    };
}

// An export that reports into one out-parameter, on the heap (a list of networks is large).
template <typename Out, bool (*Export)(Velmora::LogCallback, Out&)>
std::function<bool()> outCall() {
    return [] { return Export(captureLog, *std::make_unique<Out>()); };
}

LogLines outerLines;  // the sweeps run on one thread
std::function<void()> innerCall;

void outerLog(Velmora::LoggingLevel level, const char* line) {
    outerLines.push_back({level, line});
    if (innerCall) std::exchange(innerCall, nullptr)();
}

}  // namespace

bool isAllowedLine(const std::string& line) {
    return std::find(std::begin(wholeLines), std::end(wholeLines), line) != std::end(wholeLines) ||
           std::any_of(std::begin(lineHeads), std::end(lineHeads),
                       [&](std::string_view head) { return std::string_view(line).starts_with(head); });
}

const std::filesystem::path& scratchFolder() {
    static const ScratchFolder folder;
    return folder.path;
}

std::wstring makeImage(const std::wstring& name) {
    const std::filesystem::path file = scratchFolder() / name;
    if (!std::filesystem::exists(file)) std::ofstream(file, std::ios::binary) << "image";
    return file.wstring();
}

const std::vector<ExportRun>& exportRuns() {
    static const std::vector<ExportRun> runs = {
        {"createVM", createCall},
        {"deleteVM", [] { return pathCall(&Velmora::deleteVM); }},
        {"startVM", [] { return pathCall(&Velmora::startVM); }},
        {"stopVM", [] { return pathCall(&Velmora::stopVM); }},
        {"setDiskImages generation 1", [] { return disksCall(1, 5); }},
        {"setDiskImages generation 2", [] { return disksCall(2, 2); }},
        {"retrieveAvailableNetworkAdapters",
         outCall<Velmora::NetworksList, &Velmora::retrieveAvailableNetworkAdapters>},
        {"retrieveUsedMemory", outCall<std::uint64_t, &Velmora::retrieveUsedMemory>}};
    return runs;
}

NestedOutcome runNested(const std::function<bool()>& call, const std::function<void()>& after) {
    NestedOutcome outcome;
    outerLines.clear();
    std::size_t innerCount = 0;
    innerCall = [&] {
        try {
            outcome.result = call();
        } catch (const Velmora::HResultError& failure) {
            outcome.threw = true;
            outcome.code = failure.hresult();
        }
        if (after) after();
        innerCount = capturedLines().size();
    };
    std::uint64_t used = 0;
    const bool outerResult = Velmora::retrieveUsedMemory(outerLog, used);
    outcome.restored = outerResult && outerLines.size() > 1 && outerLines.front() == info("Get used memory") &&
                       outerLines.back() == info("Get used memory - OK") && capturedLines().size() == innerCount;
    return outcome;
}

}  // namespace VelmoraTest
