#include "TourNarration.h"

#include "Output.h"

namespace VelmoraCommand {
namespace {

const std::string indent = "   ";

// Continuation lines of a step's outcome line up under its first line.
std::string indented(const std::string& text, const std::string& prefix) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        const auto line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        out += line.empty() ? "\n" : prefix + line + "\n";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

}  // namespace

void TourNarration::introduce(const std::string& text, const nlohmann::json& host) {
    document_.update(host);
    if (!json_) printText(text + "\n");
}

void TourNarration::step(const std::string& does, const std::string& function) {
    nlohmann::json entry = {{"step", steps_.size() + 1}, {"does", does}};
    if (!function.empty()) entry["function"] = function;
    if (cleaningUp_) entry["cleanup"] = true;
    steps_.push_back(entry);
    if (!json_)
        printText("\n" + std::to_string(steps_.size()) + ". " + does +
                  (function.empty() ? std::string() : " (" + function + ")") + "\n");
}

void TourNarration::outcome(bool ok, const std::string& text, const nlohmann::json& data) {
    auto& entry = steps_.back();
    entry["ok"] = ok;
    if (!data.is_null()) entry["result"] = data;
    if (json_) return;
    const std::string head = indent + "-> ";
    const auto firstEnd = text.find('\n');
    std::string out = head + text.substr(0, firstEnd) + "\n";
    if (firstEnd != std::string::npos) out += indented(text.substr(firstEnd + 1), indent + "   ");
    printText(out);
}

void TourNarration::showHost(const TourHost::Picture& host) {
    steps_.back()["hostAfter"] = host.json;
    if (!json_) printText("\n" + indent + "The host now:\n" + indented(host.text, indent + "  "));
}

void TourNarration::cleaningUp(const std::string& text) {
    cleaningUp_ = true;
    if (!json_) printText("\n" + text + "\n");
}

void TourNarration::machine(const nlohmann::json& machine) {
    document_["machine"] = machine;
}

void TourNarration::finish(bool ok, const std::string& text, const std::string& reason) {
    if (!json_) {
        printText("\n" + text + "\n");
        if (!ok) printError(reasonOfFailure(reason));
        return;
    }
    document_["steps"] = steps_;
    if (ok) {
        document_["ok"] = true;
        printJson(document_);
    } else {
        printJson(failureDocument(reason, document_));
    }
}

}  // namespace VelmoraCommand
