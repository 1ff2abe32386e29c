#include "wmi/Query.h"

#include "log/Log.h"
#include "wmi/Variant.h"

namespace Velmora {
ComPtr<IEnumWbemClassObject> startWalk(IWbemServices* services, const Bstr& query) {
    // A real BSTR even for a constant: the services proxy marshals the argument by its length prefix.
    const Bstr language(L"WQL");
    ComPtr<IEnumWbemClassObject> enumerator;
    const HRESULT result =
        services->ExecQuery(language.get(), query.get(), WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, enumerator.put());
    if (FAILED(result)) {
        logValues(Error, "Query failed, err=", result);
        return nullptr;
    }
    return enumerator;
}

ComPtr<IWbemClassObject> findInQuery(IWbemServices* services, const Bstr& query, const ObjectTest& test) {
    logMessage(Info, "Executing query");
    const ComPtr<IEnumWbemClassObject> enumerator = startWalk(services, query);
    if (!enumerator) return nullptr;
    bool seenAny = false;
    for (;;) {
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT result = enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 1, object.put(), &returned);
        if (FAILED(result)) {
            logValues(Error, "Query::Next failed, err=", result);
            return nullptr;
        }
        if (!object) {
            logMessage(Error, seenAny ? "Query returned no matching objects!" : "Query returned no objects!");
            return nullptr;
        }
        seenAny = true;
        switch (test(object.get())) {
            case Match::Take:
                return object;
            case Match::Skip:
                break;
            case Match::Stop:
                return nullptr;
        }
    }
}

ComPtr<IWbemClassObject> executeQuery(IWbemServices* services, const Bstr& query) {
    return findInQuery(services, query, [](IWbemClassObject*) { return Match::Take; });
}

ComPtr<IWbemClassObject> getObject(IWbemServices* services, const Bstr& pathOrClass) {
    HRESULT result = S_OK;
    return getObject(services, pathOrClass, result);
}

ComPtr<IWbemClassObject> getObject(IWbemServices* services, const Bstr& pathOrClass, HRESULT& result) {
    logValues(Info, "Get object: ", pathOrClass.get());
    ComPtr<IWbemClassObject> object;
    result = services->GetObject(pathOrClass.get(), 0, nullptr, object.put(), nullptr);
    if (FAILED(result)) {
        logValues(Error, "Could not get object: ", pathOrClass.get(), ", err=", result);
        return nullptr;
    }
    if (!object) {
        logMessage(Error, "Get null object!");
        return nullptr;
    }
    return object;
}

ComPtr<IWbemClassObject> getClassInstance(IWbemServices* services, const Bstr& className) {
    logValues(Info, "Get class instance: ", className.get());
    Bstr query(L"select * from ");
    // A failed join leaves "select * from ", which the host rejects with its own logged failure.
    query.append(className);
    return executeQuery(services, query);
}

Bstr getStringField(IWbemClassObject* object, const Bstr& name) {
    Variant value;
    const HRESULT result = object->Get(name.get(), 0, value.get(), nullptr, nullptr);
    if (FAILED(result)) {
        logMessage(Error, "Failed to get object field");
        return Bstr(L"");
    }
    if (value.type() != VT_BSTR) {
        logValues(Error, "Invalid type of field, expected string, got ", value.type());
        return Bstr(L"");
    }
    return Bstr(value->bstrVal);
}

Bstr getObjectPath(IWbemClassObject* object) {
    logMessage(Info, "Get '__Path'");
    return getStringField(object, Bstr(L"__Path"));
}

Bstr associationQuery(const wchar_t* prefix, IWbemClassObject* source, const wchar_t* suffix) {
    Bstr query(prefix);
    {
        const Bstr path = getObjectPath(source);
        // Without a path the text reads "{}", which WMI rejects; the failed read has been logged already.
        if (!path.empty()) query.append(path);
    }
    query.append(Bstr(suffix));
    return query;
}

}  // namespace Velmora
