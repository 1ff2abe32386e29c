#include "wmi/Namespaces.h"

#include <array>

#include "HyperVSim/Control.h"
#include "com/Status.h"
#include "parse/CaseFold.h"

namespace HyperVSim {
namespace {

constexpr std::array<const wchar_t*, 3> knownNamespaces{L"root", L"root\\virtualization",
                                                        L"root\\virtualization\\v2"};
constexpr HRESULT rpcServerUnavailable = static_cast<HRESULT>(0x800706BA);

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// A namespace path with either separator; empty segments (doubled, leading or trailing separators) refuse.
NamespaceName resolvePath(std::wstring_view path) {
    if (path.empty()) return {wbem(WBEM_E_INVALID_NAMESPACE), {}};
    std::wstring normalised;
    bool lastWasSeparator = true;
    for (const wchar_t c : path) {
        if (isSeparator(c)) {
            if (lastWasSeparator) return {wbem(WBEM_E_INVALID_NAMESPACE), {}};
            normalised += L'\\';
            lastWasSeparator = true;
        } else {
            normalised += c;
            lastWasSeparator = false;
        }
    }
    if (lastWasSeparator) return {wbem(WBEM_E_INVALID_NAMESPACE), {}};
    for (const auto* known : knownNamespaces)
        if (equalsIgnoreCase(known, normalised)) return {S_OK, known};
    return {wbem(WBEM_E_INVALID_NAMESPACE), {}};
}

}  // namespace

NamespaceName resolveResource(std::wstring_view resource) {
    if (resource.size() >= 2 && isSeparator(resource[0]) && isSeparator(resource[1])) {
        const std::wstring_view rest = resource.substr(2);
        std::size_t end = 0;
        while (end < rest.size() && !isSeparator(rest[end])) ++end;
        const std::wstring_view server = rest.substr(0, end);
        if (server.empty()) return {wbem(WBEM_E_INVALID_PARAMETER), {}};
        if (end == rest.size())  // no namespace after the server name
            return {server == L"." ? wbem(WBEM_E_INVALID_NAMESPACE) : rpcServerUnavailable, {}};
        if (server != L"." && !equalsIgnoreCase(server, L"localhost") && !equalsIgnoreCase(server, hostName))
            return {rpcServerUnavailable, {}};
        return resolvePath(rest.substr(end + 1));
    }
    return resolvePath(resource);
}

NamespaceName resolveChild(std::wstring_view parent, std::wstring_view relative) {
    if (relative.empty() || isSeparator(relative.front())) return {wbem(WBEM_E_INVALID_NAMESPACE), {}};
    return resolvePath(std::wstring(parent) + L"\\" + std::wstring(relative));
}

}  // namespace HyperVSim
