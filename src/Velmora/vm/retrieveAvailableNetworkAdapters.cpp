#include <algorithm>
#include <cstddef>
#include <vector>

#include "Velmora.h"
#include "log/Log.h"
#include "wmi/ExportFrame.h"
#include "wmi/Query.h"

namespace Velmora {
namespace {

// Path, name, path, name, ... of every switch, in the order the host returns them. False after a logged
// failure of the walk itself; a value that cannot be read is kept as an empty string so pairs stay aligned.
bool collectSwitches(IWbemServices* hyperV, std::vector<Bstr>& values) {
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
        values.push_back(getObjectPath(virtualSwitch.get()));
        logMessage(Info, "Get 'ElementName'");
        values.push_back(getStringField(virtualSwitch.get(), Bstr(L"ElementName")));
    }
}

std::size_t copyValue(const Bstr& value, wchar_t* target) {
    const std::size_t length = value.length();
    std::copy_n(value.get(), length, target);
    target[length] = L'\0';
    return length + 1;
}

// Whole pairs only, and always room for the closing empty string: a caller walks the list up to that
// empty string, so a pair cut after its path or a missing end would make it read past the buffer.
void fillList(const std::vector<Bstr>& values, NetworksList& list) {
    std::size_t offset = 0;
    for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
        const std::size_t pairSize = values[i].length() + 1 + values[i + 1].length() + 1;
        if (pairSize + 1 > networksListCapacity - offset) break;
        offset += copyValue(values[i], list.entries + offset);
        offset += copyValue(values[i + 1], list.entries + offset);
    }
    list.entries[offset] = L'\0';
}

}  // namespace

bool retrieveAvailableNetworkAdapters(LogCallback log, NetworksList& networksList) {
    return runExport(log, "Get available network adapters", [&networksList](IWbemServices* hyperV) {
        std::vector<Bstr> values;
        if (!collectSwitches(hyperV, values)) return false;
        fillList(values, networksList);
        logMessage(Info, "Get available network adapters - OK");
        return true;
    });
}

}  // namespace Velmora
