// Calling WMI methods: input definition, input object, its values, the call and its verdict.
#pragma once

#include <cstdint>
#include <functional>

#include "wmi/Bstr.h"
#include "wmi/ComPtr.h"
#include "wmi/Variant.h"

namespace Velmora {

// The input-parameter definition of a method of a class definition, or null.
ComPtr<IWbemClassObject> getMethodParams(IWbemClassObject* classDefinition, const Bstr& method);

// A new instance of a class object (a class definition or an input-parameter definition), or null.
ComPtr<IWbemClassObject> spawnInstance(IWbemClassObject* classObject);

// Writes one property; the value is taken over and cleared whether or not the write succeeded.
bool putValue(IWbemClassObject* object, const Bstr& name, Variant value);

// Whether a caller takes a ReturnValue other than 0 and 4096 as success after all (having logged why).
using ReturnValueTolerance = std::function<bool(std::uint32_t returnValue)>;

// Runs a method on `path`. Success means that WMI accepted the call, its call status is 0 and the method's
// ReturnValue is 0 (done) or 4096 (a job started, which is not waited for), or one that `tolerate` takes;
// any other ReturnValue is a refusal, logged as "<method> returned <number>". `outParams`, when given,
// receives the output-parameter object with the call; otherwise the output parameters are taken from the
// call result, which holds them once the synchronous call has returned.
ComPtr<IWbemCallResult> executeMethod(IWbemServices* services, const Bstr& path, const Bstr& method,
                                      IWbemClassObject* inParams, ComPtr<IWbemClassObject>* outParams,
                                      const ReturnValueTolerance& tolerate = {});

}  // namespace Velmora
