// The result of a query on the fake service: hands out a fresh object per instance, one at a time, then
// WBEM_S_FALSE with nothing returned, as a semisynchronous WMI enumeration does at its end.
#pragma once

#include <wbemidl.h>
#include <windows.h>

#include <cstddef>
#include <vector>

#include "FakeWmiHost.h"

// COM objects are destroyed through Release, never through an interface pointer, so the interfaces have no
// virtual destructor to offer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace VelmoraWine {

class FakeWmiEnumerator final : public IEnumWbemClassObject, private FakeWmiObjectLifetime {
public:
    FakeWmiEnumerator(std::shared_ptr<FakeWmiHost> host, std::vector<FakeWmiInstance> instances);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return addReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return releaseReference(); }

    HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) override;

    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override;
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override;

private:
    const std::vector<FakeWmiInstance> instances_;
    std::size_t next_ = 0;
};

}  // namespace VelmoraWine

#pragma GCC diagnostic pop
