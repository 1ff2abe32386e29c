// How texts from a trace are held against texts of a replay or of the model. GUIDs are the identities a host
// or a caller makes up: a replay must use the host's GUIDs as the trace gave them but may make up its own,
// and a host other than the recorded one makes up others. Host names in paths differ from host to host.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace HyperVSim {

// The text in upper case, as GUIDs and host names are compared.
std::wstring upperCase(std::wstring_view text);

struct GuidSpan {
    std::size_t offset = 0;  // of the 36 characters, without braces
};
std::vector<GuidSpan> findGuids(std::wstring_view text);
inline constexpr std::size_t guidLength = 36;

// The texts agree outside their GUIDs, which come in the same number; a GUID of `recorded` for which
// `mustEqual` holds must be the same GUID in `actual` (without regard to case), any other may differ.
bool sameWithGuids(std::wstring_view actual, std::wstring_view recorded,
                   const std::function<bool(std::wstring_view guid)>& mustEqual);

// The text with every GUID written as {GUID} and the server of every path (\\NAME\root...) as HOST.
std::wstring withoutIdentities(std::wstring_view text);

// What a trace's GUIDs and host name are on another host: learnt from texts at the same place in the answers
// of both, applied to the trace's arguments before they are sent to the other host, and to its answers before
// they are compared with the other host's.
class IdentityMap {
public:
    void learn(std::wstring_view traced, std::wstring_view other);
    // The names of the hosts themselves (__SERVER), which paths also hold as key values (SystemName="NAME").
    void learnHost(std::wstring_view traced, std::wstring_view other);
    std::wstring translate(std::wstring_view traced) const;

private:
    std::map<std::wstring, std::wstring> guids_;  // upper-case trace GUID -> the other host's
    std::map<std::wstring, std::wstring> hosts_;  // upper-case trace host name -> the other host's
};

}  // namespace HyperVSim
