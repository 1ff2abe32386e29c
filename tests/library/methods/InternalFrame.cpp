#include <algorithm>
#include <stdexcept>

#include "MethodsTest.h"
#include "log/Log.h"
#include "wmi/Bstr.h"
#include "wmi/EmbeddedInstance.h"
#include "wmi/ExportFrame.h"
#include "wmi/Query.h"
#include "wmi/Variant.h"

namespace VelmoraTest {

using Velmora::Bstr;
using Velmora::ComPtr;

std::string ascii(const std::wstring& text) {
    std::string result;
    for (const wchar_t c : text) result.push_back(static_cast<char>(c));
    return result;
}

HyperVSim::Fault fault(const char* operation, const wchar_t* argument, HyperVSim::Fault::Kind kind, HRESULT result,
                       unsigned occurrence) {
    HyperVSim::Fault f;
    f.operation = operation;
    f.argument = argument;
    f.kind = kind;
    f.result = result;
    f.occurrence = occurrence;
    return f;
}

LogLines firstLines(const LogLines& lines, std::size_t count) {
    return LogLines(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(count, lines.size())));
}

LogLine objectLine(const std::wstring& path) {
    return info("Get object: " + ascii(path));
}

LogLines associationLines() {
    return {info("Get '__Path'"), info("Executing query")};
}

bool runInternal(const std::function<bool(const HyperV&)>& work) {
    const Velmora::LogScope scope(captureLog);
    return Velmora::withHyperVServices([&work](IWbemServices* services) {
        HyperV hyperV;
        hyperV.services = services;
        const Bstr serviceClass(L"Msvm_VirtualSystemManagementService");
        hyperV.managementServiceClass = Velmora::getObject(services, serviceClass);
        hyperV.managementService = Velmora::getClassInstance(services, serviceClass);
        if (!hyperV.managementServiceClass || !hyperV.managementService)
            throw std::runtime_error("the host has no management service");
        clearCapturedLines();
        return work(hyperV);
    });
}

ComPtr<IWbemClassObject> settingsDataOf(IWbemServices* services, const std::wstring& vmPath) {
    const ComPtr<IWbemClassObject> machine = Velmora::getObject(services, Bstr(vmPath.c_str()));
    if (!machine) return nullptr;
    return Velmora::executeQuery(services, Velmora::associationQuery(L"Associators of {", machine.get(),
                                                                     L"} where ResultClass = "
                                                                     L"Msvm_VirtualSystemSettingData"));
}

ComPtr<IWbemClassObject> ethernetPortPool(IWbemServices* services) {
    return Velmora::executeQuery(services, Bstr(L"select * from Msvm_ResourcePool where ResourceSubType = "
                                                L"'Microsoft:Hyper-V:Synthetic Ethernet Port' and Primordial = "
                                                L"True"));
}

ComPtr<IWbemClassObject> defaultEthernetPort(IWbemServices* services) {
    const ComPtr<IWbemClassObject> pool = ethernetPortPool(services);
    if (!pool) return nullptr;
    return Velmora::requestDefaultObject(services, pool.get());
}

std::wstring stringProperty(IWbemClassObject* object, const wchar_t* name) {
    Velmora::Variant value;
    if (FAILED(object->Get(name, 0, value.put(), nullptr, nullptr)) || value.type() != VT_BSTR || !value->bstrVal)
        return {};
    return value->bstrVal;
}

}  // namespace VelmoraTest
