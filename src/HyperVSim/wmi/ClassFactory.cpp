// The entry points through which the platform creates the host's COM classes: DllGetClassObject with class
// factories for the WMI locator and the object text source, and DllCanUnloadNow.
#include <atomic>
#include <type_traits>

#include "com/Status.h"
#include "trace/ReplayObjects.h"
#include "wmi/Call.h"
#include "wmi/Locator.h"
#include "wmi/TextSource.h"

namespace HyperVSim {
namespace {

// References to the factories held outside the library (by the COM runtime while they are registered, by
// callers between DllGetClassObject and CreateInstance) and LockServer locks: while any is held, the library
// must stay loaded.
std::atomic<long> serverHolds{0};

// Factories live as long as the library; their reference count only keeps it loaded.
template <class Product>
class Factory final : public IClassFactory {
public:
    explicit Factory(const wchar_t* name) : name_(name) {}
    virtual ~Factory() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++serverHolds); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--serverHolds); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
        Call call("CreateInstance", name_);
        if (!ppvObject) return call.finish(E_POINTER);
        *ppvObject = nullptr;
        if (pUnkOuter) return call.finish(CLASS_E_NOAGGREGATION);
        if (const auto failure = call.failure()) return call.finish(*failure);
        // During a replay the locator answers from the trace instead of the model.
        if constexpr (std::is_same_v<Product, Locator>) {
            if (replaying())
                if (auto replay = currentReplay())
                    return call.finish(
                        makeObject<ReplayLocator>(std::move(replay))->QueryInterface(riid, ppvObject));
        }
        auto product = makeObject<Product>();
        return call.finish(product->QueryInterface(riid, ppvObject));
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            ++serverHolds;
        else
            --serverHolds;
        return S_OK;
    }

private:
    const wchar_t* name_;
};

Factory<Locator> locatorFactory(L"WbemLocator");
Factory<TextSource> textSourceFactory(L"WbemObjectTextSrc");

}  // namespace
}  // namespace HyperVSim

extern "C" HYPERVSIM_API HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    if (IsEqualCLSID(rclsid, CLSID_WbemLocator))
        factory = &HyperVSim::locatorFactory;
    else if (IsEqualCLSID(rclsid, CLSID_WbemObjectTextSrc))
        factory = &HyperVSim::textSourceFactory;
    else
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory->QueryInterface(riid, ppv);
}

extern "C" HYPERVSIM_API HRESULT DllCanUnloadNow() {
    return HyperVSim::serverHolds.load() == 0 && HyperVSim::liveObjectCount().sum() == 0 ? S_OK : S_FALSE;
}
