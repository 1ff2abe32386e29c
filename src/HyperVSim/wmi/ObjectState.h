// What an IWbemClassObject of the host carries: a copy of a model instance (for a class definition: its
// defaults) and where it came from, which decides its system properties.
#pragma once

#include <string>
#include <vector>

#include "model/Instance.h"

namespace HyperVSim {

struct ObjectState {
    Instance instance;
    bool isClass = false;
    // Read from the host (not spawned by a client): __PATH, __SERVER and __NAMESPACE have values.
    bool stored = false;
    // Output parameters that a fault left out: Get answers WBEM_E_NOT_FOUND for them.
    std::vector<std::wstring> omitted;

    static ObjectState ofStored(const Instance& instance) { return ObjectState{instance, false, true, {}}; }
    // Parameter definitions and the empty class have no path; the served classes do.
    static ObjectState ofClass(std::shared_ptr<const ClassDef> definition) {
        const bool hasPath = !definition->isParameters && !definition->name.empty();
        return ObjectState{Instance(std::move(definition)), true, hasPath, {}};
    }
    static ObjectState ofFresh(Instance instance) { return ObjectState{std::move(instance), false, false, {}}; }
};

}  // namespace HyperVSim
