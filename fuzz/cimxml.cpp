// The CIM-XML reader on any text: no crash and no sanitizer report; and whatever it reads, the writer writes
// and the reader reads back as the same instance (the writer puts the properties in name order).
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "CimXml.h"
#include "Text.h"
#include "Utf8Input.h"

namespace {

using namespace HyperVSim::cimxml;

CimInstance inWriterOrder(CimInstance instance) {
    std::stable_sort(instance.properties.begin(), instance.properties.end(),
                     [](const CimProperty& a, const CimProperty& b) { return lessIgnoringCase(a.name, b.name); });
    return instance;
}

[[noreturn]] void fail(const char* what, const std::wstring& written) {
    std::fprintf(stderr, "%s; the written text:\n%s\n", what, toUtf8(written).c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ReadResult first = readInstance(utf8Input(data, size));
    if (!first.instance) return 0;
    const std::wstring written = writeInstance(*first.instance);
    const ReadResult second = readInstance(written);
    if (!second.instance) fail(("the written text does not read back: " + second.error).c_str(), written);
    if (*second.instance != inWriterOrder(*first.instance))
        fail("the text reads back as another instance", written);
    return 0;
}
