#include "hyperv/Outcomes.h"

#include "hyperv/Names.h"

namespace HyperVSim::hyperv {

Rejection invalidParameterRejection(std::wstring description) {
    return {static_cast<std::uint16_t>(invalidParameter), std::move(description)};
}

CimValue referenceValue(std::wstring path) {
    return CimValue::string(std::move(path), CimType::Reference);
}

CimValue referenceArray(std::vector<std::wstring> paths) {
    return CimValue::stringArray(std::move(paths), CimType::Reference);
}

MethodOutcome completedJob(HostState& state, Outputs outputs) {
    outputs.emplace_back(L"Job", referenceValue(state.createJob(JobState::Completed)));
    return MethodOutcome::returns(jobStarted, std::move(outputs));
}

MethodOutcome failedJob(HostState& state, std::uint16_t errorCode, std::wstring description) {
    const std::wstring job = state.createJob(JobState::Exception, errorCode, std::move(description));
    return MethodOutcome::returns(jobStarted, {{L"Job", referenceValue(job)}});
}

MethodOutcome failedJob(HostState& state, Rejection rejection) {
    return failedJob(state, rejection.errorCode, std::move(rejection.description));
}

}  // namespace HyperVSim::hyperv
