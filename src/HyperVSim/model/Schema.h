// The classes the host serves, as data: superclass chain, properties with CIM types, keys, origins and
// defaults, and methods with their parameter definitions.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/Value.h"

namespace HyperVSim {

struct PropertyDef {
    std::wstring name;
    CimType type = CimType::String;
    bool isArray = false;
    bool key = false;
    std::wstring classOrigin;  // the class that declares it
    CimValue defaultValue;     // NULL unless the class gives a default
};

struct ClassDef;

struct MethodDef {
    std::wstring name;
    std::wstring classOrigin;
    // Parameter definitions as the "__PARAMETERS" classes that GetMethod hands out. `in` is null when the
    // method takes no input; `out` always has ReturnValue (uint32).
    std::shared_ptr<const ClassDef> in;
    std::shared_ptr<const ClassDef> out;
};

struct ClassDef {
    std::wstring name;
    std::wstring superclass;               // empty for a top class
    std::vector<std::wstring> derivation;  // ancestors, nearest first
    std::vector<PropertyDef> properties;   // inherited and own, sorted by name (case-insensitive)
    std::vector<MethodDef> methods;        // inherited and own
    bool isParameters = false;             // a method's in- or out-parameter definition

    const PropertyDef* property(std::wstring_view propertyName) const;  // case-insensitive
    const MethodDef* method(std::wstring_view methodName) const;        // case-insensitive
    std::vector<const PropertyDef*> keys() const;                       // alphabetical
    bool isAssociation() const;                                         // has reference-typed properties
    std::wstring dynasty() const { return derivation.empty() ? name : derivation.back(); }
};

class Schema {
public:
    // The schema of root\virtualization\v2, built once.
    static const Schema& instance();

    std::shared_ptr<const ClassDef> find(std::wstring_view className) const;  // case-insensitive
    // True when `className` is `ancestor` or derives from it (case-insensitive).
    bool derivesFrom(std::wstring_view className, std::wstring_view ancestor) const;
    // `className` and every class deriving from it.
    std::vector<std::shared_ptr<const ClassDef>> withSubclasses(std::wstring_view className) const;
    // Every class, superclasses before their subclasses.
    std::vector<std::shared_ptr<const ClassDef>> classes() const { return {ordered_.begin(), ordered_.end()}; }

    // Builder used by the schema's definition.
    void add(ClassDef definition);

private:
    Schema() = default;
    friend struct SchemaDefinition;
    std::unordered_map<std::wstring, std::shared_ptr<ClassDef>> classes_;  // by lower-case name
    std::vector<std::shared_ptr<ClassDef>> ordered_;
};

}  // namespace HyperVSim
