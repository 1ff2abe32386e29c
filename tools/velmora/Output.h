// Results go to standard output: text for people, or with --json one JSON document for scripts. Every run
// with --json ends with exactly one document: {"ok": true, ...} or {"ok": false, "error": ..., "lines": ...}.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace VelmoraCommand {

void printText(std::string_view text);
// A document of success ("ok" true) is printed as one of failure when an underlying fault (below) has failed
// the run meanwhile.
void printJson(const nlohmann::json& document);

// Prints "velmora: <message>" on standard error.
void printError(std::string_view message);

// The document of a run that failed: "ok" false, "error" the reason (reasonOfFailure), "lines" every log
// line with its level, and `details`.
nlohmann::json failureDocument(const std::string& reason, const nlohmann::json& details = nlohmann::json::object());

// What failed the run beneath the command, whatever the command says of its own outcome: a replay that had no
// answer for a call fails that call and every later one, so its diagnostic is the reason of every failure
// after it. Set by main while the run's WMI stand-in is in place.
void setUnderlyingFault(std::function<std::optional<std::string>()> fault);
std::optional<std::string> underlyingFault();
// The reason a failing run gives: the underlying fault when there is one, else its own.
std::string reasonOfFailure(const std::string& own);

}  // namespace VelmoraCommand
