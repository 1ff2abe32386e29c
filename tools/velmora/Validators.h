// Checks that CLI11 runs while it parses, so that bad input is refused, with the option named, before the
// library is called. They carry no name of their own: each option's type name says what it takes.
#pragma once

#include <CLI/CLI.hpp>

namespace VelmoraCommand {

// 1 or 2.
CLI::Validator generationValidator();
// A size that parseSize accepts and that the library can write: it hands memory to Hyper-V as a signed 32-bit
// number of MiB.
CLI::Validator memoryValidator();
// An existing file that is not a directory.
CLI::Validator imageFileValidator();
// A whole number within [low, high].
CLI::Validator wholeNumberValidator(long long low, long long high, const std::string& unit);

}  // namespace VelmoraCommand
