// Velmora: manage virtual machines on the local Hyper-V host through WMI.
//
// Every function is one synchronous transaction on the calling thread: it installs `log` as the thread's
// log sink for its duration, starts COM, connects to root\virtualization\v2, does its work, releases
// everything and returns true or false. Why a call failed is in its log lines. Any number of threads may
// call at once. Out of memory leaves a call by Velmora::HResultError (see Velmora/HResultError.h).
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#if defined(VELMORA_BUILDING_LIBRARY)
#define VELMORA_API __declspec(dllexport)
#else
#define VELMORA_API __declspec(dllimport)
#endif
#else
#define VELMORA_API __attribute__((visibility("default")))
#endif

namespace Velmora {

enum LoggingLevel : std::int32_t {
    Info = 2,
    Warning = 3,
    Error = 4,
};

// Receives each log line: no prefix, no time stamp, no line end. Null means: Info and Warning lines go to
// standard output, Error lines to standard error.
using LogCallback = void (*)(LoggingLevel level, const char* line);

struct CPUSettings {
    std::int32_t count;        // virtual processors
    std::int32_t reservation;  // percent
    std::int32_t limit;        // percent
    std::int32_t weight;       // relative weight, 1..10000
};

struct VMSettings {
    const wchar_t* name;
    std::uint32_t generation;  // 1 or 2
    std::uint64_t ramSizeBytes;
    const wchar_t* configurationDataRoot;
    CPUSettings cpu;
    const wchar_t** networks;  // object paths of virtual switches, one adapter each
    std::uint32_t networksCount;
};

inline constexpr std::size_t vmPathCapacity = 2048;
inline constexpr std::size_t networksListCapacity = 65536;

struct CreatedVM {
    wchar_t vmPath[vmPathCapacity];  // the new machine's object path, zero-terminated
};

// Zero-terminated strings in pairs (a switch's object path, then its name), closed by an empty string.
struct NetworksList {
    wchar_t entries[networksListCapacity];
};

// Defines a machine, hands back its object path in `created`, then sizes its memory and processors and
// connects one adapter to each switch in settings.networks (those later steps are logged, not reported).
VELMORA_API bool createVM(LogCallback log, const VMSettings& settings, CreatedVM& created);
VELMORA_API bool deleteVM(LogCallback log, const wchar_t* vmPath);
VELMORA_API bool startVM(LogCallback log, const wchar_t* vmPath);
// True also when the machine no longer exists.
VELMORA_API bool stopVM(LogCallback log, const wchar_t* vmPath);
// Attaches each image file: generation 1 fills its IDE controllers first, then the SCSI controller.
VELMORA_API bool setDiskImages(LogCallback log, const wchar_t* vmPath, std::uint32_t generation,
                               const wchar_t** images, std::uint32_t imagesCount);
VELMORA_API bool retrieveAvailableNetworkAdapters(LogCallback log, NetworksList& networksList);
// Sums BlockSize x NumberOfBlocks over the host's Msvm_Memory instances, in bytes.
VELMORA_API bool retrieveUsedMemory(LogCallback log, std::uint64_t& usedMemory);

}  // namespace Velmora
