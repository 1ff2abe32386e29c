#include "HostQueries.h"

#include <memory>

#include "LogSink.h"

namespace VelmoraCommand {

std::optional<std::vector<Switch>> retrieveSwitches() {
    // 256 KiB of wide characters: too much for the stack.
    auto list = std::make_unique<Velmora::NetworksList>();
    if (!Velmora::retrieveAvailableNetworkAdapters(logSink, *list)) return std::nullopt;
    return parseNetworksList(*list);
}

std::optional<std::uint64_t> retrieveUsedMemory() {
    std::uint64_t bytes = 0;
    if (!Velmora::retrieveUsedMemory(logSink, bytes)) return std::nullopt;
    return bytes;
}

}  // namespace VelmoraCommand
