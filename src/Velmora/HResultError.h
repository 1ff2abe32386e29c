// The one exception that leaves Velmora's functions: memory exhausted (E_OUTOFMEMORY), a safe-array
// operation that rejected its arguments, or a wide string that could not be converted for a log line.
#pragma once

#include <cstdint>
#include <exception>

#if defined(_WIN32)
#define VELMORA_EXCEPTION
#else
#define VELMORA_EXCEPTION __attribute__((visibility("default")))
#endif

namespace Velmora {

class VELMORA_EXCEPTION HResultError : public std::exception {
public:
    explicit HResultError(std::int32_t hr) noexcept : hr_(hr) {}
    std::int32_t hresult() const noexcept { return hr_; }
    const char* what() const noexcept override { return "Velmora::HResultError"; }

private:
    std::int32_t hr_;
};

}  // namespace Velmora
