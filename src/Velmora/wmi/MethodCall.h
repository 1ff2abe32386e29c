// Calling WMI methods: input definition, input object, its values, the call and its verdict.
#pragma once

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

// Runs a method on `path`. Success means WMI accepted the call and its call status is 0; the method's own
// ReturnValue is not looked at. `outParams`, when given, receives the output-parameter object.
ComPtr<IWbemCallResult> executeMethod(IWbemServices* services, const Bstr& path, const Bstr& method,
                                      IWbemClassObject* inParams, ComPtr<IWbemClassObject>* outParams);

}  // namespace Velmora
