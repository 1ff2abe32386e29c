// Every class, property and method parameter the simulated host defines, held against the real Hyper-V
// schema (data/classes.json): the same superclass chain, CIM type, array flag, key and direction. The host
// may leave properties and methods out; what it defines must be the real thing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/Schema.h"

namespace {

using HyperVSim::CimType;
using HyperVSim::ClassDef;
using HyperVSim::PropertyDef;
using nlohmann::json;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Class and property names are ASCII.
std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// What the host says of a property or parameter, in the reference's terms.
struct Shape {
    std::string type;  // lower-case CIM type name; "ref" for any reference
    bool array = false;
    bool key = false;
    bool operator==(const Shape&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shape& shape) {
    return out << shape.type << (shape.array ? "[]" : "") << (shape.key ? " key" : "");
}

Shape shapeOf(const PropertyDef& property) {
    const std::string type = property.type == CimType::Reference
                                 ? "ref"
                                 : lower(narrow(std::wstring(HyperVSim::cimTypeName(property.type))));
    return {type, property.isArray, property.key};
}

Shape shapeOf(const json& declaration, bool key) {
    const bool reference = declaration.value("ref", false);
    return {reference ? "ref" : lower(declaration.at("type").get<std::string>()), declaration.value("array", false),
            key};
}

// The reference: each class with its superclass and the properties and methods it declares itself.
class RealSchema {
public:
    RealSchema() {
        std::ifstream file(VELMORA_HYPERV_SCHEMA_PATH);
        const json document = json::parse(file);
        for (const auto& [name, definition] : document.at("classes").items()) classes_[lower(name)] = definition;
    }

    const json* find(const std::string& className) const {
        const auto found = classes_.find(lower(className));
        return found == classes_.end() ? nullptr : &found->second;
    }

    // The class and its ancestors, nearest first, as the reference names them.
    std::vector<std::string> chain(const std::string& className) const {
        std::vector<std::string> names;
        for (const json* definition = find(className); definition;) {
            const auto& superclass = definition->at("superclass");
            if (superclass.is_null()) break;
            names.push_back(superclass.get<std::string>());
            definition = find(names.back());
        }
        return names;
    }

    // The nearest declaration of a property along the chain; a property is a key when any declaration of
    // it says so (a subclass may make a property a key, never take the key away).
    std::optional<Shape> property(const std::string& className, const std::string& name) const {
        std::optional<Shape> shape;
        bool key = false;
        for (const std::string& owner : withChain(className)) {
            for (const auto& declaration : find(owner)->at("properties")) {
                if (lower(declaration.at("name").get<std::string>()) != lower(name)) continue;
                if (!shape) shape = shapeOf(declaration, false);
                key = key || declaration.value("key", false);
            }
        }
        if (shape) shape->key = key;
        return shape;
    }

    // The nearest declaration of a method along the chain.
    const json* method(const std::string& className, const std::string& name) const {
        for (const std::string& owner : withChain(className))
            for (const auto& declaration : find(owner)->at("methods"))
                if (lower(declaration.at("name").get<std::string>()) == lower(name)) return &declaration;
        return nullptr;
    }

private:
    std::vector<std::string> withChain(const std::string& className) const {
        std::vector<std::string> names{className};
        for (auto& ancestor : chain(className)) names.push_back(std::move(ancestor));
        names.erase(std::remove_if(names.begin(), names.end(), [this](const auto& n) { return !find(n); }),
                    names.end());
        return names;
    }

    std::map<std::string, json> classes_;
};

const RealSchema& real() {
    static const RealSchema schema;
    return schema;
}

std::vector<std::shared_ptr<const ClassDef>> hostClasses() {
    auto classes = HyperVSim::Schema::instance().classes();
    std::erase_if(classes, [](const auto& definition) { return definition->isParameters; });
    return classes;
}

TEST(Schema, EveryClassDerivesAsTheRealOne) {
    ASSERT_GT(hostClasses().size(), 20u);
    for (const auto& definition : hostClasses()) {
        const std::string name = narrow(definition->name);
        if (!real().find(name)) {
            ADD_FAILURE() << name << " is no class of the real schema";
            continue;
        }
        std::vector<std::string> derivation;
        for (const auto& ancestor : definition->derivation) derivation.push_back(narrow(ancestor));
        EXPECT_EQ(derivation, real().chain(name)) << name;
    }
}

TEST(Schema, EveryPropertyIsARealOneOfTheSameShape) {
    for (const auto& definition : hostClasses()) {
        const std::string className = narrow(definition->name);
        if (!real().find(className)) continue;  // reported by the class's own test
        for (const PropertyDef& property : definition->properties) {
            const std::string name = className + "." + narrow(property.name);
            const std::optional<Shape> expected = real().property(className, narrow(property.name));
            if (!expected) {
                ADD_FAILURE() << name << " is no property of the real class";
                continue;
            }
            EXPECT_EQ(shapeOf(property), *expected) << name;
        }
    }
}

TEST(Schema, EveryMethodParameterIsARealOneOfTheSameShapeAndDirection) {
    for (const auto& definition : hostClasses()) {
        const std::string className = narrow(definition->name);
        if (!real().find(className)) continue;
        for (const auto& method : definition->methods) {
            const std::string methodName = className + "." + narrow(method.name);
            const json* expected = real().method(className, narrow(method.name));
            if (!expected) {
                ADD_FAILURE() << methodName << " is no method of the real class";
                continue;
            }
            std::map<std::string, std::pair<Shape, std::string>> parameters;  // by lower-case name
            for (const auto& parameter : expected->at("parameters"))
                parameters[lower(parameter.at("name").get<std::string>())] = {
                    shapeOf(parameter, false), parameter.at("direction").get<std::string>()};

            const auto check = [&](const std::shared_ptr<const ClassDef>& signature, const std::string& direction) {
                if (!signature) return;
                for (const PropertyDef& parameter : signature->properties) {
                    const std::string name = methodName + "(" + narrow(parameter.name) + ")";
                    if (parameter.name == L"ReturnValue" && direction == "out") {
                        EXPECT_EQ(shapeOf(parameter), (Shape{lower(expected->at("returns")), false, false}))
                            << name;
                        continue;
                    }
                    const auto found = parameters.find(lower(narrow(parameter.name)));
                    if (found == parameters.end()) {
                        ADD_FAILURE() << name << " is no parameter of the real method";
                        continue;
                    }
                    EXPECT_EQ(shapeOf(parameter), found->second.first) << name;
                    EXPECT_EQ(direction, found->second.second) << name;
                }
            };
            check(method.in, "in");
            check(method.out, "out");
        }
    }
}

}  // namespace
