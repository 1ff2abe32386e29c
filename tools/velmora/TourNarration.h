// The tour tells what each step does and what came back: as it goes, in text, or at the end as one JSON
// document.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "HostView.h"

namespace VelmoraCommand {

class TourNarration {
public:
    explicit TourNarration(bool json) : json_(json) {}

    void introduce(const std::string& text, const std::string& stateFile);
    // Starts step n: "n. does (function)".
    void step(const std::string& does, const std::string& function);
    // What the step's function returned, with a short text for people and the same in `data` for scripts.
    void outcome(bool ok, const std::string& text, const nlohmann::json& data = nullptr);
    void showHost(const HostSnapshot& host);
    // Ends the tour: prints the closing text, or the JSON document with every step; a tour that stopped
    // names `reason` (on standard error, or as the document's "error" with the log lines).
    void finish(bool ok, const std::string& text, const std::string& reason);

private:
    bool json_;
    nlohmann::json document_ = nlohmann::json::object();
    nlohmann::json steps_ = nlohmann::json::array();
};

}  // namespace VelmoraCommand
