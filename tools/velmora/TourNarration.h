// The tour tells what each step does and what came back: as it goes, in text, or at the end as one JSON
// document.
#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

#include "Host.h"

namespace VelmoraCommand {

class TourNarration {
public:
    explicit TourNarration(bool json) : json_(json) {}

    // The tour's first paragraph, and what the document says of the host.
    void introduce(const std::string& text, const nlohmann::json& host);
    // Starts step n: "n. does (function)".
    void step(const std::string& does, const std::string& function);
    // What the step's function returned, with a short text for people and the same in `data` for scripts.
    void outcome(bool ok, const std::string& text, const nlohmann::json& data = nullptr);
    void showHost(const TourHost::Picture& host);
    // The road ends early: `text` says so, and the steps from here on (marked "cleanup") remove what the tour
    // made.
    void cleaningUp(const std::string& text);
    // What the document says of the tour's machine.
    void machine(const nlohmann::json& machine);
    std::size_t steps() const { return steps_.size(); }
    // Ends the tour: prints the closing text, or the JSON document with every step; a tour that stopped
    // names `reason` (on standard error, or as the document's "error" with the log lines).
    void finish(bool ok, const std::string& text, const std::string& reason);

private:
    bool json_;
    bool cleaningUp_ = false;
    nlohmann::json document_ = nlohmann::json::object();
    nlohmann::json steps_ = nlohmann::json::array();
};

}  // namespace VelmoraCommand
