#include "NestedCall.h"

#include <utility>

#include "Velmora/HResultError.h"

namespace VelmoraTest {
namespace {

thread_local LogLines outerLines;
thread_local std::function<void()> innerCall;

void outerLog(Velmora::LoggingLevel level, const char* line) {
    outerLines.push_back({level, line});
    if (innerCall) std::exchange(innerCall, nullptr)();
}

}  // namespace

NestedOutcome runNested(const std::function<bool()>& call, const std::function<void()>& after) {
    NestedOutcome outcome;
    outerLines.clear();
    std::size_t innerCount = 0;
    innerCall = [&] {
        try {
            outcome.result = call();
        } catch (const Velmora::HResultError& failure) {
            outcome.threw = true;
            outcome.code = failure.hresult();
        }
        if (after) after();
        innerCount = capturedLines().size();
    };
    std::uint64_t used = 0;
    const bool outerResult = Velmora::retrieveUsedMemory(outerLog, used);
    outcome.restored = outerResult && outerLines.size() > 1 && outerLines.front() == info("Get used memory") &&
                       outerLines.back() == info("Get used memory - OK") && capturedLines().size() == innerCount;
    return outcome;
}

}  // namespace VelmoraTest
