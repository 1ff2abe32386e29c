// Embedded instances (objects written out as CIM-XML text) and the default settings objects of resource
// pools.
#pragma once

#include "wmi/Bstr.h"
#include "wmi/ComPtr.h"

namespace Velmora {

// The object's embedded-instance text; an empty string (never null) after a logged failure.
Bstr serializeObject(IWbemClassObject* object);

// Puts `property` = a one-element string array holding the embedded-instance text of `object`.
bool putEmbeddedInstanceList(IWbemClassObject* target, const Bstr& property, IWbemClassObject* object);

// The default settings object that a resource pool's allocation capabilities name, or null.
ComPtr<IWbemClassObject> requestDefaultObject(IWbemServices* services, IWbemClassObject* pool);

}  // namespace Velmora
