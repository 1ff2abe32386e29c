#include "wmi/Lookup.h"

#include <algorithm>
#include <limits>
#include <variant>

#include "com/Status.h"
#include "model/Host.h"
#include "parse/CaseFold.h"
#include "parse/ObjectPath.h"
#include "parse/Wql.h"
#include "wmi/SystemProperties.h"

namespace HyperVSim {

bool isHostNamespace(std::wstring_view nameSpace) {
    return nameSpace.empty() || equalsIgnoreCase(nameSpace, hostNamespace);
}

namespace {

ObjectState emptyClass() {
    static const auto definition = std::make_shared<const ClassDef>();
    return ObjectState::ofClass(definition);
}

ObjectLookup failedLookup(WBEMSTATUS status) {
    return ObjectLookup{wbem(status), std::nullopt};
}

}  // namespace

ObjectLookup lookUpObject(std::wstring_view text) {
    if (text.empty()) return ObjectLookup{S_OK, emptyClass()};
    const auto path = parseObjectPath(text);
    if (!path) return failedLookup(WBEM_E_INVALID_OBJECT_PATH);
    if (!isHostNamespace(path->nameSpace)) return failedLookup(WBEM_E_INVALID_NAMESPACE);
    const auto definition = Schema::instance().find(path->className);
    if (!definition || definition->isParameters) return failedLookup(WBEM_E_INVALID_CLASS);
    if (path->keys.empty() && !path->singleton) return ObjectLookup{S_OK, ObjectState::ofClass(definition)};
    const auto identity = path->identity();
    return Host::instance().read([&](const HostState& state) {
        Snapshot found = state.repository.snapshot(identity);
        if (!found) return failedLookup(WBEM_E_NOT_FOUND);
        return ObjectLookup{S_OK, ObjectState::ofStored(std::move(found))};
    });
}

namespace {

wql::Literal literalOfValue(const Value& value) {
    if (const auto* text = std::get_if<std::wstring>(&value)) return {*text};
    if (const auto* number = std::get_if<std::int32_t>(&value)) return {std::int64_t{*number}};
    if (const auto* number = std::get_if<std::int16_t>(&value)) return {std::int64_t{*number}};
    if (const auto* flag = std::get_if<bool>(&value)) return {*flag};
    return {};
}

wql::Literal literalOf(const CimValue& value) {
    if (value.isNull() || value.isArray()) return {};
    const CimElement& element = value.elements().front();
    if (const auto* text = std::get_if<std::wstring>(&element)) return {*text};
    if (const auto* flag = std::get_if<bool>(&element)) return {*flag};
    if (const auto* number = std::get_if<std::int64_t>(&element)) return {*number};
    if (const auto* number = std::get_if<std::uint64_t>(&element))
        return {
            static_cast<std::int64_t>(std::min<std::uint64_t>(*number, std::numeric_limits<std::int64_t>::max()))};
    return {static_cast<std::int64_t>(std::get<double>(element))};
}

// How the where clause sees an object: what Get would deliver.
std::optional<wql::Literal> lookUpProperty(const ObjectState& object, std::wstring_view name) {
    if (isSystemPropertyName(name)) {
        const auto value = systemProperty(object, name);
        if (!value) return std::nullopt;
        return literalOf(*value);
    }
    const CimValue* value = object.instance().get(name);
    if (!value) return std::nullopt;
    if (const auto substitute = object.instance().overrideFor(name)) return literalOfValue(*substitute);
    return literalOf(*value);
}

QueryResult queryFailed(WBEMSTATUS status, bool deferrable = false) {
    return QueryResult{wbem(status), deferrable, {}};
}

bool knownClass(std::wstring_view name) {
    const auto definition = Schema::instance().find(name);
    return definition && !definition->isParameters;
}

QueryResult select(const wql::SelectQuery& query) {
    const auto definition = Schema::instance().find(query.className);
    if (!definition || definition->isParameters) return queryFailed(WBEM_E_INVALID_CLASS, true);
    if (query.where) {
        // Checked against the class itself, so that a misspelt property is refused even with no instances.
        const ObjectState probe = ObjectState::ofFresh(Instance(definition));
        const auto lookup = [&](std::wstring_view name) { return lookUpProperty(probe, name); };
        if (wql::evaluate(*query.where, lookup) == wql::Match::UnknownProperty)
            return queryFailed(WBEM_E_INVALID_QUERY);
    }
    return Host::instance().read([&](const HostState& state) {
        QueryResult result;
        auto instances = state.repository.ofClass(definition->name);
        result.objects.reserve(instances.size());
        for (auto& instance : instances) {
            ObjectState object = ObjectState::ofStored(std::move(instance));
            if (query.where) {
                const auto lookup = [&](std::wstring_view name) { return lookUpProperty(object, name); };
                if (wql::evaluate(*query.where, lookup) != wql::Match::Yes) continue;
            }
            result.objects.push_back(std::move(object));
        }
        return result;
    });
}

// The source of an association query; the error when it is not a stored instance.
struct Source {
    HRESULT error = S_OK;
    bool deferrable = false;
    std::wstring identity;
};

Source sourceOf(std::wstring_view text) {
    const auto path = parseObjectPath(text);
    if (!path) return Source{wbem(WBEM_E_INVALID_QUERY), false, {}};
    if (!isHostNamespace(path->nameSpace)) return Source{wbem(WBEM_E_INVALID_NAMESPACE), true, {}};
    if (!knownClass(path->className)) return Source{wbem(WBEM_E_NOT_FOUND), true, {}};
    if (path->keys.empty() && !path->singleton) return Source{wbem(WBEM_E_NOT_SUPPORTED), false, {}};
    return Source{S_OK, false, path->identity()};
}

// Class definitions of the distinct classes among the objects (ClassDefsOnly).
std::vector<ObjectState> classDefinitions(const std::vector<Snapshot>& instances) {
    std::vector<ObjectState> result;
    std::vector<const ClassDef*> seen;
    for (const auto& instance : instances) {
        const ClassDef* definition = &instance->definition();
        if (std::find(seen.begin(), seen.end(), definition) != seen.end()) continue;
        seen.push_back(definition);
        result.push_back(ObjectState::ofClass(instance->definitionPtr()));
    }
    return result;
}

template <class Collect>
QueryResult association(const Source& source, bool classDefsOnly, Collect collect) {
    if (source.error < 0) return QueryResult{source.error, source.deferrable, {}};
    return Host::instance().read([&](const HostState& state) {
        if (!state.repository.find(source.identity)) return queryFailed(WBEM_E_NOT_FOUND, true);
        std::vector<Snapshot> found = collect(state.repository);
        QueryResult result;
        if (classDefsOnly) {
            result.objects = classDefinitions(found);
            return result;
        }
        result.objects.reserve(found.size());
        for (auto& instance : found) result.objects.push_back(ObjectState::ofStored(std::move(instance)));
        return result;
    });
}

bool unknownFilterClass(std::wstring_view name) {
    return !name.empty() && !knownClass(name);
}

QueryResult associators(const wql::AssociatorsQuery& query) {
    if (query.schemaOnly || (query.classDefsOnly && !query.resultClass.empty()))
        return queryFailed(WBEM_E_INVALID_QUERY);
    if (unknownFilterClass(query.resultClass) || unknownFilterClass(query.assocClass))
        return queryFailed(WBEM_E_INVALID_CLASS, true);
    const Source source = sourceOf(query.sourcePath);
    return association(source, query.classDefsOnly, [&](const Repository& repository) {
        return repository.associators(source.identity, query.resultClass, query.assocClass, query.role,
                                      query.resultRole);
    });
}

QueryResult references(const wql::ReferencesQuery& query) {
    if (query.schemaOnly || (query.classDefsOnly && !query.resultClass.empty()))
        return queryFailed(WBEM_E_INVALID_QUERY);
    if (unknownFilterClass(query.resultClass)) return queryFailed(WBEM_E_INVALID_CLASS, true);
    const Source source = sourceOf(query.sourcePath);
    return association(source, query.classDefsOnly, [&](const Repository& repository) {
        return repository.references(source.identity, query.resultClass, query.role);
    });
}

}  // namespace

QueryResult runQuery(std::wstring_view text) {
    const auto parsed = wql::parse(text);
    if (!parsed.query) return queryFailed(WBEM_E_INVALID_QUERY);
    return std::visit(
        [](const auto& query) -> QueryResult {
            using T = std::decay_t<decltype(query)>;
            if constexpr (std::is_same_v<T, wql::SelectQuery>)
                return select(query);
            else if constexpr (std::is_same_v<T, wql::AssociatorsQuery>)
                return associators(query);
            else
                return references(query);
        },
        *parsed.query);
}

}  // namespace HyperVSim
