#include "FakeWmiLocator.h"

#include <cwchar>
#include <new>
#include <string>

#include "FakeWmiServices.h"

namespace VelmoraWine {

FakeWmiLocator::FakeWmiLocator(std::shared_ptr<FakeWmiHost> host) : FakeWmiObjectLifetime(std::move(host)) {}

HRESULT FakeWmiLocator::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWbemLocator)) {
        *object = static_cast<IWbemLocator*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeWmiLocator::ConnectServer(const BSTR resource, const BSTR user, const BSTR password, const BSTR locale,
                                      LONG securityFlags, const BSTR authority, IWbemContext* context,
                                      IWbemServices** services) {
    const bool defaults = !user && !password && !locale && securityFlags == 0 && !authority && !context;
    host_->note(std::wstring(L"ConnectServer ") + bstrArgument(resource) +
                (defaults ? L"" : L" with non-default arguments"));
    if (!services) return wbemStatus(WBEM_E_INVALID_PARAMETER);
    *services = nullptr;
    if (!resource || _wcsicmp(resource, L"root") != 0) return wbemStatus(WBEM_E_INVALID_NAMESPACE);
    *services = new (std::nothrow) FakeWmiServices(host_, L"root");
    return *services ? S_OK : wbemStatus(WBEM_E_OUT_OF_MEMORY);
}

FakeWmiLocatorFactory::FakeWmiLocatorFactory(std::shared_ptr<FakeWmiHost> host)
    : FakeWmiObjectLifetime(std::move(host)) {}

HRESULT FakeWmiLocatorFactory::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeWmiLocatorFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    FakeWmiLocator* locator = new (std::nothrow) FakeWmiLocator(host_);
    if (!locator) return E_OUTOFMEMORY;
    const HRESULT result = locator->QueryInterface(iid, object);
    locator->Release();
    return result;
}

}  // namespace VelmoraWine
