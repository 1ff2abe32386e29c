// What the createVM, network-adapter and disk-image suites share: the log lines of the library's building
// blocks, settings records that own their strings, image files on disk, and a view of captured lines in
// which the paths that only the host knows are masked.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "TestPlatform.h"

#include "LibraryTest.h"
#include "Velmora/Velmora.h"

namespace VelmoraTest {

// The host's codes used in these suites, as the HRESULTs the library logs.
inline constexpr HRESULT failedCode = static_cast<HRESULT>(WBEM_E_FAILED);           // -2147217407
inline constexpr HRESULT notFoundCode = static_cast<HRESULT>(WBEM_E_NOT_FOUND);      // -2147217406
inline constexpr HRESULT mismatchCode = static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH);  // -2147217403

// ASCII text of a wide string (host paths and names are ASCII).
std::string narrow(const std::wstring& text);

// Captured lines with the paths the host makes up replaced: the path after "Request result: " and the
// "Get object: " of the same path become "<created>", a "Get object: " of a pool's template "<default>".
LogLines maskedLines();

LogLines frameLines(const char* banner);                      // banner, then connectionLines()
LogLines objectLines(const std::wstring& path);               // getObject
LogLines managementServiceLines();                            // its class, then its first instance
LogLines associationLines();                                  // "Get '__Path'", "Executing query"
LogLines defaultObjectLines();                                // requestDefaultObject, template masked
LogLines addResourceLines();                                  // addResourceSettings, created path masked
LogLines putLines(std::initializer_list<const char*> names);  // one "Put value: " per name
LogLines setVmRamLines(const std::wstring& vmPath);
LogLines setCpuCoresLines(const std::wstring& vmPath);
LogLines adapterLines(const std::wstring& switchPath);  // one switch: adapter, connection, its addition
LogLines networkLines(const std::wstring& vmPath, const std::vector<std::wstring>& switchPaths);
LogLines createVMLines(const std::wstring& vmPath, const std::vector<std::wstring>& switchPaths);

// Only the lines of one level, in order.
LogLines linesOfLevel(const LogLines& lines, Velmora::LoggingLevel level);

// The 38-character braced upper-case form that StringFromGUID2 writes.
bool isGuidText(const std::wstring& text);

// A VMSettings record whose strings live as long as it does.
class MachineSettings {
public:
    explicit MachineSettings(std::wstring name = L"vm1", std::uint32_t generation = 2);
    MachineSettings(const MachineSettings&) = delete;
    MachineSettings& operator=(const MachineSettings&) = delete;

    MachineSettings& withSwitches(std::vector<std::wstring> paths);
    const Velmora::VMSettings& record();

    std::wstring name;
    std::wstring folder = L"C:\\VMs";
    std::uint32_t generation;
    std::uint64_t ramSizeBytes = 2048ull * 1024 * 1024;
    Velmora::CPUSettings cpu{2, 10, 80, 200};

private:
    std::vector<std::wstring> switches_;
    std::vector<const wchar_t*> switchPointers_;
    Velmora::VMSettings record_{};
};

// A CreatedVM whose path is set to a marker, so that a test can see whether it was written.
struct CreatedMachine {
    CreatedMachine();
    std::wstring path() const { return created.vmPath; }
    bool untouched() const;
    Velmora::CreatedVM created;
};

// LibraryTest plus a private folder of image files for the test, removed afterwards.
class LifecycleTest : public LibraryTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates `count` image files "disk<N>.vhdx" with distinct contents; returns their paths.
    std::vector<std::wstring> makeImages(std::size_t count);
    // Pointers into `paths` for setDiskImages.
    static std::vector<const wchar_t*> pointers(const std::vector<std::wstring>& paths);
    // True when every image made by makeImages still holds what it was created with.
    bool imagesUntouched() const;

    std::vector<std::wstring> hostSwitchPaths() const;

private:
    std::filesystem::path folder_;
    std::vector<std::pair<std::filesystem::path, std::string>> images_;
};

}  // namespace VelmoraTest
