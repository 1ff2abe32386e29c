#include "trace/TraceDiff.h"

#include <cstdio>
#include <map>

#include "cimxml/Text.h"
#include "com/ComRef.h"
#include "com/Status.h"
#include "hyperv/ImageFiles.h"
#include "parse/ObjectPath.h"
#include "trace/CallMatch.h"
#include "trace/CallShapes.h"
#include "trace/ObjectReading.h"
#include "trace/TextMatching.h"
#include "trace/TraceFile.h"
#include "wmi/Locator.h"

namespace HyperVSim {
namespace {

const std::wstring* textField(const TraceFields& fields, const char* name) {
    const TraceValue* value = findField(fields, name);
    return value ? std::get_if<std::wstring>(value) : nullptr;
}

std::int64_t numberField(const TraceFields& fields, const char* name) {
    const TraceValue* value = findField(fields, name);
    const auto* number = value ? std::get_if<std::int64_t>(value) : nullptr;
    return number ? *number : 0;
}

bool flagField(const TraceFields& fields, const char* name) {
    const TraceValue* value = findField(fields, name);
    const auto* flag = value ? std::get_if<bool>(value) : nullptr;
    return flag && *flag;
}

const TraceObject* objectField(const TraceFields& fields, const char* name) {
    const TraceValue* value = findField(fields, name);
    return value ? std::get_if<TraceObject>(value) : nullptr;
}

std::optional<std::int64_t> numbered(const TraceFields& fields, const char* name) {
    const TraceValue* value = findField(fields, name);
    const auto* number = value ? std::get_if<std::int64_t>(value) : nullptr;
    return number ? std::optional<std::int64_t>(*number) : std::nullopt;
}

// Whether the recorded output parameters say the host took the request: done (0) or a job started (4096).
bool acceptedByRecordedHost(const TraceObject& output) {
    const auto record = recordOf(output);
    const RecordedProperty* value = record.record ? record.record->property(L"ReturnValue") : nullptr;
    const auto text = value ? scalarText(*value) : std::nullopt;
    return text && (*text == L"0" || *text == L"4096");
}

class OwnedText {
public:
    explicit OwnedText(const std::wstring* text)
        : bstr_(text ? SysAllocStringLen(text->c_str(), static_cast<UINT>(text->size())) : nullptr) {}
    BSTR get() const { return bstr_.get(); }

private:
    OwnedBstr bstr_;
};

// Makes the calls of one trace against the model and collects how its answers differ.
class ModelRun {
public:
    ModelRun() : locator_(ComRef<IWbemLocator>::adopt(makeObject<Locator>().detach())) {}

    std::vector<TraceDifference> run(const std::vector<TraceCall>& calls) {
        for (const auto& call : calls) {
            if (!call.replayable) continue;
            lines_.clear();
            make(call);
            if (!lines_.empty()) differences_.push_back({call.position, describeCall(call), std::move(lines_)});
        }
        return std::move(differences_);
    }

private:
    void make(const TraceCall& call);
    void connectServer(const TraceCall& call);
    void setBlanket(const TraceCall& call, IWbemServices* services);
    void openNamespace(const TraceCall& call, IWbemServices* services);
    void getObject(const TraceCall& call, IWbemServices* services);
    void execQuery(const TraceCall& call, IWbemServices* services);
    void execMethod(const TraceCall& call, IWbemServices* services);
    void next(const TraceCall& call, IEnumWbemClassObject* enumerator);
    void callResult(const TraceCall& call, IWbemCallResult* result);
    ComRef<IWbemClassObject> inputFor(const TraceCall& call, IWbemServices* services, const std::wstring& path,
                                      const std::wstring& method);

    std::wstring translated(const std::wstring* text) const {
        return text ? identities_.translate(*text) : std::wstring();
    }
    void result(HRESULT model, HRESULT recorded) {
        if (model != recorded)
            lines_.push_back(L"HRESULT " + cimxml::fromUtf8(hresultText(model)) + L" where the trace has " +
                             cimxml::fromUtf8(hresultText(recorded)));
    }
    // Compares an object handed back by the model with the recorded one, and learns the identities in them.
    void compare(const std::wstring& what, IWbemClassObject* model, const TraceObject* recorded,
                 bool skipReturnValue = false);
    template <class Map, class Interface>
    void keep(Map& map, const TraceCall& call, const char* field, ComRef<Interface> object, const wchar_t* what) {
        const auto number = numbered(call.returned, field);
        if (number && object)
            map[*number] = std::move(object);
        else if (number)
            lines_.push_back(std::wstring(L"no ") + what + L" where the trace has #" + std::to_wstring(*number));
        else if (object)
            lines_.push_back(std::wstring(L"a ") + what + L" where the trace has none");
    }
    template <class Map>
    auto* target(Map& map, const TraceCall& call) {
        const auto found = call.on ? map.find(*call.on) : map.end();
        if (found == map.end()) {
            lines_.push_back(L"not made: the model handed out no object #" + std::to_wstring(call.on.value_or(0)));
            return static_cast<decltype(found->second.get())>(nullptr);
        }
        return found->second.get();
    }

    ComRef<IWbemLocator> locator_;
    std::map<std::int64_t, ComRef<IWbemServices>> services_;
    std::map<std::int64_t, ComRef<IEnumWbemClassObject>> enumerators_;
    std::map<std::int64_t, ComRef<IWbemCallResult>> callResults_;
    IdentityMap identities_;
    // GUIDs and host names aside, after what is known of the recorded host's is put in the model's terms.
    const SameText same_ = [this](std::wstring_view model, std::wstring_view recorded) {
        return withoutIdentities(model) == withoutIdentities(identities_.translate(recorded));
    };
    std::vector<std::wstring> lines_;
    std::vector<TraceDifference> differences_;
};

void ModelRun::make(const TraceCall& call) {
    const std::string& method = call.method;
    if (call.interfaceName == locatorInterface && method == "ConnectServer") return connectServer(call);
    if (call.interfaceName == securityInterface && method == "SetBlanket") {
        if (auto* services = target(services_, call)) setBlanket(call, services);
        return;
    }
    if (call.interfaceName == servicesInterface) {
        auto* services = target(services_, call);
        if (!services) return;
        if (method == "OpenNamespace") return openNamespace(call, services);
        if (method == "GetObject") return getObject(call, services);
        if (method == "ExecQuery" || method == "CreateInstanceEnum") return execQuery(call, services);
        if (method == "ExecMethod") return execMethod(call, services);
    }
    if (call.interfaceName == enumeratorInterface) {
        if (auto* enumerator = target(enumerators_, call)) next(call, enumerator);
        return;
    }
    if (call.interfaceName == callResultInterface) {
        if (auto* result = target(callResults_, call)) callResult(call, result);
        return;
    }
    lines_.push_back(L"not made: the diff does not know this call");
}

void ModelRun::compare(const std::wstring& what, IWbemClassObject* model, const TraceObject* recorded,
                       bool skipReturnValue) {
    if (!model || !recorded) {
        if (model) lines_.push_back(what + L": an object where the trace has none");
        if (recorded) lines_.push_back(what + L": none where the trace has an object");
        return;
    }
    ObjectRecord modelRecord;
    const auto recordedRecord = recordOf(*recorded);
    if (FAILED(readObject(model, modelRecord)) || !recordedRecord.record) {
        lines_.push_back(what + L": cannot be read");
        return;
    }
    const ObjectRecord& trace = *recordedRecord.record;
    const auto learn = [this](const RecordedProperty& traced, const RecordedProperty* other) {
        if (!other || !traced.values || !other->values || traced.values->size() != other->values->size()) return;
        for (std::size_t i = 0; i < traced.values->size(); ++i)
            identities_.learn((*traced.values)[i], (*other->values)[i]);
    };
    for (const auto& property : trace.systemProperties) learn(property, modelRecord.systemProperty(property.name));
    if (const RecordedProperty* server = trace.systemProperty(L"__SERVER"))
        if (const RecordedProperty* modelServer = modelRecord.systemProperty(L"__SERVER"))
            identities_.learnHost(scalarText(*server).value_or(L""), scalarText(*modelServer).value_or(L""));
    for (const auto& property : trace.properties) learn(property, modelRecord.property(property.name));
    if (skipReturnValue) {
        std::erase_if(modelRecord.properties, [](const auto& p) { return p.name == L"ReturnValue"; });
        auto stripped = trace;
        std::erase_if(stripped.properties, [](const auto& p) { return p.name == L"ReturnValue"; });
        for (auto& line : modelDifferences(modelRecord, stripped, same_)) lines_.push_back(what + L": " + line);
        return;
    }
    for (auto& line : modelDifferences(modelRecord, trace, same_)) lines_.push_back(what + L": " + line);
}

void ModelRun::connectServer(const TraceCall& call) {
    const std::wstring resource = translated(textField(call.arguments, "resource"));
    OwnedText text(textField(call.arguments, "resource") ? &resource : nullptr);
    ComRef<IWbemServices> services;
    const HRESULT hr = locator_->ConnectServer(text.get(), nullptr, nullptr, nullptr,
                                               static_cast<LONG>(numberField(call.arguments, "securityFlags")),
                                               nullptr, nullptr, services.put());
    result(hr, call.result);
    keep(services_, call, "services", std::move(services), L"services");
}

void ModelRun::setBlanket(const TraceCall& call, IWbemServices* services) {
    const auto arg = [&](const char* name) { return static_cast<DWORD>(numberField(call.arguments, name)); };
    const HRESULT hr = ::CoSetProxyBlanket(services, arg("authnService"), arg("authzService"), nullptr,
                                           arg("authnLevel"), arg("impLevel"), nullptr, arg("capabilities"));
    result(hr, call.result);
}

void ModelRun::openNamespace(const TraceCall& call, IWbemServices* services) {
    const std::wstring name = translated(textField(call.arguments, "namespace"));
    OwnedText text(textField(call.arguments, "namespace") ? &name : nullptr);
    ComRef<IWbemServices> child;
    const HRESULT hr = services->OpenNamespace(text.get(), static_cast<LONG>(numberField(call.arguments, "flags")),
                                               nullptr, child.put(), nullptr);
    result(hr, call.result);
    keep(services_, call, "services", std::move(child), L"services");
}

void ModelRun::getObject(const TraceCall& call, IWbemServices* services) {
    const std::wstring path = translated(textField(call.arguments, "path"));
    OwnedText text(textField(call.arguments, "path") ? &path : nullptr);
    ComRef<IWbemClassObject> object;
    const HRESULT hr = services->GetObject(text.get(), static_cast<LONG>(numberField(call.arguments, "flags")),
                                           nullptr, object.put(), nullptr);
    result(hr, call.result);
    compare(L"the object", object.get(), objectField(call.returned, "object"));
}

void ModelRun::execQuery(const TraceCall& call, IWbemServices* services) {
    const LONG flags = static_cast<LONG>(numberField(call.arguments, "flags"));
    ComRef<IEnumWbemClassObject> enumerator;
    HRESULT hr = S_OK;
    if (call.method == "ExecQuery") {
        const std::wstring query = translated(textField(call.arguments, "query"));
        OwnedText language(textField(call.arguments, "language"));
        OwnedText text(textField(call.arguments, "query") ? &query : nullptr);
        hr = services->ExecQuery(language.get(), text.get(), flags, nullptr, enumerator.put());
    } else {
        OwnedText className(textField(call.arguments, "class"));
        hr = services->CreateInstanceEnum(className.get(), flags, nullptr, enumerator.put());
    }
    result(hr, call.result);
    keep(enumerators_, call, "enumerator", std::move(enumerator), L"enumerator");
}

void ModelRun::next(const TraceCall& call, IEnumWbemClassObject* enumerator) {
    const LONG timeout = static_cast<LONG>(numberField(call.arguments, "timeout"));
    if (call.method == "Reset") return result(enumerator->Reset(), call.result);
    if (call.method == "Skip")
        return result(enumerator->Skip(timeout, static_cast<ULONG>(numberField(call.arguments, "count"))),
                      call.result);
    if (call.method == "Clone") {
        ComRef<IEnumWbemClassObject> copy;
        result(enumerator->Clone(copy.put()), call.result);
        return keep(enumerators_, call, "enumerator", std::move(copy), L"enumerator");
    }
    const ULONG count = static_cast<ULONG>(numberField(call.arguments, "count"));
    std::vector<IWbemClassObject*> objects(count, nullptr);
    ULONG returned = 0;
    const HRESULT hr = enumerator->Next(timeout, count, objects.data(), &returned);
    std::vector<ComRef<IWbemClassObject>> owned;
    for (ULONG i = 0; i < returned && i < count; ++i) owned.push_back(ComRef<IWbemClassObject>::adopt(objects[i]));
    result(hr, call.result);
    const auto recordedCount = numberField(call.returned, "count");
    if (static_cast<std::int64_t>(returned) != recordedCount)
        lines_.push_back(std::to_wstring(returned) + L" objects where the trace has " +
                         std::to_wstring(recordedCount));
    const TraceValue* list = findField(call.returned, "objects");
    const auto* recorded = list ? std::get_if<TraceObjects>(list) : nullptr;
    for (std::size_t i = 0; recorded && i < recorded->size() && i < owned.size(); ++i)
        compare(L"object " + std::to_wstring(i + 1), owned[i].get(), (*recorded)[i] ? &*(*recorded)[i] : nullptr);
}

void ModelRun::callResult(const TraceCall& call, IWbemCallResult* callResult) {
    const LONG timeout = static_cast<LONG>(numberField(call.arguments, "timeout"));
    if (call.method == "GetCallStatus") {
        LONG status = 0;
        const HRESULT hr = callResult->GetCallStatus(timeout, &status);
        result(hr, call.result);
        const auto recorded = numbered(call.returned, "status");
        if (SUCCEEDED(hr) && recorded && status != *recorded)
            lines_.push_back(L"call status " + std::to_wstring(status) + L" where the trace has " +
                             std::to_wstring(*recorded));
        return;
    }
    if (call.method == "GetResultObject") {
        ComRef<IWbemClassObject> object;
        result(callResult->GetResultObject(timeout, object.put()), call.result);
        return compare(L"the output parameters", object.get(), objectField(call.returned, "object"));
    }
    lines_.push_back(L"not made: the diff does not know this call");
}

// The model's input object for the method, filled with the trace's input values.
ComRef<IWbemClassObject> ModelRun::inputFor(const TraceCall& call, IWbemServices* services,
                                            const std::wstring& path, const std::wstring& method) {
    const TraceObject* input = objectField(call.arguments, "inParams");
    if (!input) return nullptr;
    const auto recorded = recordOf(*input);
    const auto parsed = parseObjectPath(path);
    if (!recorded.record || !parsed) {
        lines_.push_back(L"not made: the input object or the path cannot be read");
        return nullptr;
    }
    OwnedText className(&parsed->className);
    ComRef<IWbemClassObject> definition;
    ComRef<IWbemClassObject> signature;
    ComRef<IWbemClassObject> inputObject;
    if (FAILED(services->GetObject(className.get(), 0, nullptr, definition.put(), nullptr)) || !definition ||
        FAILED(definition->GetMethod(method.c_str(), 0, signature.put(), nullptr)) || !signature ||
        FAILED(signature->SpawnInstance(0, inputObject.put())) || !inputObject) {
        lines_.push_back(L"the model has no input definition of " + parsed->className + L"." + method);
        return nullptr;
    }
    for (const auto& property : recorded.record->properties) {
        if (!property.values) continue;
        CIMTYPE code = 0;
        const auto type = SUCCEEDED(inputObject->Get(property.name.c_str(), 0, nullptr, &code, nullptr))
                              ? typeOfCode(code)
                              : std::nullopt;
        if (!type) {
            lines_.push_back(L"the model's " + method + L" has no input parameter " + property.name);
            continue;
        }
        std::vector<std::wstring> texts;
        for (const auto& value : *property.values) texts.push_back(identities_.translate(value));
        const auto value = CimValue::fromText(type->type, type->isArray, texts);
        OwnedVariant variant;
        if (!value || FAILED(value->toVariant(variant.get())) ||
            FAILED(inputObject->Put(property.name.c_str(), 0, variant.get(), 0)))
            lines_.push_back(L"the model's " + method + L" does not take the input " + property.name);
    }
    return inputObject;
}

void ModelRun::execMethod(const TraceCall& call, IWbemServices* services) {
    const std::wstring path = translated(textField(call.arguments, "path"));
    const std::wstring method = translated(textField(call.arguments, "method"));
    const ComRef<IWbemClassObject> input = inputFor(call, services, path, method);
    OwnedText pathText(&path);
    OwnedText methodText(&method);
    const bool wantsOutput = flagField(call.arguments, "outParams");
    const bool wantsResult = flagField(call.arguments, "callResult");
    const TraceObject* recorded = objectField(call.returned, "outParams");
    ComRef<IWbemClassObject> output;
    ComRef<IWbemCallResult> callResult;
    HRESULT hr = S_OK;
    {
        // The recorded host's image files are not on this machine; a call it accepted had them.
        const ImageFilesTakenAsPresent images(SUCCEEDED(call.result) && recorded &&
                                              acceptedByRecordedHost(*recorded));
        hr = services->ExecMethod(pathText.get(), methodText.get(),
                                  static_cast<LONG>(numberField(call.arguments, "flags")), nullptr, input.get(),
                                  wantsOutput ? output.put() : nullptr, wantsResult ? callResult.put() : nullptr);
    }
    result(hr, call.result);
    if (output && recorded) {
        ObjectRecord modelOutput;
        const auto traceOutput = recordOf(*recorded);
        if (SUCCEEDED(readObject(output.get(), modelOutput)) && traceOutput.record) {
            const RecordedProperty* mine = modelOutput.property(L"ReturnValue");
            const RecordedProperty* theirs = traceOutput.record->property(L"ReturnValue");
            const auto text = [](const RecordedProperty* p) {
                return p ? scalarText(*p).value_or(L"NULL") : L"none";
            };
            if (text(mine) != text(theirs))
                lines_.push_back(L"ReturnValue " + text(mine) + L" where the trace has " + text(theirs));
        }
    }
    compare(L"the output parameters", output.get(), recorded, true);
    keep(callResults_, call, "callResult", std::move(callResult), L"call result");
}

}  // namespace

std::vector<TraceDifference> diffAgainstModel(const std::filesystem::path& path) {
    const std::vector<TraceCall> calls = readTrace(path);
    return ModelRun().run(calls);
}

}  // namespace HyperVSim
