// The command line before CLI11 parses it: its arguments as UTF-8, whether the run wants JSON (a document is
// printed even when parsing fails), and a misspelt command at any level named as such.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace VelmoraCommand {

// The arguments as UTF-8, the program's name first. On Windows they are read from the wide command line,
// because `argv` holds them in the ANSI code page there.
std::vector<std::string> commandLineArguments(int argc, char** argv);

bool asksForJson(const std::vector<std::string>& arguments);

// "unknown command 'host frob'; the host commands are: show, reset" for the first argument that stands where
// a command must and names none; nothing when every command is known.
std::optional<std::string> unknownCommand(const std::vector<std::string>& arguments, CLI::App& app);

// The commands below `app`, by name, in the order they were added.
std::string commandList(CLI::App& app);

}  // namespace VelmoraCommand
