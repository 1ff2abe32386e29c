// The object-path parser on any text: no crash, no sanitizer report; a parsed path gives its identity.
#include "parse/ObjectPath.h"
#include "WideInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto path = HyperVSim::parseObjectPath(wideInput(data, size))) (void)path->identity();
    return 0;
}
