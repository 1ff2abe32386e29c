// The shapes of answer a Hyper-V method gives: a result at once, or a job that has already ended.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/Host.h"

namespace HyperVSim::hyperv {

// Why Hyper-V refuses a request that it answers with a job.
struct Rejection {
    std::uint16_t errorCode = 0;  // the job's ErrorCode
    std::wstring description;     // the job's ErrorDescription: what is wrong, in the host's words
};

// ErrorCode 32773 (invalid parameter) with the reason.
Rejection invalidParameterRejection(std::wstring description);

CimValue referenceValue(std::wstring path);
CimValue referenceArray(std::vector<std::wstring> paths);

using Outputs = std::vector<std::pair<std::wstring, CimValue>>;

// ReturnValue 4096 with a job that completed.
MethodOutcome completedJob(HostState& state, Outputs outputs = {});
// ReturnValue 4096 with a job that ended in an exception carrying `errorCode` and the reason.
MethodOutcome failedJob(HostState& state, std::uint16_t errorCode, std::wstring description);
MethodOutcome failedJob(HostState& state, Rejection rejection);

}  // namespace HyperVSim::hyperv
