// One WMI call as a trace holds it (docs/traces.md): the interface and method, the object it was made on, its
// arguments, its HRESULT and what it handed back, each as named values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform.h"
#include "trace/TraceObject.h"

namespace HyperVSim {

// null, a flag, a number (flags, timeouts, counts, statuses, object numbers), a text, an object, and a list of
// objects in which an entry may be null.
using TraceObjects = std::vector<std::optional<TraceObject>>;
using TraceValue = std::variant<std::monostate, bool, std::int64_t, std::wstring, TraceObject, TraceObjects>;

struct TraceField {
    std::string name;
    TraceValue value;
};
using TraceFields = std::vector<TraceField>;

// nullptr when there is no field of that name.
const TraceValue* findField(const TraceFields& fields, std::string_view name);

struct TraceCall {
    std::size_t position = 0;  // 1-based order in the trace
    std::string interfaceName;
    std::string method;
    // The number of the services, enumerator or call result called; none for the locator, whose instances are
    // all alike. Objects are numbered from 1 in the order WMI handed them out.
    std::optional<std::int64_t> on;
    TraceFields arguments;
    HRESULT result = S_OK;
    TraceFields returned;
    // False for calls whose outputs a trace does not keep (asynchronous calls, writes of classes and
    // instances, ...): they are written so that a trace shows everything that happened, but cannot be answered.
    bool replayable = true;
};

}  // namespace HyperVSim
