#include "hyperv/Handlers.h"

#include "hyperv/ResourceAddition.h"

namespace HyperVSim {

std::vector<std::wstring> lookupKeys(const Instance& instance) {
    return hyperv::resourceLookupKeys(instance);
}

void registerMethodHandlers(Host& host) {
    constexpr const wchar_t* service = L"Msvm_VirtualSystemManagementService";
    host.registerHandler(service, L"DefineSystem", hyperv::defineSystem);
    host.registerHandler(service, L"DestroySystem", hyperv::destroySystem);
    host.registerHandler(service, L"AddResourceSettings", hyperv::addResourceSettings);
    host.registerHandler(service, L"ModifyResourceSettings", hyperv::modifyResourceSettings);
    host.registerHandler(L"Msvm_ComputerSystem", L"RequestStateChange", hyperv::requestStateChange);
}

}  // namespace HyperVSim
