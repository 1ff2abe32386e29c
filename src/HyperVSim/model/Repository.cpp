#include "model/Repository.h"

#include <algorithm>

#include "parse/CaseFold.h"
#include "parse/ObjectPath.h"

namespace HyperVSim {

std::wstring identityOfPath(std::wstring_view path) {
    const auto parsed = parseObjectPath(path);
    if (!parsed || (parsed->keys.empty() && !parsed->singleton)) return {};
    return parsed->identity();
}

namespace {

// The identities an association instance references through its (scalar) reference properties.
std::vector<std::wstring> referencedEnds(const Instance& instance) {
    std::vector<std::wstring> ends;
    const auto& properties = instance.definition().properties;
    for (std::size_t i = 0; i < properties.size(); ++i) {
        if (properties[i].type != CimType::Reference || properties[i].isArray) continue;
        const auto path = instance.values()[i].asString();
        if (!path) continue;
        auto identity = identityOfPath(*path);
        if (!identity.empty() && std::find(ends.begin(), ends.end(), identity) == ends.end())
            ends.push_back(std::move(identity));
    }
    return ends;
}

}  // namespace

void Repository::index(Record& record) {
    record.referenced = referencedEnds(record.instance);
    byClass_[foldCase(record.instance.className())].emplace(record.sequence, &record);
    for (const auto& end : record.referenced) byReferencedEnd_[end].emplace(record.sequence, &record);
}

void Repository::unindex(const Record& record) {
    const auto cls = byClass_.find(foldCase(record.instance.className()));
    if (cls != byClass_.end()) {
        cls->second.erase(record.sequence);
        if (cls->second.empty()) byClass_.erase(cls);
    }
    for (const auto& end : record.referenced) {
        const auto found = byReferencedEnd_.find(end);
        if (found == byReferencedEnd_.end()) continue;
        found->second.erase(record.sequence);
        if (found->second.empty()) byReferencedEnd_.erase(found);
    }
}

bool Repository::put(Instance instance) {
    auto identity = instance.identity();
    if (identity.empty()) return false;
    const auto existing = records_.find(identity);
    if (existing != records_.end()) {
        Record& record = *existing->second;
        unindex(record);
        record.instance = std::move(instance);
        index(record);
        return true;
    }
    auto record = std::make_unique<Record>();
    record->sequence = nextSequence_++;
    record->identity = identity;
    record->instance = std::move(instance);
    index(*record);
    records_.emplace(std::move(identity), std::move(record));
    return true;
}

bool Repository::remove(std::wstring_view identity) {
    const auto found = records_.find(std::wstring(identity));
    if (found == records_.end()) return false;
    unindex(*found->second);
    records_.erase(found);
    return true;
}

void Repository::clear() {
    records_.clear();
    byClass_.clear();
    byReferencedEnd_.clear();
    nextSequence_ = 1;
}

const Instance* Repository::find(std::wstring_view identity) const {
    const auto found = records_.find(std::wstring(identity));
    return found == records_.end() ? nullptr : &found->second->instance;
}

const Instance* Repository::findByPath(std::wstring_view path) const {
    const auto identity = identityOfPath(path);
    return identity.empty() ? nullptr : find(identity);
}

std::vector<const Instance*> Repository::all() const {
    std::vector<const Record*> records;
    records.reserve(records_.size());
    for (const auto& entry : records_) records.push_back(entry.second.get());
    std::sort(records.begin(), records.end(),
              [](const Record* a, const Record* b) { return a->sequence < b->sequence; });
    std::vector<const Instance*> result;
    result.reserve(records.size());
    for (const Record* record : records) result.push_back(&record->instance);
    return result;
}

std::vector<const Instance*> Repository::ofClass(std::wstring_view className) const {
    std::vector<std::pair<std::uint64_t, const Instance*>> found;
    for (const auto& definition : Schema::instance().withSubclasses(className)) {
        const auto cls = byClass_.find(foldCase(definition->name));
        if (cls == byClass_.end()) continue;
        for (const auto& [sequence, record] : cls->second) found.emplace_back(sequence, &record->instance);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<const Instance*> result;
    result.reserve(found.size());
    for (const auto& entry : found) result.push_back(entry.second);
    return result;
}

namespace {

bool referencesThrough(const Instance& association, std::wstring_view role, std::wstring_view identity) {
    const auto* value = association.get(role);
    if (!value || value->type() != CimType::Reference) return false;
    const auto path = value->asString();
    return path && identityOfPath(*path) == identity;
}

}  // namespace

std::vector<const Instance*> Repository::references(std::wstring_view identity, std::wstring_view resultClass,
                                                    std::wstring_view role) const {
    std::vector<const Instance*> result;
    const auto found = byReferencedEnd_.find(std::wstring(identity));
    if (found == byReferencedEnd_.end()) return result;
    const auto& schema = Schema::instance();
    for (const auto& [sequence, record] : found->second) {
        const Instance& association = record->instance;
        if (!resultClass.empty() && !schema.derivesFrom(association.className(), resultClass)) continue;
        if (!role.empty() && !referencesThrough(association, role, identity)) continue;
        result.push_back(&association);
    }
    return result;
}

std::vector<const Instance*> Repository::associators(std::wstring_view identity, std::wstring_view resultClass,
                                                     std::wstring_view assocClass, std::wstring_view role,
                                                     std::wstring_view resultRole) const {
    std::vector<const Instance*> result;
    const auto& schema = Schema::instance();
    for (const Instance* association : references(identity, assocClass, role)) {
        const auto& properties = association->definition().properties;
        for (std::size_t i = 0; i < properties.size(); ++i) {
            const auto& property = properties[i];
            if (property.type != CimType::Reference || property.isArray) continue;
            if (!resultRole.empty() && !equalsIgnoreCase(property.name, resultRole)) continue;
            if (!role.empty() && equalsIgnoreCase(property.name, role)) continue;
            const auto path = association->values()[i].asString();
            if (!path) continue;
            const auto end = identityOfPath(*path);
            if (end == identity) continue;
            const Instance* other = find(end);
            if (!other) continue;
            if (!resultClass.empty() && !schema.derivesFrom(other->className(), resultClass)) continue;
            result.push_back(other);
        }
    }
    return result;
}

}  // namespace HyperVSim
