// The instances of the host, keyed by canonical identity, with an index by class (so that a query of one
// class costs only that class's instances), association instances indexed by each end they reference and by
// their class (so that Associators/References queries cost only their result, however many other
// associations the end has), and instances indexed by the lookup keys that the model gives them (so that
// finding, say, the disk that names a file costs no walk). Enumeration follows insertion order.
//
// Each stored instance is an immutable snapshot: a change stores a new one in its place. Readers keep the
// snapshots they were given (shared, not copied) for as long as they need them, also after the host has
// moved on.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/Instance.h"

namespace HyperVSim {

using Snapshot = std::shared_ptr<const Instance>;

// The further keys under which an instance can be found with Repository::withKey; none for most.
using LookupKeys = std::vector<std::wstring> (*)(const Instance& instance);

class Repository {
public:
    explicit Repository(LookupKeys lookupKeys = nullptr) : lookupKeys_(lookupKeys) {}
    // A copy shares the (immutable) instances and has indexes of its own.
    Repository(const Repository& other);
    Repository& operator=(const Repository& other);
    Repository(Repository&&) noexcept = default;
    Repository& operator=(Repository&&) noexcept = default;

    // Stores the instance, replacing one of the same identity (which keeps its place in enumeration
    // order). Returns false when the instance lacks a key.
    bool put(Instance instance);
    bool remove(std::wstring_view identity);
    void clear();
    std::size_t size() const { return records_.size(); }

    const Instance* find(std::wstring_view identity) const;
    Snapshot snapshot(std::wstring_view identity) const;
    // By object path text (full or relative); nullptr when it does not parse or is absent.
    const Instance* findByPath(std::wstring_view path) const;

    // Every instance, in insertion order.
    std::vector<Snapshot> all() const;
    // Instances that have `key` among their lookup keys, in insertion order.
    std::vector<Snapshot> withKey(std::wstring_view key) const;
    // Instances of the class and its subclasses, in insertion order.
    std::vector<Snapshot> ofClass(std::wstring_view className) const;
    // How many instances there are of exactly this class, and the one stored first (null when none).
    std::size_t countOf(std::wstring_view className) const;
    Snapshot oldestOf(std::wstring_view className) const;

    // Association instances that reference `identity`, restricted (when not empty) to associations of
    // `resultClass` (or a subclass) and to those referencing it through the property `role`.
    std::vector<Snapshot> references(std::wstring_view identity, std::wstring_view resultClass = {},
                                     std::wstring_view role = {}) const;
    // The objects at the other ends of those associations: one entry per association instance and end,
    // restricted to `assocClass`, `role` (the source's role), `resultRole` and `resultClass` when given.
    // Ends that name no stored instance are skipped.
    std::vector<Snapshot> associators(std::wstring_view identity, std::wstring_view resultClass = {},
                                      std::wstring_view assocClass = {}, std::wstring_view role = {},
                                      std::wstring_view resultRole = {}) const;

private:
    struct Record {
        std::uint64_t sequence = 0;
        std::size_t slot = 0;                  // in its class's list
        Snapshot instance;                     // its identity is its key in records_
        std::vector<std::wstring> referenced;  // identities this association references
        // (property index, identity) of each reference, parsed once here rather than on every query.
        std::vector<std::pair<std::size_t, std::wstring>> ends;
        std::vector<std::wstring> keys;

        static bool bySequence(const Record* a, const Record* b) { return a->sequence < b->sequence; }
    };
    // Association records that reference `identity`, filtered as references() filters.
    std::vector<const Record*> referencing(std::wstring_view identity, std::wstring_view resultClass,
                                           std::wstring_view role) const;
    // The association and lookup-key indexes (the class lists keep their order through a replacement).
    void index(Record& record);
    void unindex(const Record& record);
    void removeFromClassList(const Record& record);

    // The instances of one class in insertion order, side by side, so that a query sweeps through them
    // without visiting their records. A removed one leaves a gap until gaps make up half of the list.
    struct ClassList {
        struct Entry {
            std::uint64_t sequence = 0;
            Record* record = nullptr;  // null: a gap
            Snapshot instance;
        };
        std::vector<Entry> entries;
        std::size_t gaps = 0;
    };

    using Ordered = std::map<std::uint64_t, const Record*>;  // by sequence
    // The associations that reference one identity: all of them, and by (lower-case) class.
    struct End {
        Ordered all;
        std::unordered_map<std::wstring, Ordered> byClass;
    };

    LookupKeys lookupKeys_;
    std::uint64_t nextSequence_ = 1;
    std::unordered_map<std::wstring, std::unique_ptr<Record>> records_;  // by identity
    std::unordered_map<std::wstring, ClassList> byClass_;                // lower-case
    std::unordered_map<std::wstring, End> byReferencedEnd_;              // identity
    std::unordered_map<std::wstring, Ordered> byKey_;
};

// The identity of an object path text; empty when it does not parse or names no keys.
std::wstring identityOfPath(std::wstring_view path);

}  // namespace HyperVSim
