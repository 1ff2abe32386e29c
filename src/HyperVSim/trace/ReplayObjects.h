// The WMI objects of a replay: each call is put into the form the recorder writes (trace/CallShapes.h) and
// answered from the trace (trace/ReplaySession.h); services, enumerators and call results handed back carry
// the number the trace gave them, objects are rebuilt by the host.
#pragma once

#include <cstdint>
#include <memory>

#include "trace/ReplaySession.h"
#include "wmi/ComObject.h"

namespace HyperVSim {

using Replay = std::shared_ptr<ReplaySession>;

class ReplayLocator final : public ComObject<IWbemLocator> {
public:
    explicit ReplayLocator(Replay replay) : replay_(std::move(replay)) {}

    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR strNetworkResource, const BSTR strUser,
                                            const BSTR strPassword, const BSTR strLocale, LONG lSecurityFlags,
                                            const BSTR strAuthority, IWbemContext* pCtx,
                                            IWbemServices** ppNamespace) override;

private:
    Replay replay_;
};

class ReplayEnumerator final : public ComObject<IEnumWbemClassObject> {
public:
    ReplayEnumerator(Replay replay, std::int64_t number) : replay_(std::move(replay)), number_(number) {}

    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Next(LONG lTimeout, ULONG uCount, IWbemClassObject** apObjects,
                                   ULONG* puReturned) override;
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG uCount, IWbemObjectSink* pSink) override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject** ppEnum) override;
    HRESULT STDMETHODCALLTYPE Skip(LONG lTimeout, ULONG nCount) override;

private:
    Replay replay_;
    std::int64_t number_;
};

class ReplayCallResult final : public ComObject<IWbemCallResult> {
public:
    ReplayCallResult(Replay replay, std::int64_t number) : replay_(std::move(replay)), number_(number) {}

    HRESULT STDMETHODCALLTYPE GetResultObject(LONG lTimeout, IWbemClassObject** ppResultObject) override;
    HRESULT STDMETHODCALLTYPE GetResultString(LONG lTimeout, BSTR* pstrResultString) override;
    HRESULT STDMETHODCALLTYPE GetResultServices(LONG lTimeout, IWbemServices** ppServices) override;
    HRESULT STDMETHODCALLTYPE GetCallStatus(LONG lTimeout, LONG* plStatus) override;

private:
    Replay replay_;
    std::int64_t number_;
};

// Hands out the object that the answer's field `name` holds, when the caller asked for it.
void handOutObject(const Replay& replay, const TraceCall& answer, const char* name, IWbemClassObject** out);

// Hands out a services, enumerator or call result numbered as the answer's field `name` says.
template <class Wrapper, class Interface>
void handOutNumbered(const Replay& replay, const TraceCall& answer, const char* name, Interface** out) {
    const TraceValue* value = findField(answer.returned, name);
    const auto* number = value ? std::get_if<std::int64_t>(value) : nullptr;
    if (out && number) handOut(makeObject<Wrapper>(replay, *number), out);
}

}  // namespace HyperVSim
