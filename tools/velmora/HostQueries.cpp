#include "HostQueries.h"

#include <memory>

#include "LibraryCall.h"
#include "LogSink.h"

namespace VelmoraCommand {

std::vector<Switch> retrieveSwitches() {
    // 256 KiB of wide characters: too much for the stack.
    auto list = std::make_unique<Velmora::NetworksList>();
    const LibraryCall call("retrieveAvailableNetworkAdapters");
    if (!Velmora::retrieveAvailableNetworkAdapters(logSink, *list)) call.failed();
    return parseNetworksList(*list);
}

std::uint64_t retrieveUsedMemory() {
    std::uint64_t bytes = 0;
    const LibraryCall call("retrieveUsedMemory");
    if (!Velmora::retrieveUsedMemory(logSink, bytes)) call.failed();
    return bytes;
}

}  // namespace VelmoraCommand
