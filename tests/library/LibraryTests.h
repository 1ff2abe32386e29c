// What the suites of library_tests share: rules for the simulated host, the named pieces that expected log
// sequences are built from, the records a caller hands in, and image files.
#pragma once

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "LibraryTest.h"

namespace VelmoraTest {

using HyperVSim::Control;
using HyperVSim::Fault;

inline constexpr HRESULT failed = wbem(WBEM_E_FAILED);  // logged as -2147217407

// A rule of the simulated host (operations and arguments: HyperVSim/Control.h).
Fault rule(const char* operation, std::wstring argument = {}, Fault::Kind kind = Fault::Kind::Fail,
           HRESULT result = failed, unsigned occurrence = 1);
// Get of `property` delivers `value`.
Fault delivering(std::wstring property, HyperVSim::Value value, unsigned occurrence = 1);
// The output parameter `parameter` of `method` holds `value`.
Fault output(const wchar_t* method, const wchar_t* parameter, HyperVSim::Value value);
// A COM runtime function of the stand-in fails (tests that use it start with VELMORA_NEEDS_STAND_IN()).
void failComCall(const std::string& function, HRESULT result);

std::string ascii(const std::wstring& text);  // host paths and names are ASCII
LogLines infos(std::initializer_list<std::string> texts);
LogLines errors(const std::vector<std::string>& texts);
LogLines errorsIn(const LogLines& lines);  // the Error lines alone
LogLine objectLine(const std::wstring& path);
LogLines frame(const char* banner);  // the banner and connectionLines()
LogLines serviceLines();             // the management service's class, then its instance
LogLines association();              // an association query from an object's path
LogLines puts(std::initializer_list<std::string> properties);
LogLines methodLines(const std::string& method, std::initializer_list<std::string> inputs);  // up to the call
LogLines defaultObject();                // a pool's default template, whose path is masked as "<default>"
LogLines addResource();                  // an addition whose created object is masked as "<created>"
LogLines usedMemoryLines();              // retrieveUsedMemory on the default host
LogLines switchListLines(int switches);  // retrieveAvailableNetworkAdapters
LogLines stateChangeLines(const char* banner, const std::wstring& vmPath);
LogLines createVMLines(const std::wstring& vmPath, const std::vector<std::wstring>& switches);
// capturedLines() with the paths that the host makes up masked as above.
LogLines maskedLines();

std::vector<std::wstring> switchPaths();
std::vector<std::wstring> entriesOf(const Velmora::NetworksList& list);  // up to the closing empty string

// A VMSettings record whose strings live as long as it does.
struct MachineSettings {
    explicit MachineSettings(std::vector<std::wstring> switches = {}, std::wstring name = L"vm1",
                             std::uint32_t generation = 2);
    MachineSettings(const MachineSettings&) = delete;
    MachineSettings& operator=(const MachineSettings&) = delete;
    std::wstring name, folder = L"C:\\VMs";
    std::vector<std::wstring> switches;
    std::vector<const wchar_t*> pointers;
    Velmora::VMSettings record;
};

// A CreatedVM filled with a pattern, so that a test sees whether and how far it was written.
struct CreatedMachine {
    CreatedMachine();
    std::wstring path() const { return created.vmPath; }
    bool untouched() const;
    Velmora::CreatedVM created;
};

// createVM with `settings` into `machine`.
bool createVM(MachineSettings& settings, CreatedMachine& machine);

// LibraryTest with a folder of image files of its own, removed afterwards.
class HostTest : public LibraryTest {
protected:
    void TearDown() override;
    // `count` new image files with distinct contents.
    std::vector<std::wstring> images(std::size_t count);
    bool imagesUntouched() const;
    bool attach(const std::wstring& vmPath, std::uint32_t generation, const std::vector<std::wstring>& images);
    std::filesystem::path folder();

private:
    std::filesystem::path folder_;
    std::vector<std::pair<std::filesystem::path, std::string>> images_;
};

}  // namespace VelmoraTest
