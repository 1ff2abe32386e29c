// Windows error codes (GetLastError) in words, for the command's error lines.
#pragma once

#include <string>

namespace VelmoraCommand {

// "error 2 (The system cannot find the file specified.)": the number and the system's own message for it, or
// the number alone when the system has none.
std::string systemMessage(unsigned long error);

}  // namespace VelmoraCommand
