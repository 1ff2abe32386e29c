// Reading WMI: queries, objects by path or class, string properties, association query texts and the walk
// over every result of a query. Each operation logs its step and failures and reports failure by an empty
// result; callers add no message of their own for those failures.
#pragma once

#include <functional>

#include "wmi/Bstr.h"
#include "wmi/ComPtr.h"

namespace Velmora {

// Runs a WQL query and hands back its first object, or null.
ComPtr<IWbemClassObject> executeQuery(IWbemServices* services, const Bstr& query);

// What a search makes of one object of a query: the one sought, not it, or the end of the search (after a
// line that says why).
enum class Match { Take, Skip, Stop };
using ObjectTest = std::function<Match(IWbemClassObject* object)>;

// Runs a WQL query and hands back the first object that `test` takes, fetching one object at a time, so
// that a query whose first object is taken costs what executeQuery costs and logs what it logs. Null when
// the query yields nothing ("Query returned no objects!"), nothing that is taken ("Query returned no
// matching objects!"), or when `test` stops the search.
ComPtr<IWbemClassObject> findInQuery(IWbemServices* services, const Bstr& query, const ObjectTest& test);

// An object by its path, or a class definition by its name; null when there is none.
ComPtr<IWbemClassObject> getObject(IWbemServices* services, const Bstr& pathOrClass);
// The same, handing back GetObject's own code as well, for a caller whose next step depends on why no
// object came (S_OK when the call succeeded without one).
ComPtr<IWbemClassObject> getObject(IWbemServices* services, const Bstr& pathOrClass, HRESULT& result);

// The first instance of a class ("select * from " + the name), or null.
ComPtr<IWbemClassObject> getClassInstance(IWbemServices* services, const Bstr& className);

// The string value of a property: the empty string after a logged failure, null for a null string.
Bstr getStringField(IWbemClassObject* object, const Bstr& name);

// The object's __Path, read as getStringField does, after the line "Get '__Path'".
Bstr getObjectPath(IWbemClassObject* object);

// prefix + the source object's __Path + suffix, e.g. "Associators of {" ... "} where ResultClass = X".
Bstr associationQuery(const wchar_t* prefix, IWbemClassObject* source, const wchar_t* suffix);

// Starts a walk over every result of a query (no "Executing query" line); null after "Query failed, err=".
ComPtr<IEnumWbemClassObject> startWalk(IWbemServices* services, const Bstr& query);

}  // namespace Velmora
