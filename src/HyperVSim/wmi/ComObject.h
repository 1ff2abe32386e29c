// Reference counting and QueryInterface for the host's COM objects, and the count of those alive.
#pragma once

#include <atomic>
#include <utility>

#include "Common/StripedCount.h"
#include "com/ComRef.h"
#include "platform.h"

namespace HyperVSim {

using Common::StripedCount;

// COM objects of the host alive now (for Control::liveObjects); readers of the host on several threads
// create and release objects at once, so the count is striped.
StripedCount& liveObjectCount();

template <class T>
const IID& interfaceId();
template <>
inline const IID& interfaceId<IWbemLocator>() {
    return IID_IWbemLocator;
}
template <>
inline const IID& interfaceId<IWbemServices>() {
    return IID_IWbemServices;
}
template <>
inline const IID& interfaceId<IClientSecurity>() {
    return IID_IClientSecurity;
}
template <>
inline const IID& interfaceId<IWbemClassObject>() {
    return IID_IWbemClassObject;
}
template <>
inline const IID& interfaceId<IEnumWbemClassObject>() {
    return IID_IEnumWbemClassObject;
}
template <>
inline const IID& interfaceId<IWbemCallResult>() {
    return IID_IWbemCallResult;
}
template <>
inline const IID& interfaceId<IWbemObjectTextSrc>() {
    return IID_IWbemObjectTextSrc;
}

// Implements IUnknown for an object exposing `Primary` and `Others`; created with one reference.
template <class Primary, class... Others>
class ComObject : public Primary, public Others... {
public:
    ComObject() { liveObjectCount().add(1); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() { liveObjectCount().add(-1); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, interfaceId<Primary>()))
            *out = static_cast<Primary*>(this);
        else
            static_cast<void>((offer<Others>(riid, out) || ...));
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.fetch_add(1) + 1; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = refs_.fetch_sub(1) - 1;
        if (left == 0) delete this;
        return left;
    }

private:
    template <class I>
    bool offer(REFIID riid, void** out) {
        if (!IsEqualIID(riid, interfaceId<I>())) return false;
        *out = static_cast<I*>(this);
        return true;
    }
    std::atomic<ULONG> refs_{1};
};

// A new object of type T, held by its first reference.
template <class T, class... Args>
ComRef<T> makeObject(Args&&... args) {
    return ComRef<T>::adopt(new T(std::forward<Args>(args)...));
}

// Hands a reference to an out pointer of interface I.
template <class I, class T>
void handOut(ComRef<T> object, I** out) {
    *out = static_cast<I*>(object.detach());
}

}  // namespace HyperVSim
