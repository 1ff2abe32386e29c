// The calls a trace holds, as both the recorder and the replay build them from a call's parameters: the same
// call gives the same fields on both sides, which is what the replay matches (docs/traces.md lists them).
#pragma once

#include <optional>

#include "trace/TraceCall.h"

namespace HyperVSim {

inline constexpr const char* locatorInterface = "IWbemLocator";
inline constexpr const char* servicesInterface = "IWbemServices";
inline constexpr const char* securityInterface = "IClientSecurity";
inline constexpr const char* enumeratorInterface = "IEnumWbemClassObject";
inline constexpr const char* callResultInterface = "IWbemCallResult";

// A BSTR argument: its text, or null.
TraceValue textValue(const wchar_t* text);

// The user, password, authority, locale and context are never written: they identify the caller.
TraceCall connectServerCall(const wchar_t* resource, LONG securityFlags);
// The identity handle is never written.
TraceCall setBlanketCall(std::int64_t on, DWORD authnService, DWORD authzService, const OLECHAR* principal,
                         DWORD authnLevel, DWORD impLevel, DWORD capabilities);
TraceCall openNamespaceCall(std::int64_t on, const wchar_t* nameSpace, LONG flags);
TraceCall getObjectCall(std::int64_t on, const wchar_t* path, LONG flags);
TraceCall execQueryCall(std::int64_t on, const wchar_t* language, const wchar_t* query, LONG flags);
TraceCall createInstanceEnumCall(std::int64_t on, const wchar_t* className, LONG flags);
// `inParams` is null when the caller passed no input object; `outParams` and `callResult` say whether the
// caller asked for the output object and the call result.
TraceCall execMethodCall(std::int64_t on, const wchar_t* path, const wchar_t* method, LONG flags,
                         std::optional<TraceObject> inParams, bool outParams, bool callResult);
TraceCall nextCall(std::int64_t on, LONG timeout, ULONG count);
TraceCall resetCall(std::int64_t on);
TraceCall skipCall(std::int64_t on, LONG timeout, ULONG count);
TraceCall cloneCall(std::int64_t on);
TraceCall getCallStatusCall(std::int64_t on, LONG timeout);
TraceCall getResultObjectCall(std::int64_t on, LONG timeout);
// A call whose outputs a trace does not keep, with the text that names what it was about.
TraceCall unreplayableCall(const char* interfaceName, const char* method, std::optional<std::int64_t> on,
                           const wchar_t* subject = nullptr);

}  // namespace HyperVSim
