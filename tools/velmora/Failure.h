// The command could not do what it was asked, although the input was good: exit status 1, with the reason
// and, for --json, what else the document should carry.
#pragma once

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace VelmoraCommand {

class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& reason, nlohmann::json details = nlohmann::json::object())
        : std::runtime_error(reason), details_(std::move(details)) {}
    const nlohmann::json& details() const { return details_; }

private:
    nlohmann::json details_;
};

}  // namespace VelmoraCommand
