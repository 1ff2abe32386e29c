#include "LifecycleSupport.h"

#include <unistd.h>

#include <atomic>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

namespace VelmoraTest {

namespace {

const std::string requestResult = "Request result: ";
const std::string getObject = "Get object: ";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

std::string narrow(const std::wstring& text) {
    std::string result;
    for (wchar_t c : text) result.push_back(static_cast<char>(c));
    return result;
}

LogLines maskedLines() {
    LogLines lines = capturedLines();
    std::set<std::string> created;
    for (LogLine& line : lines) {
        if (startsWith(line.text, requestResult)) {
            created.insert(line.text.substr(requestResult.size()));
            line.text = requestResult + "<created>";
        } else if (startsWith(line.text, getObject)) {
            const std::string path = line.text.substr(getObject.size());
            if (created.count(path)) {
                line.text = getObject + "<created>";
            } else if (path.find("Definition") != std::string::npos) {
                line.text = getObject + "<default>";
            }
        }
    }
    return lines;
}

LogLines frameLines(const char* banner) {
    return LogLines{info(banner)} + connectionLines();
}

LogLines objectLines(const std::wstring& path) {
    return {info("Get object: " + narrow(path))};
}

LogLines managementServiceLines() {
    return {info("Get object: Msvm_VirtualSystemManagementService"),
            info("Get class instance: Msvm_VirtualSystemManagementService"), info("Executing query")};
}

LogLines associationLines() {
    return {info("Get '__Path'"), info("Executing query")};
}

LogLines defaultObjectLines() {
    return LogLines{info("Request default object form resource pool")} + associationLines() + associationLines() +
           LogLines{info("Get 'ValueRole'"), info("Get 'PartComponent'"), info("Get object: <default>")};
}

LogLines addResourceLines() {
    return {info("Add resource settings"),
            info("Get method params: AddResourceSettings"),
            info("Spawn instance"),
            info("Get '__Path'"),
            info("Put value: AffectedConfiguration"),
            info("Put value: ResourceSettings"),
            info("Get '__Path'"),
            info("Executing method: AddResourceSettings"),
            info("Request result: <created>"),
            info("Get object: <created>")};
}

LogLines putLines(std::initializer_list<const char*> names) {
    LogLines lines;
    for (const char* name : names) lines.push_back(info(std::string("Put value: ") + name));
    return lines;
}

namespace {

LogLines modifyLines(const char* opening, const std::wstring& vmPath, std::initializer_list<const char*> names,
                     const char* success) {
    return LogLines{info(opening)} + objectLines(vmPath) + associationLines() + associationLines() +
           putLines(names) +
           LogLines{info("Get method params: ModifyResourceSettings"),
                    info("Spawn instance"),
                    info("Put value: ResourceSettings"),
                    info("Get '__Path'"),
                    info("Executing method: ModifyResourceSettings"),
                    info(success)};
}

}  // namespace

LogLines setVmRamLines(const std::wstring& vmPath) {
    return modifyLines("Set VM RAM", vmPath,
                       {"MaxMemoryBlocksPerNumaNode", "Reservation", "Limit", "VirtualQuantity"},
                       "Request VM RAM - OK");
}

LogLines setCpuCoresLines(const std::wstring& vmPath) {
    return modifyLines("Setting CPU cores", vmPath,
                       {"VirtualQuantity", "Reservation", "MaxProcessorsPerNumaNode", "Limit", "Weight"},
                       "Set CPU cores - OK");
}

LogLines adapterLines(const std::wstring& switchPath) {
    return LogLines{info("Create syntetic adapter"), info("Executing query")} + defaultObjectLines() +
           LogLines{info("Generating adapter GUID")} +
           putLines({"VirtualSystemIdentifiers", "ElementName", "StaticMacAddress"}) + addResourceLines() +
           objectLines(switchPath) + LogLines{info("Create connection"), info("Executing query")} +
           defaultObjectLines() +
           LogLines{info("Get '__Path'"),
                    info("Put value: Parent"),
                    info("Get '__Path'"),
                    info("Put value: HostResource"),
                    info("Create connection - OK"),
                    info("Get method params: AddResourceSettings"),
                    info("Spawn instance"),
                    info("Get '__Path'"),
                    info("Put value: AffectedConfiguration"),
                    info("Put value: ResourceSettings"),
                    info("Get '__Path'"),
                    info("Executing method: AddResourceSettings")};
}

LogLines networkLines(const std::wstring& vmPath, const std::vector<std::wstring>& switchPaths) {
    LogLines lines = LogLines{info("Set network adapters")} + objectLines(vmPath) + associationLines() +
                     LogLines{info("Creating adapters")};
    for (const std::wstring& path : switchPaths) lines = lines + adapterLines(path);
    return lines + LogLines{info("Set network adapters - OK")};
}

LogLines createVMLines(const std::wstring& vmPath, const std::vector<std::wstring>& switchPaths) {
    return frameLines("Create VM") + managementServiceLines() +
           LogLines{info("Get object: Msvm_VirtualSystemSettingData"), info("Spawn instance")} +
           putLines({"ElementName", "VirtualSystemSubType", "ConfigurationDataRoot"}) +
           LogLines{info("Get method params: DefineSystem"), info("Spawn instance"),
                    info("Put value: SystemSettings"), info("Get '__Path'"),
                    info("Executing method: DefineSystem")} +
           setVmRamLines(vmPath) + setCpuCoresLines(vmPath) + networkLines(vmPath, switchPaths) +
           LogLines{info("Create VM - OK")};
}

LogLines linesOfLevel(const LogLines& lines, Velmora::LoggingLevel level) {
    LogLines result;
    for (const LogLine& line : lines) {
        if (line.level == level) result.push_back(line);
    }
    return result;
}

bool isGuidText(const std::wstring& text) {
    static const std::wregex form(L"\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");
    return std::regex_match(text, form);
}

MachineSettings::MachineSettings(std::wstring machineName, std::uint32_t machineGeneration)
    : name(std::move(machineName)), generation(machineGeneration) {}

MachineSettings& MachineSettings::withSwitches(std::vector<std::wstring> paths) {
    switches_ = std::move(paths);
    return *this;
}

const Velmora::VMSettings& MachineSettings::record() {
    switchPointers_.clear();
    for (const std::wstring& path : switches_) switchPointers_.push_back(path.c_str());
    record_.name = name.c_str();
    record_.generation = generation;
    record_.ramSizeBytes = ramSizeBytes;
    record_.configurationDataRoot = folder.c_str();
    record_.cpu = cpu;
    record_.networks = switchPointers_.empty() ? nullptr : switchPointers_.data();
    record_.networksCount = static_cast<std::uint32_t>(switchPointers_.size());
    return record_;
}

namespace {
constexpr const wchar_t* untouchedMarker = L"untouched";
}

CreatedMachine::CreatedMachine() : created{} {
    std::wcscpy(created.vmPath, untouchedMarker);
    // The rest of the buffer holds a pattern too, so that a write past the terminator shows.
    for (std::size_t i = std::wcslen(untouchedMarker) + 1; i < Velmora::vmPathCapacity; ++i)
        created.vmPath[i] = L'#';
}

bool CreatedMachine::untouched() const {
    if (path() != untouchedMarker) return false;
    for (std::size_t i = std::wcslen(untouchedMarker) + 1; i < Velmora::vmPathCapacity; ++i) {
        if (created.vmPath[i] != L'#') return false;
    }
    return true;
}

void LifecycleTest::SetUp() {
    LibraryTest::SetUp();
    static std::atomic<unsigned> counter{0};
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() / ("velmora-lifecycle-" + std::to_string(::getpid()) + "-" +
                                                        std::to_string(counter++) + "-" + test->name());
    std::filesystem::create_directories(folder_);
}

void LifecycleTest::TearDown() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    LibraryTest::TearDown();
}

std::vector<std::wstring> LifecycleTest::makeImages(std::size_t count) {
    std::vector<std::wstring> paths;
    for (std::size_t i = 0; i < count; ++i) {
        const std::filesystem::path file = folder_ / ("disk" + std::to_string(images_.size()) + ".vhdx");
        const std::string content = "image " + std::to_string(images_.size()) + " of " + folder_.string();
        std::ofstream(file, std::ios::binary) << content;
        images_.emplace_back(file, content);
        paths.push_back(file.wstring());
    }
    return paths;
}

std::vector<const wchar_t*> LifecycleTest::pointers(const std::vector<std::wstring>& paths) {
    std::vector<const wchar_t*> result;
    for (const std::wstring& path : paths) result.push_back(path.c_str());
    return result;
}

bool LifecycleTest::imagesUntouched() const {
    for (const auto& [file, content] : images_) {
        std::ifstream in(file, std::ios::binary);
        const std::string now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) return false;
        if (now != content) return false;
    }
    return true;
}

std::vector<std::wstring> LifecycleTest::hostSwitchPaths() const {
    std::vector<std::wstring> paths;
    for (const HyperVSim::SwitchView& view : HyperVSim::Control::switches()) paths.push_back(view.path);
    return paths;
}

}  // namespace VelmoraTest
