#include "trace/CallShapes.h"

namespace HyperVSim {
namespace {

TraceCall call(const char* interfaceName, const char* method, std::optional<std::int64_t> on,
               TraceFields arguments) {
    TraceCall result;
    result.interfaceName = interfaceName;
    result.method = method;
    result.on = on;
    result.arguments = std::move(arguments);
    return result;
}

TraceValue number(std::int64_t value) {
    return value;
}

}  // namespace

TraceValue textValue(const wchar_t* text) {
    if (!text) return std::monostate{};
    return std::wstring(text);
}

TraceCall connectServerCall(const wchar_t* resource, LONG securityFlags) {
    return call(locatorInterface, "ConnectServer", std::nullopt,
                {{"resource", textValue(resource)}, {"securityFlags", number(securityFlags)}});
}

TraceCall setBlanketCall(std::int64_t on, DWORD authnService, DWORD authzService, const OLECHAR* principal,
                         DWORD authnLevel, DWORD impLevel, DWORD capabilities) {
    // (OLECHAR*)-1 asks for the default principal, which has no text.
    const bool hasText = principal && principal != reinterpret_cast<const OLECHAR*>(-1);
    return call(securityInterface, "SetBlanket", on,
                {{"authnService", number(authnService)},
                 {"authzService", number(authzService)},
                 {"principal", hasText ? textValue(principal) : TraceValue(principal != nullptr)},
                 {"authnLevel", number(authnLevel)},
                 {"impLevel", number(impLevel)},
                 {"capabilities", number(capabilities)}});
}

TraceCall openNamespaceCall(std::int64_t on, const wchar_t* nameSpace, LONG flags) {
    return call(servicesInterface, "OpenNamespace", on,
                {{"namespace", textValue(nameSpace)}, {"flags", number(flags)}});
}

TraceCall getObjectCall(std::int64_t on, const wchar_t* path, LONG flags) {
    return call(servicesInterface, "GetObject", on, {{"path", textValue(path)}, {"flags", number(flags)}});
}

TraceCall execQueryCall(std::int64_t on, const wchar_t* language, const wchar_t* query, LONG flags) {
    return call(servicesInterface, "ExecQuery", on,
                {{"language", textValue(language)}, {"query", textValue(query)}, {"flags", number(flags)}});
}

TraceCall createInstanceEnumCall(std::int64_t on, const wchar_t* className, LONG flags) {
    return call(servicesInterface, "CreateInstanceEnum", on,
                {{"class", textValue(className)}, {"flags", number(flags)}});
}

TraceCall execMethodCall(std::int64_t on, const wchar_t* path, const wchar_t* method, LONG flags,
                         std::optional<TraceObject> inParams, bool outParams, bool callResult) {
    TraceValue input = std::monostate{};
    if (inParams) input = std::move(*inParams);
    return call(servicesInterface, "ExecMethod", on,
                {{"path", textValue(path)},
                 {"method", textValue(method)},
                 {"flags", number(flags)},
                 {"inParams", std::move(input)},
                 {"outParams", outParams},
                 {"callResult", callResult}});
}

TraceCall nextCall(std::int64_t on, LONG timeout, ULONG count) {
    return call(enumeratorInterface, "Next", on, {{"timeout", number(timeout)}, {"count", number(count)}});
}

TraceCall resetCall(std::int64_t on) {
    return call(enumeratorInterface, "Reset", on, {});
}

TraceCall skipCall(std::int64_t on, LONG timeout, ULONG count) {
    return call(enumeratorInterface, "Skip", on, {{"timeout", number(timeout)}, {"count", number(count)}});
}

TraceCall cloneCall(std::int64_t on) {
    return call(enumeratorInterface, "Clone", on, {});
}

TraceCall getCallStatusCall(std::int64_t on, LONG timeout) {
    return call(callResultInterface, "GetCallStatus", on, {{"timeout", number(timeout)}});
}

TraceCall getResultObjectCall(std::int64_t on, LONG timeout) {
    return call(callResultInterface, "GetResultObject", on, {{"timeout", number(timeout)}});
}

TraceCall unreplayableCall(const char* interfaceName, const char* method, std::optional<std::int64_t> on,
                           const wchar_t* subject) {
    TraceCall result = call(interfaceName, method, on, {});
    if (subject) result.arguments.push_back({"subject", textValue(subject)});
    result.replayable = false;
    return result;
}

}  // namespace HyperVSim
