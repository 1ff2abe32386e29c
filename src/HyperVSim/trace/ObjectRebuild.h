// An object of the host rebuilt from a trace's record, for the replay to hand out: a class definition made
// from what the record holds (properties, their types, origins and keys, methods with their parameter
// definitions), an instance of it with the recorded values, and the recorded system properties. Everything
// done with it afterwards (Get, Put, GetMethod, SpawnInstance, GetText) works as on the host's own objects.
#pragma once

#include <optional>
#include <string>

#include "trace/ObjectRecord.h"
#include "wmi/ObjectState.h"

namespace HyperVSim {

struct RebuiltObject {
    std::optional<ObjectState> state;
    std::wstring error;  // a value that does not read as its type; empty when `state` is set
};

RebuiltObject rebuildObject(const ObjectRecord& record);

}  // namespace HyperVSim
