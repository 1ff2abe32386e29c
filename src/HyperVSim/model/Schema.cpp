#include "model/Schema.h"

#include <algorithm>
#include <stdexcept>

#include "parse/CaseFold.h"

namespace HyperVSim {

const PropertyDef* ClassDef::property(std::wstring_view propertyName) const {
    for (const auto& candidate : properties)
        if (equalsIgnoreCase(candidate.name, propertyName)) return &candidate;
    return nullptr;
}

const MethodDef* ClassDef::method(std::wstring_view methodName) const {
    for (const auto& candidate : methods)
        if (equalsIgnoreCase(candidate.name, methodName)) return &candidate;
    return nullptr;
}

std::vector<const PropertyDef*> ClassDef::keys() const {
    std::vector<const PropertyDef*> result;
    for (const auto& candidate : properties)
        if (candidate.key) result.push_back(&candidate);
    return result;  // properties are kept sorted, so the keys are too
}

bool ClassDef::isAssociation() const {
    return std::any_of(properties.begin(), properties.end(),
                       [](const PropertyDef& p) { return p.type == CimType::Reference && !p.isArray; });
}

std::shared_ptr<const ClassDef> Schema::find(std::wstring_view className) const {
    const auto found = classes_.find(foldCase(className));
    if (found == classes_.end()) return nullptr;
    return found->second;
}

bool Schema::derivesFrom(std::wstring_view className, std::wstring_view ancestor) const {
    if (equalsIgnoreCase(className, ancestor)) return true;
    const auto definition = find(className);
    if (!definition) return false;
    return std::any_of(definition->derivation.begin(), definition->derivation.end(),
                       [&](const std::wstring& name) { return equalsIgnoreCase(name, ancestor); });
}

std::vector<std::shared_ptr<const ClassDef>> Schema::withSubclasses(std::wstring_view className) const {
    std::vector<std::shared_ptr<const ClassDef>> result;
    for (const auto& definition : ordered_)
        if (derivesFrom(definition->name, className)) result.push_back(definition);
    return result;
}

// Merges the superclass's properties and methods into the definition: a property declared again keeps the
// origin of its first declaration and takes the new key flag and default.
void Schema::add(ClassDef definition) {
    auto merged = std::make_shared<ClassDef>();
    merged->name = definition.name;
    merged->superclass = definition.superclass;
    if (!definition.superclass.empty()) {
        const auto parent = find(definition.superclass);
        if (!parent) throw std::logic_error("schema: superclass defined after its subclass");
        merged->derivation.push_back(parent->name);
        merged->derivation.insert(merged->derivation.end(), parent->derivation.begin(), parent->derivation.end());
        merged->properties = parent->properties;
        merged->methods = parent->methods;
    }
    for (auto& own : definition.properties) {
        auto existing = std::find_if(merged->properties.begin(), merged->properties.end(),
                                     [&](const PropertyDef& p) { return equalsIgnoreCase(p.name, own.name); });
        if (existing != merged->properties.end()) {
            existing->key = existing->key || own.key;
            if (!own.defaultValue.isNull()) existing->defaultValue = own.defaultValue;
            continue;
        }
        own.classOrigin = definition.name;
        merged->properties.push_back(std::move(own));
    }
    std::sort(merged->properties.begin(), merged->properties.end(),
              [](const PropertyDef& a, const PropertyDef& b) { return compareIgnoreCase(a.name, b.name) < 0; });
    for (auto& own : definition.methods) {
        own.classOrigin = definition.name;
        auto existing = std::find_if(merged->methods.begin(), merged->methods.end(),
                                     [&](const MethodDef& m) { return equalsIgnoreCase(m.name, own.name); });
        if (existing != merged->methods.end())
            *existing = std::move(own);
        else
            merged->methods.push_back(std::move(own));
    }
    classes_[foldCase(merged->name)] = merged;
    ordered_.push_back(merged);
}

}  // namespace HyperVSim
