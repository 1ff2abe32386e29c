// Checks that CLI11 runs while it parses, so that bad input is refused, with the option named, before the
// library is called. They carry no name of their own: each option's type name says what it takes.
#pragma once

#include <CLI/CLI.hpp>

namespace VelmoraCommand {

// 1 or 2.
CLI::Validator generationValidator();
// A size that parseSize accepts and that Hyper-V takes as static memory: a multiple of 2 MiB, at least 32 MiB,
// and no more than the library can write (a signed 32-bit number of MiB).
CLI::Validator memoryValidator();
// A machine's name that Hyper-V takes and that shows as written (machineNameProblem).
CLI::Validator machineNameValidator();
// Text that is not empty.
CLI::Validator notEmptyValidator(const std::string& what);
// An existing file that is not a directory.
CLI::Validator imageFileValidator();
// A whole number within [low, high].
CLI::Validator wholeNumberValidator(long long low, long long high, const std::string& unit);

}  // namespace VelmoraCommand
