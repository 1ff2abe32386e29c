// Results go to standard output: text for people, or with --json one JSON document for scripts. Every run
// with --json ends with exactly one document: {"ok": true, ...} or {"ok": false, "error": ..., "lines": ...}.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace VelmoraCommand {

void printText(std::string_view text);
void printJson(const nlohmann::json& document);

// Prints "velmora: <message>" on standard error.
void printError(std::string_view message);

// The document of a run that failed: "ok" false, "error" the reason, "lines" every log line with its level,
// and `details`.
nlohmann::json failureDocument(const std::string& reason, const nlohmann::json& details = nlohmann::json::object());

}  // namespace VelmoraCommand
