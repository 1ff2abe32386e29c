// IWbemCallResult of a method call that has already completed (ExecMethod is synchronous here).
#pragma once

#include <optional>
#include <string>

#include "wmi/ComObject.h"
#include "wmi/ObjectState.h"

namespace HyperVSim {

class CallResult final : public ComObject<IWbemCallResult> {
public:
    CallResult(std::wstring method, HRESULT status, std::optional<ObjectState> result)
        : method_(std::move(method)), status_(status), result_(std::move(result)) {}

    HRESULT STDMETHODCALLTYPE GetResultObject(LONG lTimeout, IWbemClassObject** ppResultObject) override;
    HRESULT STDMETHODCALLTYPE GetResultString(LONG lTimeout, BSTR* pstrResultString) override;
    HRESULT STDMETHODCALLTYPE GetResultServices(LONG lTimeout, IWbemServices** ppServices) override;
    HRESULT STDMETHODCALLTYPE GetCallStatus(LONG lTimeout, LONG* plStatus) override;

private:
    std::wstring method_;
    HRESULT status_;
    std::optional<ObjectState> result_;
};

}  // namespace HyperVSim
