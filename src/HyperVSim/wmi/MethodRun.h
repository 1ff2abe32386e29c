// ExecMethod's work: checks the path, method and input object, runs the registered handler under the
// host's write lock, and builds the output-parameter object, applying the call's fault rule.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "HyperVSim/Control.h"
#include "platform.h"
#include "wmi/ObjectState.h"

namespace HyperVSim {

struct MethodRun {
    HRESULT error = S_OK;
    std::optional<ObjectState> outParams;
};

MethodRun runMethod(std::wstring_view path, std::wstring_view methodName, IWbemClassObject* inParams,
                    const std::vector<Fault>& faults);

}  // namespace HyperVSim
