// Every class, property and method parameter the simulated host defines, held against the real Hyper-V schema
// (data/classes.json): the same superclass chain, CIM type, array flag, key and direction. The host may leave
// properties and methods out; what it defines must be the real thing.
#include <cctype>
#include <fstream>

#include <nlohmann/json.hpp>

#include "TestPaths.h"
#include "model/Schema.h"

namespace {

using nlohmann::json;

std::string lower(std::wstring_view text) {  // class and property names are ASCII
    std::string result;
    for (const wchar_t c : text) result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}
std::string lowerName(const json& name) {
    const std::string text = name.get<std::string>();
    return lower(std::wstring_view(std::wstring(text.begin(), text.end())));
}

// A property or parameter in the reference's terms: "type[] key" ("ref" for any reference), or its direction.
std::string shape(const HyperVSim::PropertyDef& property, const std::string& suffix = {}) {
    const auto type = property.type == HyperVSim::CimType::Reference ? "ref" : lower(cimTypeName(property.type));
    return type + (property.isArray ? "[]" : "") + (property.key ? " key" : "") + suffix;
}
std::string shape(const json& declaration, bool key, const std::string& suffix = {}) {
    const std::string type = declaration.value("ref", false) ? "ref" : lowerName(declaration.at("type"));
    return type + (declaration.value("array", false) ? "[]" : "") + (key ? " key" : "") + suffix;
}

TEST(Schema, EveryClassPropertyAndParameterOfTheHostIsARealOneOfTheSameShape) {
    const json reference = json::parse(std::ifstream(VelmoraTestPaths::hyperVSchema));
    std::map<std::string, json> real;
    for (const auto& [name, definition] : reference.at("classes").items()) real[lowerName(json(name))] = definition;
    // The class and its ancestors, nearest first, as the reference names them.
    const auto chain = [&](const std::string& className) {
        std::vector<std::string> names;
        for (auto found = real.find(className); found != real.end() && !found->second.at("superclass").is_null();
             found = real.find(lowerName(found->second.at("superclass"))))
            names.push_back(found->second.at("superclass").get<std::string>());
        return names;
    };
    // Every declaration of a member along the chain, nearest first.
    const auto declarations = [&](const std::string& className, const char* kind, const std::string& name) {
        std::vector<json> found;
        std::vector<std::string> owners = chain(className);
        owners.insert(owners.begin(), className);
        for (const std::string& owner : owners)
            if (real.count(lowerName(json(owner))))
                for (const auto& declaration : real.at(lowerName(json(owner))).at(kind))
                    if (lowerName(declaration.at("name")) == name) found.push_back(declaration);
        return found;
    };

    std::size_t checked = 0;
    for (const auto& definition : HyperVSim::Schema::instance().classes()) {
        if (definition->isParameters) continue;
        const std::string className = lower(definition->name);
        ASSERT_TRUE(real.count(className)) << className << " is no class of the real schema";
        std::vector<std::string> derivation;
        for (const auto& ancestor : definition->derivation)
            derivation.emplace_back(ancestor.begin(), ancestor.end());
        EXPECT_EQ(derivation, chain(className)) << className;

        for (const auto& property : definition->properties) {
            const auto found = declarations(className, "properties", lower(property.name));
            ASSERT_FALSE(found.empty()) << className << "." << lower(property.name) << " is no real property";
            // A subclass may make a property a key, never take the key away.
            bool key = false;
            for (const auto& declaration : found) key = key || declaration.value("key", false);
            EXPECT_EQ(shape(property), shape(found[0], key)) << className << "." << lower(property.name);
            ++checked;
        }
        for (const auto& method : definition->methods) {
            const std::string name = className + "." + lower(method.name);
            const auto found = declarations(className, "methods", lower(method.name));
            ASSERT_FALSE(found.empty()) << name << " is no real method";
            std::map<std::string, std::string> parameters{
                {"returnvalue", lowerName(found[0].at("returns")) + " out"}};
            for (const auto& parameter : found[0].at("parameters"))
                parameters[lowerName(parameter.at("name"))] =
                    shape(parameter, false, " " + parameter.at("direction").get<std::string>());
            for (const auto& [signature, direction] : {std::pair{method.in, " in"}, std::pair{method.out, " out"}})
                for (const auto& parameter :
                     signature ? signature->properties : std::vector<HyperVSim::PropertyDef>{}) {
                    const std::string known = parameters[lower(parameter.name)];
                    EXPECT_EQ(shape(parameter, direction), known.empty() ? "none" : known)
                        << name << "(" << lower(parameter.name) << ")";
                    ++checked;
                }
        }
    }
    EXPECT_GT(checked, 200u);
}

}  // namespace
