// The data and the record of a fake WMI service that stands in for Wine's own, so that the host queries can
// be driven end to end through the real COM runtime and OLE Automation.
//
// Every fake COM object holds the host and counts itself among its live objects, so a test can tell that a
// call released everything it was handed. The journal keeps each call the library made, with the arguments
// that the library is meant to pass.
#pragma once

#include <wbemidl.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace VelmoraWine {

// WMI's failure codes are enumerators above 0x7FFFFFFF; as HRESULTs they are the negative values they stand for.
constexpr HRESULT wbemStatus(WBEMSTATUS status) {
    return static_cast<HRESULT>(status);
}

// How the journal shows a BSTR argument: its text, marked when the length prefix does not match the text.
// Out of process (as WMI is on Windows) a proxy sends a BSTR by its prefix, so a plain wide string passed
// where a BSTR belongs arrives cut short or overrun there, although it works in process.
std::wstring bstrArgument(const wchar_t* text);

struct FakeWmiInstance {
    // A property without a value is answered as VT_NULL; a property not listed at all as WBEM_E_NOT_FOUND.
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> properties;
};

class FakeWmiHost {
public:
    std::vector<FakeWmiInstance> switches;  // instances of Msvm_VirtualEthernetSwitch
    std::vector<FakeWmiInstance> memories;  // instances of Msvm_Memory

    void note(std::wstring call);
    std::vector<std::wstring> journal() const;

    void objectCreated() { ++liveObjects_; }
    void objectDestroyed() { --liveObjects_; }
    long liveObjects() const { return liveObjects_.load(); }

private:
    mutable std::mutex mutex_;
    std::vector<std::wstring> journal_;
    std::atomic<long> liveObjects_{0};
};

// Reference counting shared by the fake COM objects; the last Release deletes the object.
class FakeWmiObjectLifetime {
public:
    FakeWmiObjectLifetime(const FakeWmiObjectLifetime&) = delete;
    FakeWmiObjectLifetime& operator=(const FakeWmiObjectLifetime&) = delete;

protected:
    explicit FakeWmiObjectLifetime(std::shared_ptr<FakeWmiHost> host);
    virtual ~FakeWmiObjectLifetime();

    ULONG addReference();
    ULONG releaseReference();

    const std::shared_ptr<FakeWmiHost> host_;

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace VelmoraWine
