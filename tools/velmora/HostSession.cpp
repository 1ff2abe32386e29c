#include "HostSession.h"

#include "ErrorCodes.h"
#include "Failure.h"
#include "LibraryCall.h"
#include "LogSink.h"
#include "ObjectPaths.h"
#include "Text.h"
#include "log/Log.h"
#include "wmi/Bstr.h"
#include "wmi/ComPtr.h"
#include "wmi/Connection.h"
#include "wmi/Query.h"
#include "wmi/Variant.h"

namespace VelmoraCommand {

using Velmora::Bstr;
using Velmora::ComPtr;

namespace {

// What a step of the session logged from line `first` on says about its failure.
[[noreturn]] void failWithLastError(const std::string& what, std::size_t first) {
    const auto& lines = loggedLines();
    for (std::size_t i = lines.size(); i > first; --i)
        if (lines[i - 1].level == Velmora::Error) throw Failure(what + ": " + explainedLine(lines[i - 1].text));
    throw Failure(what);
}

[[noreturn]] void failWithResult(const std::string& what, HRESULT result) {
    const auto meaning = hresultMeaning(static_cast<std::uint32_t>(result));
    throw Failure(what + ": err=" + std::to_string(result) + (meaning ? " (" + *meaning + ")" : std::string()));
}

std::wstring stringProperty(IWbemClassObject* object, const wchar_t* name) {
    Velmora::Variant value;
    const Bstr property(name);
    if (FAILED(object->Get(property.get(), 0, value.get(), nullptr, nullptr)) || value.type() != VT_BSTR ||
        value->bstrVal == nullptr)
        return {};
    return value->bstrVal;
}

int integerProperty(IWbemClassObject* object, const wchar_t* name) {
    Velmora::Variant value;
    const Bstr property(name);
    if (FAILED(object->Get(property.get(), 0, value.get(), nullptr, nullptr))) return 0;
    if (value.type() == VT_I4) return static_cast<int>(value->lVal);
    if (value.type() == VT_I2) return value->iVal;
    return 0;
}

// The host's own Msvm_ComputerSystem says what it is in its Caption and Description; a machine's say
// "Virtual Machine".
bool isHostingComputer(IWbemClassObject* system) {
    return stringProperty(system, L"Caption") == L"Hosting Computer System" ||
           stringProperty(system, L"Description") == L"Microsoft Hosting Computer System";
}

MachineRecord recordOf(IWbemClassObject* system) {
    return {narrow(stringProperty(system, L"ElementName")), narrow(stringProperty(system, L"__PATH")),
            integerProperty(system, L"EnabledState")};
}

std::vector<MachineRecord> selectMachines(IWbemServices* hyperV, const std::wstring& query) {
    const std::size_t first = loggedLines().size();
    const ComPtr<IEnumWbemClassObject> walk = Velmora::startWalk(hyperV, Bstr(query.c_str()));
    if (!walk) failWithLastError("cannot list the machines", first);
    std::vector<MachineRecord> found;
    for (;;) {
        ComPtr<IWbemClassObject> system;
        ULONG returned = 0;
        const HRESULT result = walk->Next(static_cast<LONG>(WBEM_INFINITE), 1, system.put(), &returned);
        if (FAILED(result)) failWithResult("cannot list the machines", result);
        if (returned == 0 || !system) break;
        if (!isHostingComputer(system.get())) found.push_back(recordOf(system.get()));
    }
    return found;
}

}  // namespace

struct HostSession::Connection {
    // Declared in the order of acquisition: released in reverse, the log scope last.
    Velmora::LogScope logScope{logSink};
    Velmora::ComInitializer com;
    ComPtr<IWbemServices> root;
    ComPtr<IWbemServices> hyperV;
};

HostSession::HostSession() {
    const std::size_t first = loggedLines().size();
    connection_ = std::make_unique<Connection>();
    auto& c = *connection_;
    if (!c.com.succeeded()) failWithLastError("cannot start COM", first);
    c.root = Velmora::connectToServer();
    if (!c.root) failWithLastError("cannot connect to WMI", first);
    c.hyperV = Velmora::openNamespace(c.root.get(), Bstr(L"virtualization\\v2"));
    if (!c.hyperV) failWithLastError("cannot open Hyper-V's WMI namespace root\\virtualization\\v2", first);
}

HostSession::~HostSession() = default;

std::vector<MachineRecord> HostSession::machines() {
    return selectMachines(connection_->hyperV.get(), L"select * from Msvm_ComputerSystem");
}

std::vector<MachineRecord> HostSession::machinesNamed(const std::wstring& name) {
    return selectMachines(connection_->hyperV.get(),
                          L"select * from Msvm_ComputerSystem where ElementName = " + wqlString(name));
}

PathLookup HostSession::lookUp(const std::wstring& path) {
    ComPtr<IWbemClassObject> system;
    const Bstr text(path.c_str());
    PathLookup lookup;
    lookup.result = connection_->hyperV->GetObject(text.get(), 0, nullptr, system.put(), nullptr);
    if (FAILED(lookup.result) || !system) return lookup;
    lookup.hostingComputer = isHostingComputer(system.get());
    lookup.machine = recordOf(system.get());
    return lookup;
}

}  // namespace VelmoraCommand
