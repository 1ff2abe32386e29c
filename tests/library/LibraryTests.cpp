#include "LibraryTests.h"

#include <unistd.h>

#include <atomic>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <set>

namespace VelmoraTest {

Fault rule(const char* operation, std::wstring argument, Fault::Kind kind, HRESULT result, unsigned occurrence) {
    Fault fault;
    fault.operation = operation;
    fault.argument = std::move(argument);
    fault.kind = kind;
    fault.result = result;
    fault.occurrence = occurrence;
    return fault;
}

Fault delivering(std::wstring property, HyperVSim::Value value, unsigned occurrence) {
    Fault fault = rule("Get", std::move(property), Fault::Kind::DeliverValue, 0, occurrence);
    fault.value = std::move(value);
    return fault;
}

Fault output(const wchar_t* method, const wchar_t* parameter, HyperVSim::Value value) {
    Fault fault = rule("ExecMethod", method, Fault::Kind::DeliverValue, 0);
    fault.parameter = parameter;
    fault.value = std::move(value);
    return fault;
}

void failComCall(const std::string& function, HRESULT result) {
#ifdef _WIN32
    ADD_FAILURE() << "no COM runtime faults on Windows: " << function << ' ' << result;
#else
    WinCompat::Testing::injectFault(function, result, 1);
#endif
}

std::string ascii(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

LogLines infos(std::initializer_list<std::string> texts) {
    LogLines lines;
    for (const std::string& text : texts) lines.push_back(info(text));
    return lines;
}

LogLines errors(const std::vector<std::string>& texts) {
    LogLines lines;
    for (const std::string& text : texts) lines.push_back(error(text));
    return lines;
}

LogLines errorsIn(const LogLines& lines) {
    LogLines errors;
    for (const LogLine& line : lines)
        if (line.level == Velmora::Error) errors.push_back(line);
    return errors;
}

LogLine objectLine(const std::wstring& path) {
    return info("Get object: " + ascii(path));
}
LogLines frame(const char* banner) {
    return LogLines{info(banner)} + connectionLines();
}
LogLines serviceLines() {
    return infos({"Get object: Msvm_VirtualSystemManagementService",
                  "Get class instance: Msvm_VirtualSystemManagementService", "Executing query"});
}
LogLines association() {
    return infos({"Get '__Path'", "Executing query"});
}

LogLines puts(std::initializer_list<std::string> properties) {
    LogLines lines;
    for (const std::string& property : properties) lines.push_back(info("Put value: " + property));
    return lines;
}
LogLines methodLines(const std::string& method, std::initializer_list<std::string> inputs) {
    return infos({"Get method params: " + method, "Spawn instance"}) + infos(inputs) +
           LogLines{info("Executing method: " + method)};
}
LogLines defaultObject() {
    return LogLines{info("Request default object form resource pool")} + association() + association() +
           infos({"Get 'ValueRole'", "Get 'PartComponent'", "Get object: <default>"});
}

namespace {

LogLines addition() {
    return methodLines("AddResourceSettings", {"Get '__Path'", "Put value: AffectedConfiguration",
                                               "Put value: ResourceSettings", "Get '__Path'"});
}

LogLines modifyLines(const char* opening, const std::wstring& vmPath, std::initializer_list<std::string> names,
                     const char* success) {
    return LogLines{info(opening), objectLine(vmPath)} + association() + association() + puts(names) +
           methodLines("ModifyResourceSettings", {"Put value: ResourceSettings", "Get '__Path'"}) +
           LogLines{info(success)};
}

LogLines adapterLines(const std::wstring& switchPath) {
    return infos({"Create syntetic adapter", "Executing query"}) + defaultObject() +
           LogLines{info("Generating adapter GUID")} +
           puts({"VirtualSystemIdentifiers", "ElementName", "StaticMacAddress"}) + addResource() +
           LogLines{objectLine(switchPath), info("Create connection"), info("Executing query")} + defaultObject() +
           infos({"Get '__Path'", "Put value: Parent", "Get '__Path'", "Put value: HostResource",
                  "Create connection - OK"}) +
           addition();
}

}  // namespace

LogLines addResource() {
    return LogLines{info("Add resource settings")} + addition() +
           infos({"Request result: <created>", "Get object: <created>"});
}

static LogLines ramLines(const std::wstring& vmPath) {
    return modifyLines("Set VM RAM", vmPath,
                       {"MaxMemoryBlocksPerNumaNode", "Reservation", "Limit", "VirtualQuantity"},
                       "Request VM RAM - OK");
}

static LogLines cpuLines(const std::wstring& vmPath) {
    return modifyLines("Setting CPU cores", vmPath,
                       {"VirtualQuantity", "Reservation", "MaxProcessorsPerNumaNode", "Limit", "Weight"},
                       "Set CPU cores - OK");
}

LogLines usedMemoryLines() {
    LogLines lines = frame("Get used memory");
    for (int i = 0; i < 3; ++i) lines = lines + infos({"Get 'Name'", "Skipped. Name != 'Microsoft'"});
    return lines + LogLines{info("Get used memory - OK")};
}

LogLines switchListLines(int switches) {
    LogLines lines = frame("Get available network adapters");
    for (int i = 0; i < switches; ++i) lines = lines + infos({"Get '__Path'", "Get 'ElementName'"});
    return lines + LogLines{info("Get available network adapters - OK")};
}

LogLines stateChangeLines(const char* banner, const std::wstring& vmPath) {
    return LogLines{info(banner), info("Request VM state change")} + connectionLines() +
           LogLines{objectLine(vmPath), info("Get object: Msvm_ComputerSystem")} +
           methodLines("RequestStateChange", {"Put value: RequestedState"}) +
           LogLines{info("Request VM state change - OK")};
}

LogLines createVMLines(const std::wstring& vmPath, const std::vector<std::wstring>& switches) {
    LogLines network = LogLines{info("Set network adapters"), objectLine(vmPath)} + association() +
                       LogLines{info("Creating adapters")};
    for (const std::wstring& path : switches) network = network + adapterLines(path);
    return frame("Create VM") + serviceLines() +
           infos({"Get object: Msvm_VirtualSystemSettingData", "Spawn instance"}) +
           puts({"ElementName", "VirtualSystemSubType", "ConfigurationDataRoot"}) +
           methodLines("DefineSystem", {"Put value: SystemSettings", "Get '__Path'"}) + ramLines(vmPath) +
           cpuLines(vmPath) + network + infos({"Set network adapters - OK", "Create VM - OK"});
}

LogLines maskedLines() {
    const std::string result = "Request result: ", object = "Get object: ";
    LogLines lines = capturedLines();
    std::set<std::string> created;
    for (LogLine& line : lines) {
        if (line.text.starts_with(result)) {
            created.insert(line.text.substr(result.size()));
            line.text = result + "<created>";
        } else if (line.text.starts_with(object)) {
            const std::string path = line.text.substr(object.size());
            if (created.count(path))
                line.text = object + "<created>";
            else if (path.find("Definition") != std::string::npos)
                line.text = object + "<default>";
        }
    }
    return lines;
}

std::vector<std::wstring> switchPaths() {
    std::vector<std::wstring> paths;
    for (const HyperVSim::SwitchView& view : Control::switches()) paths.push_back(view.path);
    return paths;
}

std::vector<std::wstring> entriesOf(const Velmora::NetworksList& list) {
    std::vector<std::wstring> entries;
    for (std::size_t at = 0; at < Velmora::networksListCapacity && list.entries[at];) {
        entries.emplace_back(list.entries + at);
        at += entries.back().size() + 1;
    }
    return entries;
}

MachineSettings::MachineSettings(std::vector<std::wstring> switchList, std::wstring machineName,
                                 std::uint32_t generation)
    : name(std::move(machineName)), switches(std::move(switchList)) {
    for (const std::wstring& path : switches) pointers.push_back(path.c_str());
    record = {name.c_str(),
              generation,
              2048ull << 20,
              folder.c_str(),
              {2, 10, 80, 200},
              pointers.empty() ? nullptr : pointers.data(),
              static_cast<std::uint32_t>(pointers.size())};
}

CreatedMachine::CreatedMachine() {
    std::wmemset(created.vmPath, L'#', Velmora::vmPathCapacity);
    std::wcscpy(created.vmPath, L"untouched");
}
bool CreatedMachine::untouched() const {
    CreatedMachine fresh;
    return std::wmemcmp(created.vmPath, fresh.created.vmPath, Velmora::vmPathCapacity) == 0;
}
bool createVM(MachineSettings& settings, CreatedMachine& machine) {
    return Velmora::createVM(captureLog, settings.record, machine.created);
}

std::filesystem::path HostTest::folder() {
    if (folder_.empty()) {
        static std::atomic<unsigned> counter{0};
        folder_ = std::filesystem::temp_directory_path() /
                  ("velmora-library-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(folder_);
    }
    return folder_;
}

void HostTest::TearDown() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    LibraryTest::TearDown();
}

std::vector<std::wstring> HostTest::images(std::size_t count) {
    std::vector<std::wstring> paths;
    for (std::size_t i = 0; i < count; ++i) {
        const std::filesystem::path file = folder() / ("disk" + std::to_string(images_.size()) + ".vhdx");
        const std::string content = "image " + std::to_string(images_.size()) + " of " + folder().string();
        std::ofstream(file, std::ios::binary) << content;
        images_.emplace_back(file, content);
        paths.push_back(file.wstring());
    }
    return paths;
}

bool HostTest::imagesUntouched() const {
    for (const auto& [file, content] : images_) {
        std::ifstream in(file, std::ios::binary);
        if (std::string(std::istreambuf_iterator<char>(in), {}) != content) return false;
    }
    return true;
}

bool HostTest::attach(const std::wstring& vmPath, std::uint32_t generation, const std::vector<std::wstring>& list) {
    std::vector<const wchar_t*> pointers;
    for (const std::wstring& path : list) pointers.push_back(path.c_str());
    return Velmora::setDiskImages(captureLog, vmPath.c_str(), generation,
                                  pointers.empty() ? nullptr : pointers.data(),
                                  static_cast<std::uint32_t>(pointers.size()));
}

}  // namespace VelmoraTest
