// One call of a library function as the command reports it: when it returns false, the reason is the last
// Error line it logged, with the meaning of the code that line carries.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "LogSink.h"

namespace VelmoraCommand {

class LibraryCall {
public:
    // Begins where the log stands now: lines logged before belong to something else. `subject` names what
    // the call was about when its lines may not (a machine by its name).
    explicit LibraryCall(std::string function, std::string subject = {});

    // "FUNCTION returned false[ for SUBJECT]: LAST ERROR LINE (MEANING)".
    std::string reason() const;
    // Throws Failure with the reason.
    [[noreturn]] void failed(const nlohmann::json& details = nlohmann::json::object()) const;

    // The lines the call has logged so far.
    std::vector<LogLine> lines() const;

private:
    std::string function_;
    std::string subject_;
    std::size_t firstLine_;
};

// "LINE (MEANING)" for a line that carries a known code, the line itself otherwise.
std::string explainedLine(const std::string& line);

}  // namespace VelmoraCommand
