// What the command asks of the console it runs in, behind one small interface for Linux and Windows: whether a
// standard stream is a terminal, a yes/no question to the operator, and Ctrl+C noticed rather than fatal.
#pragma once

#include <csignal>
#include <string>

namespace VelmoraCommand {

enum class Stream { Input, Output, Error };

bool isTerminal(Stream stream);

// Asks `question` on standard error and reads the answer from standard input; true for "y" or "yes".
bool confirm(const std::string& question);

// While an Interruption lives, Ctrl+C sets a flag instead of ending the process, so that a wait can stop and
// say where things stand. The previous handling comes back when it ends. Interruptions nest: an inner one (a
// wait within the tour) shares the outer one's flag, so that a Ctrl+C before it began is not forgotten.
class Interruption {
public:
    Interruption();
    ~Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    static bool requested();
    // The Ctrl+C so far has been acted upon (the tour is cleaning up): only a later one is requested() again.
    static void acknowledge();

private:
    void (*previous_)(int) = SIG_DFL;
};

}  // namespace VelmoraCommand
