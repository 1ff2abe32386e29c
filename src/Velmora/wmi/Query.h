// Reading WMI: queries, objects by path or class, string properties, association query texts and the walk
// over every result of a query. Each operation logs its step and failures and reports failure by an empty
// result; callers add no message of their own for those failures.
#pragma once

#include "wmi/Bstr.h"
#include "wmi/ComPtr.h"

namespace Velmora {

// Runs a WQL query and hands back its first object, or null.
ComPtr<IWbemClassObject> executeQuery(IWbemServices* services, const Bstr& query);

// An object by its path, or a class definition by its name; null when there is none.
ComPtr<IWbemClassObject> getObject(IWbemServices* services, const Bstr& pathOrClass);

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
