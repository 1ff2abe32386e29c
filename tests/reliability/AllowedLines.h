// The log lines the library may write, as data: each entry is a whole line or the fixed head of a line that
// a value completes (a path, a name, a code). A sweep checks every line it captures against this list, so
// that a fault can never make the library say something nobody documented.
#pragma once

#include <string>

namespace VelmoraTest {

// Whether `line` is a documented line or starts with a documented head.
bool isAllowedLine(const std::string& line);

}  // namespace VelmoraTest
