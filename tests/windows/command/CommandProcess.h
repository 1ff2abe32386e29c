// Runs velmora.exe from beside the test program as a user runs it, in a folder of the test's own, with its
// standard output and error in files and its standard input on NUL. Line ends come back as on Linux.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace CommandWineTest {

struct Result {
    int status = -1;  // exit status, or -1 when the program could not be started
    std::string out;
    std::string err;
};

Result runVelmora(const std::vector<std::string>& arguments, const std::filesystem::path& folder);

std::string readFile(const std::filesystem::path& file);

}  // namespace CommandWineTest
