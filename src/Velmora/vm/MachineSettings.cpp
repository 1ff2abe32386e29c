#include "vm/MachineSettings.h"

#include <string_view>

#include "wmi/Bstr.h"
#include "wmi/Query.h"

namespace Velmora {

namespace {

constexpr std::wstring_view realizedSystemType = L"Microsoft:Hyper-V:System:Realized";

}  // namespace

ComPtr<IWbemClassObject> getMachineSettings(IWbemServices* services, IWbemClassObject* machine) {
    // The machine's own settings come first on the hosts seen so far, so the walk usually ends at once.
    return findInQuery(
        services,
        associationQuery(L"Associators of {", machine, L"} where ResultClass = Msvm_VirtualSystemSettingData"),
        [](IWbemClassObject* settings) {
            const Bstr type = getStringField(settings, Bstr(L"VirtualSystemType"));
            const std::wstring_view text(type.get() ? type.get() : L"", type.length());
            return text == realizedSystemType ? Match::Take : Match::Skip;
        });
}

}  // namespace Velmora
