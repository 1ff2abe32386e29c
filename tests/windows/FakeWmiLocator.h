// The entry of the fake service: the locator that connects to "root", and the class factory that COM
// hands CLSID_WbemLocator requests to once it is registered in the process.
#pragma once

#include <wbemidl.h>
#include <windows.h>

#include "FakeWmiHost.h"

// COM objects are destroyed through Release, never through an interface pointer, so the interfaces have no
// virtual destructor to offer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace VelmoraWine {

class FakeWmiLocator final : public IWbemLocator, private FakeWmiObjectLifetime {
public:
    explicit FakeWmiLocator(std::shared_ptr<FakeWmiHost> host);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return addReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return releaseReference(); }

    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR user, const BSTR password,
                                            const BSTR locale, LONG securityFlags, const BSTR authority,
                                            IWbemContext* context, IWbemServices** services) override;
};

class FakeWmiLocatorFactory final : public IClassFactory, private FakeWmiObjectLifetime {
public:
    explicit FakeWmiLocatorFactory(std::shared_ptr<FakeWmiHost> host);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return addReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return releaseReference(); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

}  // namespace VelmoraWine

#pragma GCC diagnostic pop
