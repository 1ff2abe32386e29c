#include "Terminal.h"

#include <csignal>
#include <iostream>

#include "ConsoleText.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace VelmoraCommand {
namespace {

volatile std::sig_atomic_t interrupted = 0;
int interruptionDepth = 0;

extern "C" void noteInterruption(int signal) {
    interrupted = 1;
    // Windows' C runtime puts the default handling back before it calls a handler: a second Ctrl+C must be
    // noticed as well, not end the process while the command cleans up.
    std::signal(signal, noteInterruption);
}

}  // namespace

bool isTerminal(Stream stream) {
#if defined(_WIN32)
    // A console has a console mode; _isatty would also take the NUL device, or any character device, for one.
    const HANDLE handle = GetStdHandle(stream == Stream::Input    ? STD_INPUT_HANDLE
                                       : stream == Stream::Output ? STD_OUTPUT_HANDLE
                                                                  : STD_ERROR_HANDLE);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
#else
    const int descriptor = stream == Stream::Input    ? STDIN_FILENO
                           : stream == Stream::Output ? STDOUT_FILENO
                                                      : STDERR_FILENO;
    return isatty(descriptor) == 1;
#endif
}

bool confirm(const std::string& question) {
    writeText(Stream::Error, question + " [y/N] ");
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) answer.pop_back();
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

Interruption::Interruption() {
    if (interruptionDepth++ > 0) return;
    interrupted = 0;
    previous_ = std::signal(SIGINT, noteInterruption);
}

Interruption::~Interruption() {
    if (--interruptionDepth > 0) return;
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
}

bool Interruption::requested() {
    return interrupted != 0;
}

void Interruption::acknowledge() {
    interrupted = 0;
}

}  // namespace VelmoraCommand
