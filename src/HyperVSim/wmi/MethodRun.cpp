#include "wmi/MethodRun.h"

#include <exception>

#include "com/Status.h"
#include "model/Host.h"
#include "parse/ObjectPath.h"
#include "wmi/ClassObject.h"
#include "wmi/Lookup.h"

namespace HyperVSim {
namespace {

MethodRun failedRun(WBEMSTATUS status) {
    return MethodRun{wbem(status), std::nullopt};
}

// Stores a handler's output, converting through text when the handler gave another (compatible) type.
void setOutput(Instance& out, const std::wstring& name, const CimValue& value) {
    if (out.set(name, value)) return;
    const PropertyDef* property = out.definition().property(name);
    if (!property) return;
    if (auto converted = CimValue::fromText(property->type, property->isArray, value.toText()))
        out.set(name, std::move(*converted));
}

ObjectState outputObject(const MethodDef& method, std::uint32_t returnValue,
                         const std::vector<std::pair<std::wstring, CimValue>>& outputs,
                         const std::vector<Fault>& faults) {
    Instance out(method.out);
    out.setInteger(L"ReturnValue", returnValue);
    for (const auto& [name, value] : outputs) setOutput(out, name, value);
    ObjectState state = ObjectState::ofFresh(std::move(out));
    for (const auto& fault : faults) {
        if (fault.kind == Fault::Kind::DeliverValue) state.edit().setOverride(fault.parameter, fault.value);
        if (fault.kind == Fault::Kind::OmitOutput) state.omitted.push_back(fault.parameter);
    }
    return state;
}

}  // namespace

MethodRun runMethod(std::wstring_view pathText, std::wstring_view methodName, IWbemClassObject* inParams,
                    const std::vector<Fault>& faults) {
    if (pathText.empty() || methodName.empty()) return failedRun(WBEM_E_INVALID_PARAMETER);
    const auto path = parseObjectPath(pathText);
    if (!path) return failedRun(WBEM_E_INVALID_OBJECT_PATH);
    if (!isHostNamespace(path->nameSpace)) return failedRun(WBEM_E_INVALID_NAMESPACE);
    const auto definition = Schema::instance().find(path->className);
    if (!definition || definition->isParameters) return failedRun(WBEM_E_INVALID_CLASS);
    const MethodDef* method = definition->method(methodName);
    if (!method) return failedRun(WBEM_E_INVALID_METHOD);

    Instance parameters = method->in ? Instance(method->in) : Instance();
    if (inParams) {
        const ClassObject* given = ClassObject::of(inParams);
        if (!given || given->state().isClass || !method->in ||
            given->state().instance().definitionPtr() != method->in)
            return failedRun(WBEM_E_INVALID_METHOD_PARAMETERS);
        parameters = given->state().instance();
    }

    for (const auto& fault : faults)
        if (fault.kind == Fault::Kind::ReturnValue)
            return MethodRun{S_OK, outputObject(*method, static_cast<std::uint32_t>(fault.result), {}, faults)};

    const MethodHandler handler = Host::instance().handler(definition->name, method->name);
    if (!handler) return failedRun(WBEM_E_NOT_SUPPORTED);

    const bool onInstance = !path->keys.empty() || path->singleton;
    const auto identity = path->identity();
    return Host::instance().write([&](HostState& state) -> MethodRun {
        Instance target(definition);
        if (onInstance) {
            const Instance* found = state.repository.find(identity);
            if (!found) return failedRun(WBEM_E_NOT_FOUND);
            target = *found;
        }
        MethodOutcome outcome;
        try {
            outcome = handler(state, target, parameters);
        } catch (const std::exception&) {
            return failedRun(WBEM_E_PROVIDER_FAILURE);
        }
        if (outcome.failure < 0) return MethodRun{outcome.failure, std::nullopt};
        return MethodRun{S_OK, outputObject(*method, outcome.returnValue, outcome.outputs, faults)};
    });
}

}  // namespace HyperVSim
