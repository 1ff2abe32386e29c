// Results go to standard output: text for people, or with --json one JSON document for scripts.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace VelmoraCommand {

void printText(std::string_view text);
void printJson(const nlohmann::json& document);

// Names the library function that returned false on standard error (its own log lines say why) and, with
// --json, still prints a document: {"ok": false, ...details}. Returns the exit status for it.
int reportFailure(bool json, std::string_view function, nlohmann::json details = nlohmann::json::object());

// Prints "velmora: <message>" on standard error.
void printError(std::string_view message);

}  // namespace VelmoraCommand
