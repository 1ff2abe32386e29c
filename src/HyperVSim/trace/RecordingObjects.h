// The recording WMI objects: each wraps the system's object of the same interface, passes every call on to it
// unchanged and writes the call, with what came back, to the recording's trace. Objects handed back are
// wrapped in turn (services, enumerators, call results); class objects are not, since everything done with
// them (Get, Put, GetMethod, SpawnInstance) happens in the caller's process without reaching WMI, and WMI
// must get its own objects back as method inputs.
#pragma once

#include <cstdint>
#include <memory>

#include "trace/RecordingSession.h"
#include "wmi/ComObject.h"

namespace HyperVSim {

using Recording = std::shared_ptr<RecordingSession>;

class RecordingLocator final : public ComObject<IWbemLocator> {
public:
    RecordingLocator(Recording recording, ComRef<IWbemLocator> real)
        : recording_(std::move(recording)), real_(std::move(real)) {}

    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR strNetworkResource, const BSTR strUser,
                                            const BSTR strPassword, const BSTR strLocale, LONG lSecurityFlags,
                                            const BSTR strAuthority, IWbemContext* pCtx,
                                            IWbemServices** ppNamespace) override;

private:
    Recording recording_;
    ComRef<IWbemLocator> real_;
};

class RecordingEnumerator final : public ComObject<IEnumWbemClassObject> {
public:
    RecordingEnumerator(Recording recording, std::int64_t number, ComRef<IEnumWbemClassObject> real)
        : recording_(std::move(recording)), number_(number), real_(std::move(real)) {}

    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Next(LONG lTimeout, ULONG uCount, IWbemClassObject** apObjects,
                                   ULONG* puReturned) override;
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG uCount, IWbemObjectSink* pSink) override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject** ppEnum) override;
    HRESULT STDMETHODCALLTYPE Skip(LONG lTimeout, ULONG nCount) override;

private:
    Recording recording_;
    std::int64_t number_;
    ComRef<IEnumWbemClassObject> real_;
};

class RecordingCallResult final : public ComObject<IWbemCallResult> {
public:
    RecordingCallResult(Recording recording, std::int64_t number, ComRef<IWbemCallResult> real)
        : recording_(std::move(recording)), number_(number), real_(std::move(real)) {}

    HRESULT STDMETHODCALLTYPE GetResultObject(LONG lTimeout, IWbemClassObject** ppResultObject) override;
    HRESULT STDMETHODCALLTYPE GetResultString(LONG lTimeout, BSTR* pstrResultString) override;
    HRESULT STDMETHODCALLTYPE GetResultServices(LONG lTimeout, IWbemServices** ppServices) override;
    HRESULT STDMETHODCALLTYPE GetCallStatus(LONG lTimeout, LONG* plStatus) override;

private:
    Recording recording_;
    std::int64_t number_;
    ComRef<IWbemCallResult> real_;
};

// Writes the call with its result and what it handed back; returns the result.
HRESULT recordCall(const Recording& recording, TraceCall call, HRESULT result, TraceFields returned = {});

// Wraps what a call handed back into `out` (when the caller asked for it): the number given to the wrapper,
// or null when nothing came back.
template <class Wrapper, class Interface>
TraceValue handOutWrapped(const Recording& recording, ComRef<Interface> real, Interface** out) {
    if (!out) return std::monostate{};
    *out = nullptr;
    if (!real) return std::monostate{};
    const std::int64_t number = recording->newNumber();
    handOut(makeObject<Wrapper>(recording, number, std::move(real)), out);
    return number;
}

}  // namespace HyperVSim
