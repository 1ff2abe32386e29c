#include "LibraryCall.h"

#include "ErrorCodes.h"
#include "Failure.h"

namespace VelmoraCommand {

LibraryCall::LibraryCall(std::string function, std::string subject)
    : function_(std::move(function)), subject_(std::move(subject)), firstLine_(loggedLines().size()) {}

std::vector<LogLine> LibraryCall::lines() const {
    const auto& all = loggedLines();
    return {all.begin() + static_cast<std::ptrdiff_t>(firstLine_), all.end()};
}

std::string LibraryCall::reason() const {
    const std::string head = function_ + " returned false" + (subject_.empty() ? "" : " for " + subject_);
    const auto own = lines();
    for (auto line = own.rbegin(); line != own.rend(); ++line)
        if (line->level == Velmora::Error) return head + ": " + explainedLine(line->text);
    return head + " and logged no error line";
}

void LibraryCall::failed(const nlohmann::json& details) const {
    throw Failure(reason(), details);
}

std::string explainedLine(const std::string& line) {
    const auto meaning = meaningOfLine(line);
    return meaning ? line + " (" + *meaning + ")" : line;
}

}  // namespace VelmoraCommand
