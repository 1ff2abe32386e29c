// Reading a WMI object of any origin (the system's WMI, the host's own) through IWbemClassObject alone:
// system properties by name, properties with their CIM types, origins and keys, and a class definition's
// methods through their parameter definitions.
#pragma once

#include <optional>

#include "platform.h"
#include "trace/ObjectRecord.h"

namespace HyperVSim {

// The model's type of a CIMTYPE code (CIM_FLAG_ARRAY set or not); nullopt for types a trace cannot hold
// (embedded objects).
struct TypeOfCode {
    CimType type;
    bool isArray;
};
std::optional<TypeOfCode> typeOfCode(CIMTYPE code);

// Reads the whole object. Properties of a type a trace cannot hold are left out. A failing HRESULT when
// the object cannot be enumerated.
HRESULT readObject(IWbemClassObject* object, ObjectRecord& record);

}  // namespace HyperVSim
