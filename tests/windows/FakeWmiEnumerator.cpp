#include "FakeWmiEnumerator.h"

#include <new>
#include <string>

#include "FakeWmiObject.h"

namespace VelmoraWine {

FakeWmiEnumerator::FakeWmiEnumerator(std::shared_ptr<FakeWmiHost> host, std::vector<FakeWmiInstance> instances)
    : FakeWmiObjectLifetime(std::move(host)), instances_(std::move(instances)) {}

HRESULT FakeWmiEnumerator::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumWbemClassObject)) {
        *object = static_cast<IEnumWbemClassObject*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeWmiEnumerator::Next(LONG timeout, ULONG count, IWbemClassObject** objects, ULONG* returned) {
    if (!objects || !returned) return wbemStatus(WBEM_E_INVALID_PARAMETER);
    // The walk waits for each object; a bounded wait or a batch is a different use of the enumeration.
    host_->note(L"Next timeout=" + std::to_wstring(timeout) + L" count=" + std::to_wstring(count));
    *returned = 0;
    if (count != 1) return wbemStatus(WBEM_E_INVALID_PARAMETER);
    if (next_ == instances_.size()) return WBEM_S_FALSE;
    objects[0] = new (std::nothrow) FakeWmiObject(host_, instances_[next_]);
    if (!objects[0]) return wbemStatus(WBEM_E_OUT_OF_MEMORY);
    ++next_;
    *returned = 1;
    return WBEM_S_NO_ERROR;
}

HRESULT FakeWmiEnumerator::Reset() {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiEnumerator::NextAsync(ULONG, IWbemObjectSink*) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiEnumerator::Clone(IEnumWbemClassObject**) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}
HRESULT FakeWmiEnumerator::Skip(LONG, ULONG) {
    return wbemStatus(WBEM_E_NOT_SUPPORTED);
}

}  // namespace VelmoraWine
