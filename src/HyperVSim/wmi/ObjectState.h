// What an IWbemClassObject of the host carries: a model instance (for a class definition: its defaults) and
// where it came from, which decides its system properties.
//
// An instance read from the host is the host's own immutable snapshot, shared by every object and enumerator
// that hands it out; the first change (Put) gives the object a copy of its own. So each object behaves as an
// independent copy, as in WMI, without a copy per query and per Next.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/Instance.h"

namespace HyperVSim {

class ObjectState {
public:
    bool isClass = false;
    // Read from the host (not spawned by a client): __PATH, __SERVER and __NAMESPACE have values.
    bool stored = false;
    // Output parameters that a fault left out: Get answers WBEM_E_NOT_FOUND for them.
    std::vector<std::wstring> omitted;
    // The system properties of an object replayed from a trace, as the recorded host gave them (its name in
    // __SERVER and __PATH); null for the host's own objects, whose system properties follow from the instance.
    std::shared_ptr<const std::vector<std::pair<std::wstring, CimValue>>> recordedSystem;

    static ObjectState ofStored(std::shared_ptr<const Instance> snapshot) {
        ObjectState state(false, true);
        state.shared_ = std::move(snapshot);
        return state;
    }
    // Parameter definitions and the empty class have no path; the served classes do.
    static ObjectState ofClass(std::shared_ptr<const ClassDef> definition) {
        const bool hasPath = !definition->isParameters && !definition->name.empty();
        ObjectState state(true, hasPath);
        state.own_ = std::make_unique<Instance>(std::move(definition));
        return state;
    }
    static ObjectState ofFresh(Instance instance) {
        ObjectState state(false, false);
        state.own_ = std::make_unique<Instance>(std::move(instance));
        return state;
    }

    // A copy shares the snapshot, or copies the instance the original has made its own.
    ObjectState(const ObjectState& other)
        : isClass(other.isClass),
          stored(other.stored),
          omitted(other.omitted),
          recordedSystem(other.recordedSystem),
          shared_(other.shared_),
          own_(other.own_ ? std::make_unique<Instance>(*other.own_) : nullptr) {}
    ObjectState& operator=(const ObjectState& other) {
        if (this != &other) *this = ObjectState(other);
        return *this;
    }
    ObjectState(ObjectState&&) noexcept = default;
    ObjectState& operator=(ObjectState&&) noexcept = default;
    ~ObjectState() = default;

    const Instance& instance() const { return own_ ? *own_ : *shared_; }
    // The instance to change: this object's own, copied from the shared snapshot on the first change.
    Instance& edit() {
        if (!own_) {
            own_ = std::make_unique<Instance>(*shared_);
            shared_.reset();
        }
        return *own_;
    }

private:
    ObjectState(bool isClassObject, bool isStored) : isClass(isClassObject), stored(isStored) {}

    // One of the two; small, because a query's result holds one per object until Next hands it out.
    std::shared_ptr<const Instance> shared_;
    std::unique_ptr<Instance> own_;
};

}  // namespace HyperVSim
