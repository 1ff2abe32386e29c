#include "FakeWmiRegistration.h"

#include <objbase.h>
#include <wbemidl.h>

#include <new>

#include "FakeWmiLocator.h"

namespace VelmoraWine {

FakeWmiRegistration::FakeWmiRegistration(const std::shared_ptr<FakeWmiHost>& host) {
    FakeWmiLocatorFactory* factory = new (std::nothrow) FakeWmiLocatorFactory(host);
    if (!factory) {
        registration_ = E_OUTOFMEMORY;
        return;
    }
    registration_ =
        CoRegisterClassObject(CLSID_WbemLocator, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
    registered_ = SUCCEEDED(registration_);
    // COM keeps its own reference while registered; the factory goes when the registration does.
    factory->Release();
}

FakeWmiRegistration::~FakeWmiRegistration() {
    revoke();
}

HRESULT FakeWmiRegistration::revoke() {
    if (!registered_) return S_OK;
    registered_ = false;
    return CoRevokeClassObject(cookie_);
}

}  // namespace VelmoraWine
