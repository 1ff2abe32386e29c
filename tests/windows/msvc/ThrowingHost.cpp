// A simulated host for the MSVC-ABI caller's "throw" run, as a DLL that program loads: AddResourceSettings
// hands back a text where its array of created paths belongs, which the library refuses by raising
// Velmora::HResultError (E_INVALIDARG) out of createVM.
#include <HyperVSim/Control.h>
#include <HyperVSim/Registration.h>

#include <string>

extern "C" __declspec(dllexport) long registerThrowingHost() {
    HyperVSim::Fault fault;
    fault.operation = "ExecMethod";
    fault.argument = L"AddResourceSettings";
    fault.occurrence = 0;
    fault.kind = HyperVSim::Fault::Kind::DeliverValue;
    fault.parameter = L"ResultingResourceSettings";
    fault.value = std::wstring(L"not an array of paths");
    HyperVSim::Control::injectFault(fault);
    return HyperVSimRegisterClassObjects();
}
