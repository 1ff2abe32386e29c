#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "Velmora.h"
#include "log/Log.h"
#include "wmi/ExportFrame.h"
#include "wmi/Query.h"

namespace Velmora {
namespace {

// The caller's list as it is being built: whole (path, name) pairs only, and always room for the closing
// empty string, because a caller walks the list up to that empty string and a pair cut after its path or a
// missing end would make it read past the buffer. Once a pair does not fit, nothing after it is kept: it could
// never be copied, and a host with many switches would otherwise hold every one of their strings to the end.
class StagedList {
public:
    void add(Bstr path, Bstr name) {
        if (full_) return;
        const std::size_t pairSize = path.length() + 1 + name.length() + 1;
        if (pairSize + 1 > networksListCapacity - size_) {
            full_ = true;
            return;
        }
        size_ += pairSize;
        values_.push_back(std::move(path));
        values_.push_back(std::move(name));
    }

    void copyTo(NetworksList& list) const {
        wchar_t* next = list.entries;
        for (const Bstr& value : values_) {
            next = std::copy_n(value.get(), value.length(), next);  // a null value is an empty string
            *next++ = L'\0';
        }
        *next = L'\0';
    }

private:
    // Path, name, path, name, ... of the pairs that fit; `size_` characters with their terminators.
    std::vector<Bstr> values_;
    std::size_t size_ = 0;
    bool full_ = false;
};

// Reads every switch in the order the host returns them. False after a logged failure of the walk itself; a
// value that cannot be read counts as an empty string so the pairs stay aligned.
bool collectSwitches(IWbemServices* hyperV, StagedList& list) {
    const ComPtr<IEnumWbemClassObject> switches =
        startWalk(hyperV, Bstr(L"select * from Msvm_VirtualEthernetSwitch"));
    if (!switches) return false;
    for (;;) {
        ComPtr<IWbemClassObject> virtualSwitch;
        ULONG returned = 0;
        const HRESULT result = switches->Next(static_cast<LONG>(WBEM_INFINITE), 1, virtualSwitch.put(), &returned);
        if (FAILED(result)) {
            logValues(Error, "Query::Next failed, err=", result);
            return false;
        }
        if (returned == 0) return true;
        if (!virtualSwitch) {
            logMessage(Error, "Query returned null object!");
            return false;
        }
        Bstr path = getObjectPath(virtualSwitch.get());
        logMessage(Info, "Get 'ElementName'");
        list.add(std::move(path), getStringField(virtualSwitch.get(), Bstr(L"ElementName")));
    }
}

}  // namespace

bool retrieveAvailableNetworkAdapters(LogCallback log, NetworksList& networksList) {
    return runExport(log, "Get available network adapters", [&networksList](IWbemServices* hyperV) {
        StagedList list;
        if (!collectSwitches(hyperV, list)) return false;
        list.copyTo(networksList);
        logMessage(Info, "Get available network adapters - OK");
        return true;
    });
}

}  // namespace Velmora
