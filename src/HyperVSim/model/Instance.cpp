#include "model/Instance.h"

#include <stdexcept>

#include "parse/CaseFold.h"
#include "parse/ObjectPath.h"

namespace HyperVSim {
namespace {
constexpr std::size_t npos = static_cast<std::size_t>(-1);
}

Instance::Instance(std::shared_ptr<const ClassDef> definition) : definition_(std::move(definition)) {
    for (const auto& property : definition_->properties) values_.push_back(property.defaultValue);
    explicit_.assign(values_.size(), false);
}

Instance Instance::ofClass(std::wstring_view className) {
    auto definition = Schema::instance().find(className);
    if (!definition) throw std::invalid_argument("unknown class");
    return Instance(std::move(definition));
}

std::size_t Instance::indexOf(std::wstring_view name) const {
    if (!definition_) return npos;
    const auto& properties = definition_->properties;
    for (std::size_t i = 0; i < properties.size(); ++i)
        if (equalsIgnoreCase(properties[i].name, name)) return i;
    return npos;
}

const CimValue* Instance::get(std::wstring_view name) const {
    const std::size_t index = indexOf(name);
    return index == npos ? nullptr : &values_[index];
}

bool Instance::set(std::wstring_view name, CimValue value) {
    const std::size_t index = indexOf(name);
    if (index == npos) return false;
    const auto& property = definition_->properties[index];
    if (value.type() != property.type || value.isArray() != property.isArray) return false;
    values_[index] = std::move(value);
    explicit_[index] = true;
    if (property.key) rememberedPath_.clear();
    return true;
}

bool Instance::setString(std::wstring_view name, std::wstring text) {
    const std::size_t index = indexOf(name);
    if (index == npos) return false;
    const auto& property = definition_->properties[index];
    if (property.isArray) return false;
    auto value = CimValue::fromText(property.type, false, std::vector<std::wstring>{std::move(text)});
    return value && set(name, std::move(*value));
}

bool Instance::setInteger(std::wstring_view name, std::int64_t number) {
    const std::size_t index = indexOf(name);
    if (index == npos) return false;
    const auto& property = definition_->properties[index];
    if (property.isArray || !isIntegerType(property.type)) return false;
    if (property.type == CimType::Uint64 && number < 0) return false;
    auto value = CimValue::fromText(property.type, false, std::vector<std::wstring>{std::to_wstring(number)});
    return value && set(name, std::move(*value));
}

bool Instance::setBoolean(std::wstring_view name, bool flag) {
    return set(name, CimValue::boolean(flag));
}

bool Instance::setStrings(std::wstring_view name, std::vector<std::wstring> texts) {
    const std::size_t index = indexOf(name);
    if (index == npos) return false;
    const auto& property = definition_->properties[index];
    if (!property.isArray) return false;
    auto value = CimValue::fromText(property.type, true, std::move(texts));
    return value && set(name, std::move(*value));
}

bool Instance::isExplicit(std::wstring_view name) const {
    const std::size_t index = indexOf(name);
    return index != npos && explicit_[index];
}

std::optional<std::wstring> Instance::getString(std::wstring_view name) const {
    const auto* value = get(name);
    return value ? value->asString() : std::nullopt;
}
std::optional<std::int64_t> Instance::getInteger(std::wstring_view name) const {
    const auto* value = get(name);
    return value ? value->asInteger() : std::nullopt;
}
std::optional<std::uint64_t> Instance::getUnsigned(std::wstring_view name) const {
    const auto* value = get(name);
    return value ? value->asUnsigned() : std::nullopt;
}
std::optional<bool> Instance::getBoolean(std::wstring_view name) const {
    const auto* value = get(name);
    return value ? value->asBoolean() : std::nullopt;
}
std::optional<std::vector<std::wstring>> Instance::getStrings(std::wstring_view name) const {
    const auto* value = get(name);
    return value ? value->asStringArray() : std::nullopt;
}

void Instance::setOverride(std::wstring_view name, const Value& value) {
    const std::size_t index = indexOf(name);
    if (index != npos) overrides_.set(index, values_.size(), value);
}

std::optional<Value> Instance::overrideFor(std::wstring_view name) const {
    if (overrides_.empty()) return std::nullopt;
    const std::size_t index = indexOf(name);
    return index == npos ? std::nullopt : overrides_.at(index);
}

std::optional<HRESULT> Instance::overrideToVariant(std::wstring_view name, VARIANT* out) const {
    if (overrides_.empty()) return std::nullopt;
    const std::size_t index = indexOf(name);
    return index == npos ? std::nullopt : overrides_.toVariant(index, out);
}

void Instance::clearOverride(std::wstring_view name) {
    if (overrides_.empty()) return;
    const std::size_t index = indexOf(name);
    if (index != npos) overrides_.clear(index);
}

namespace {

// The path of an instance from its key values, as the parsers print it; nullopt when a key is missing.
std::optional<ObjectPath> pathOf(const Instance& instance) {
    ObjectPath path;
    path.className = instance.className();
    for (const auto* key : instance.definition().keys()) {
        const auto* value = instance.get(key->name);
        const auto text = value ? value->toText() : std::nullopt;
        if (!text || text->size() != 1) return std::nullopt;
        path.keys.emplace_back(key->name, text->front());
    }
    if (path.keys.empty()) return std::nullopt;
    return path;
}

}  // namespace

bool Instance::hasKeys() const {
    return definition_ && pathOf(*this).has_value();
}

std::wstring Instance::relativePath() const {
    const auto path = definition_ ? pathOf(*this) : std::nullopt;
    return path ? path->relative() : std::wstring();
}

std::wstring Instance::fullPath() const {
    if (!rememberedPath_.empty()) return rememberedPath_;
    const auto path = definition_ ? pathOf(*this) : std::nullopt;
    return path ? path->full(hostName, L"root\\virtualization\\v2") : std::wstring();
}

void Instance::rememberPath() {
    rememberedPath_.clear();
    rememberedPath_ = fullPath();
}

std::wstring Instance::identity() const {
    const auto path = definition_ ? pathOf(*this) : std::nullopt;
    return path ? path->identity() : std::wstring();
}

}  // namespace HyperVSim
