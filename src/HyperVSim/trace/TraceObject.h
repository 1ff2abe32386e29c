// An object handed to or by WMI as a trace holds it: its CIM-XML text, whether WMI's object text source made
// that text (else it was made by reading the object's properties and types), and the values of its
// reference-typed properties exactly as Get delivers them, which CIM-XML cannot carry as text.
#pragma once

#include <string>
#include <vector>

#include "platform.h"
#include "trace/ObjectXml.h"

namespace HyperVSim {

struct TraceObject {
    std::wstring xml;
    bool fromTextSource = false;
    std::vector<RecordedProperty> references;  // of type Reference, with their values
};

// The object for a trace: an instance's text from `textSource` (may be null) when it makes one, a class
// definition's text always by reading, since the text source leaves out which parameters go in and which
// come out. A failing HRESULT when the object cannot be read.
HRESULT traceObject(IWbemClassObject* object, IWbemObjectTextSrc* textSource, TraceObject& out);

// The same object made by reading alone (a record that needs no text source).
TraceObject traceObject(const ObjectRecord& record);

// The record of a traced object: its text read, its references' values put in.
ObjectXmlRead recordOf(const TraceObject& object);

}  // namespace HyperVSim
