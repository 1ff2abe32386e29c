// The namespaces the host has (root, root\virtualization, root\virtualization\v2) and how the locator and
// OpenNamespace resolve the names clients write.
#pragma once

#include <string>
#include <string_view>

#include "platform.h"

namespace HyperVSim {

struct NamespaceName {
    HRESULT error = S_OK;
    std::wstring name;  // canonical spelling, e.g. "root\virtualization\v2"
};

// ConnectServer's network resource: an optional `\\server\` prefix (either slash; ".", "localhost" or the
// host name) and a namespace path from the root.
NamespaceName resolveResource(std::wstring_view resource);

// OpenNamespace: `relative` below `parent`.
NamespaceName resolveChild(std::wstring_view parent, std::wstring_view relative);

}  // namespace HyperVSim
