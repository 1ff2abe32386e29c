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

// The (scalar) reference properties of an association instance with the identities they name.
std::vector<std::pair<std::size_t, std::wstring>> referenceEnds(const Instance& instance) {
    std::vector<std::pair<std::size_t, std::wstring>> ends;
    const auto& properties = instance.definition().properties;
    for (std::size_t i = 0; i < properties.size(); ++i) {
        if (properties[i].type != CimType::Reference || properties[i].isArray) continue;
        const auto path = instance.values()[i].asString();
        if (!path) continue;
        auto identity = identityOfPath(*path);
        if (!identity.empty()) ends.emplace_back(i, std::move(identity));
    }
    return ends;
}

// The distinct identities among the ends.
std::vector<std::wstring> referencedEnds(const std::vector<std::pair<std::size_t, std::wstring>>& ends) {
    std::vector<std::wstring> identities;
    for (const auto& [property, identity] : ends)
        if (std::find(identities.begin(), identities.end(), identity) == identities.end())
            identities.push_back(identity);
    return identities;
}

// Takes the record out of one ordered index and drops the index when it is left empty.
template <class Map>
void eraseFrom(Map& map, const typename Map::key_type& key, std::uint64_t sequence) {
    const auto found = map.find(key);
    if (found == map.end()) return;
    found->second.erase(sequence);
    if (found->second.empty()) map.erase(found);
}

}  // namespace

Repository::Repository(const Repository& other) {
    *this = other;
}

Repository& Repository::operator=(const Repository& other) {
    if (this == &other) return *this;
    lookupKeys_ = other.lookupKeys_;
    nextSequence_ = other.nextSequence_;
    records_.clear();
    records_.reserve(other.records_.size());
    std::unordered_map<const Record*, Record*> copies;
    copies.reserve(other.records_.size());
    for (const auto& [identity, record] : other.records_) {
        auto copy = std::make_unique<Record>(*record);
        copies.emplace(record.get(), copy.get());
        records_.emplace(identity, std::move(copy));
    }
    // The indexes point at the records of `other`: the same places, pointing at the copies.
    const auto repoint = [&copies](Ordered& ordered) {
        for (auto& [sequence, record] : ordered) record = copies.at(record);
    };
    byClass_ = other.byClass_;
    for (auto& [cls, list] : byClass_)
        for (auto& entry : list.entries)
            if (entry.record != nullptr) entry.record = copies.at(entry.record);
    byReferencedEnd_ = other.byReferencedEnd_;
    for (auto& [identity, end] : byReferencedEnd_) {
        repoint(end.all);
        for (auto& [cls, ordered] : end.byClass) repoint(ordered);
    }
    byKey_ = other.byKey_;
    for (auto& [key, ordered] : byKey_) repoint(ordered);
    return *this;
}

void Repository::index(Record& record) {
    record.ends = referenceEnds(*record.instance);
    record.referenced = referencedEnds(record.ends);
    record.keys = lookupKeys_ ? lookupKeys_(*record.instance) : std::vector<std::wstring>();
    const std::wstring cls = foldCase(record.instance->className());
    for (const auto& identity : record.referenced) {
        End& end = byReferencedEnd_[identity];
        end.all.emplace(record.sequence, &record);
        end.byClass[cls].emplace(record.sequence, &record);
    }
    for (const auto& key : record.keys) byKey_[key].emplace(record.sequence, &record);
}

void Repository::unindex(const Record& record) {
    const std::wstring cls = foldCase(record.instance->className());
    for (const auto& identity : record.referenced) {
        const auto found = byReferencedEnd_.find(identity);
        if (found == byReferencedEnd_.end()) continue;
        found->second.all.erase(record.sequence);
        eraseFrom(found->second.byClass, cls, record.sequence);
        if (found->second.all.empty()) byReferencedEnd_.erase(found);
    }
    for (const auto& key : record.keys) eraseFrom(byKey_, key, record.sequence);
}

bool Repository::put(Instance instance) {
    auto identity = instance.identity();
    if (identity.empty()) return false;
    instance.rememberPath();
    const auto existing = records_.find(identity);
    if (existing != records_.end()) {
        Record& record = *existing->second;
        unindex(record);
        record.instance = std::make_shared<const Instance>(std::move(instance));
        byClass_.at(foldCase(record.instance->className())).entries[record.slot].instance = record.instance;
        index(record);
        return true;
    }
    auto record = std::make_unique<Record>();
    record->sequence = nextSequence_++;
    record->instance = std::make_shared<const Instance>(std::move(instance));
    ClassList& list = byClass_[foldCase(record->instance->className())];
    record->slot = list.entries.size();
    list.entries.push_back(ClassList::Entry{record->sequence, record.get(), record->instance});
    index(*record);
    records_.emplace(std::move(identity), std::move(record));
    return true;
}

void Repository::removeFromClassList(const Record& record) {
    const auto found = byClass_.find(foldCase(record.instance->className()));
    if (found == byClass_.end()) return;
    ClassList& list = found->second;
    list.entries[record.slot] = ClassList::Entry{};
    if (++list.gaps * 2 <= list.entries.size()) return;
    std::erase_if(list.entries, [](const ClassList::Entry& entry) { return entry.record == nullptr; });
    list.gaps = 0;
    for (std::size_t slot = 0; slot < list.entries.size(); ++slot) list.entries[slot].record->slot = slot;
    if (list.entries.empty()) byClass_.erase(found);
}

bool Repository::remove(std::wstring_view identity) {
    const auto found = records_.find(std::wstring(identity));
    if (found == records_.end()) return false;
    unindex(*found->second);
    removeFromClassList(*found->second);
    records_.erase(found);
    return true;
}

void Repository::clear() {
    records_.clear();
    byClass_.clear();
    byReferencedEnd_.clear();
    byKey_.clear();
    nextSequence_ = 1;
}

const Instance* Repository::find(std::wstring_view identity) const {
    const auto found = records_.find(std::wstring(identity));
    return found == records_.end() ? nullptr : found->second->instance.get();
}

Snapshot Repository::snapshot(std::wstring_view identity) const {
    const auto found = records_.find(std::wstring(identity));
    return found == records_.end() ? nullptr : found->second->instance;
}

const Instance* Repository::findByPath(std::wstring_view path) const {
    const auto identity = identityOfPath(path);
    return identity.empty() ? nullptr : find(identity);
}

std::vector<Snapshot> Repository::all() const {
    std::vector<const Record*> records;
    records.reserve(records_.size());
    for (const auto& entry : records_) records.push_back(entry.second.get());
    std::sort(records.begin(), records.end(), Record::bySequence);
    std::vector<Snapshot> result;
    result.reserve(records.size());
    for (const Record* record : records) result.push_back(record->instance);
    return result;
}

std::vector<Snapshot> Repository::ofClass(std::wstring_view className) const {
    std::vector<const ClassList*> lists;
    std::size_t count = 0;
    for (const auto& definition : Schema::instance().withSubclasses(className)) {
        const auto found = byClass_.find(foldCase(definition->name));
        if (found == byClass_.end()) continue;
        lists.push_back(&found->second);
        count += found->second.entries.size() - found->second.gaps;
    }
    std::vector<Snapshot> result;
    result.reserve(count);
    if (lists.size() == 1) {
        // One class's list is in insertion order already.
        for (const auto& entry : lists.front()->entries)
            if (entry.record) result.push_back(entry.instance);
        return result;
    }
    std::vector<const ClassList::Entry*> entries;
    entries.reserve(count);
    for (const ClassList* list : lists)
        for (const auto& entry : list->entries)
            if (entry.record) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(),
              [](const auto* a, const auto* b) { return a->sequence < b->sequence; });
    for (const auto* entry : entries) result.push_back(entry->instance);
    return result;
}

std::size_t Repository::countOf(std::wstring_view className) const {
    const auto found = byClass_.find(foldCase(className));
    return found == byClass_.end() ? 0 : found->second.entries.size() - found->second.gaps;
}

Snapshot Repository::oldestOf(std::wstring_view className) const {
    const auto found = byClass_.find(foldCase(className));
    if (found == byClass_.end()) return nullptr;
    for (const auto& entry : found->second.entries)
        if (entry.record) return entry.instance;
    return nullptr;
}

std::vector<Snapshot> Repository::withKey(std::wstring_view key) const {
    std::vector<Snapshot> result;
    const auto found = byKey_.find(std::wstring(key));
    if (found == byKey_.end()) return result;
    for (const auto& entry : found->second) result.push_back(entry.second->instance);
    return result;
}

std::vector<const Repository::Record*> Repository::referencing(std::wstring_view identity,
                                                               std::wstring_view resultClass,
                                                               std::wstring_view role) const {
    std::vector<const Record*> candidates;
    const auto found = byReferencedEnd_.find(std::wstring(identity));
    if (found == byReferencedEnd_.end()) return candidates;
    const End& end = found->second;
    if (resultClass.empty()) {
        for (const auto& entry : end.all) candidates.push_back(entry.second);
    } else {
        // Only the associations of the wanted classes: an object with many associations of one class
        // (a machine's settings and their components) is cheap to ask about its others.
        std::size_t classesFound = 0;
        for (const auto& [cls, records] : end.byClass) {
            if (!Schema::instance().derivesFrom(cls, resultClass)) continue;
            ++classesFound;
            for (const auto& entry : records) candidates.push_back(entry.second);
        }
        if (classesFound > 1) std::sort(candidates.begin(), candidates.end(), Record::bySequence);
    }
    if (role.empty()) return candidates;
    std::vector<const Record*> result;
    for (const Record* record : candidates) {
        const auto& properties = record->instance->definition().properties;
        const bool through = std::any_of(record->ends.begin(), record->ends.end(), [&](const auto& reference) {
            return reference.second == identity && equalsIgnoreCase(properties[reference.first].name, role);
        });
        if (through) result.push_back(record);
    }
    return result;
}

std::vector<Snapshot> Repository::references(std::wstring_view identity, std::wstring_view resultClass,
                                             std::wstring_view role) const {
    std::vector<Snapshot> result;
    for (const Record* record : referencing(identity, resultClass, role)) result.push_back(record->instance);
    return result;
}

std::vector<Snapshot> Repository::associators(std::wstring_view identity, std::wstring_view resultClass,
                                              std::wstring_view assocClass, std::wstring_view role,
                                              std::wstring_view resultRole) const {
    std::vector<Snapshot> result;
    const auto& schema = Schema::instance();
    for (const Record* record : referencing(identity, assocClass, role)) {
        const auto& properties = record->instance->definition().properties;
        for (const auto& [index, end] : record->ends) {
            const auto& property = properties[index];
            if (!resultRole.empty() && !equalsIgnoreCase(property.name, resultRole)) continue;
            if (!role.empty() && equalsIgnoreCase(property.name, role)) continue;
            if (end == identity) continue;
            const auto other = records_.find(end);
            if (other == records_.end()) continue;
            const Snapshot& instance = other->second->instance;
            if (!resultClass.empty() && !schema.derivesFrom(instance->className(), resultClass)) continue;
            result.push_back(instance);
        }
    }
    return result;
}

}  // namespace HyperVSim
