// What the methods suites share: ASCII text of host paths, the exact lines of the library's building
// blocks, and a frame that runs the library's internal operations as an export runs its work.
#pragma once

#include <functional>
#include <string>

#include "LibraryTest.h"
#include "wmi/ComPtr.h"

namespace VelmoraTest {

// WBEM_E_FAILED, the code most faults below fail with; log lines show it as -2147217407.
inline constexpr HRESULT failed = static_cast<HRESULT>(WBEM_E_FAILED);

// A rule for the simulated host (operations and arguments: HyperVSim/Control.h).
HyperVSim::Fault fault(const char* operation, const wchar_t* argument, HyperVSim::Fault::Kind kind,
                       HRESULT result = 0, unsigned occurrence = 1);

// The first `count` of `lines`.
LogLines firstLines(const LogLines& lines, std::size_t count);

// ASCII text of a wide string (host paths and names are ASCII).
std::string ascii(const std::wstring& text);

// "Get object: " with the path.
LogLine objectLine(const std::wstring& path);

// "Get '__Path'" and "Executing query": an association query built from an object and run.
LogLines associationLines();

// What the internal operations need, as the exports that use them have it at hand.
struct HyperV {
    IWbemServices* services = nullptr;
    Velmora::ComPtr<IWbemClassObject> managementServiceClass;
    Velmora::ComPtr<IWbemClassObject> managementService;
};

// Installs captureLog through the library's own log scope, starts COM and opens the Hyper-V namespace with
// the library's frame, fetches the management service's class and instance, empties the captured lines and
// runs `work`. Faults injected inside `work` therefore count only the calls that `work` makes. Every object
// `work` obtains must be released before it returns.
bool runInternal(const std::function<bool(const HyperV&)>& work);

// The machine's settings data (Msvm_VirtualSystemSettingData), found as the library finds it.
Velmora::ComPtr<IWbemClassObject> settingsDataOf(IWbemServices* services, const std::wstring& vmPath);

// The primordial pool of synthetic Ethernet ports and its default settings object.
Velmora::ComPtr<IWbemClassObject> ethernetPortPool(IWbemServices* services);
Velmora::ComPtr<IWbemClassObject> defaultEthernetPort(IWbemServices* services);

// A string property as WMI reports it, read without logging; empty when it is not a string.
std::wstring stringProperty(IWbemClassObject* object, const wchar_t* name);
inline std::wstring pathOf(IWbemClassObject* object) {
    return stringProperty(object, L"__Path");
}

}  // namespace VelmoraTest
