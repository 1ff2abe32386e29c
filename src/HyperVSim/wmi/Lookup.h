// Resolving object paths and WQL queries against the host, under its read lock. The results are copies.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "platform.h"
#include "wmi/ObjectState.h"

namespace HyperVSim {

struct ObjectLookup {
    HRESULT error = S_OK;
    std::optional<ObjectState> object;
};
// A full or relative instance path, or a class name. Empty text gives the empty class object.
ObjectLookup lookUpObject(std::wstring_view path);

struct QueryResult {
    HRESULT error = S_OK;
    // A failure the enumerator may report later instead (unknown classes, a missing source object); syntax
    // errors are never deferred.
    bool deferrable = false;
    std::vector<ObjectState> objects;
};
QueryResult runQuery(std::wstring_view text);

// Whether a namespace written in a path names the Hyper-V namespace (empty: the current one).
bool isHostNamespace(std::wstring_view nameSpace);

}  // namespace HyperVSim
