// An embedded instance as a method call brings it in, written again as the host writes an object's text and
// read once more: whatever the host accepts, it must read back from its own text as the same instance.
#include <cstdio>
#include <cstdlib>

#include "Text.h"
#include "Utf8Input.h"
#include "model/CimConversion.h"

namespace {

using namespace HyperVSim;

bool sameInstance(const Instance& a, const Instance& b) {
    if (a.className() != b.className() || a.values() != b.values()) return false;
    for (const PropertyDef& property : a.definition().properties) {
        if (a.isExplicit(property.name) != b.isExplicit(property.name)) return false;
    }
    return true;
}

[[noreturn]] void fail(const std::wstring& what, const std::wstring& written) {
    std::fprintf(stderr, "%s; the written text:\n%s\n", cimxml::toUtf8(what).c_str(),
                 cimxml::toUtf8(written).c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ConversionResult first = fromCimXml(utf8Input(data, size));
    if (!first.value) return 0;
    // A client's spawned copy and a stored object differ only in their system properties, which reading ignores.
    for (const ObjectOrigin origin : {ObjectOrigin::Spawned, ObjectOrigin::Stored}) {
        const std::wstring written = toCimXml(first.value->instance, origin);
        const ConversionResult second = fromCimXml(written);
        if (!second.value) fail(L"the written text does not read back: " + second.error, written);
        if (!sameInstance(first.value->instance, second.value->instance))
            fail(L"the text reads back as another instance", written);
    }
    return 0;
}
