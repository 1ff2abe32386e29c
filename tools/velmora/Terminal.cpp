#include "Terminal.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace VelmoraCommand {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void noteInterruption(int) {
    interrupted = 1;
}

int descriptorOf(Stream stream) {
    switch (stream) {
        case Stream::Input:
            return 0;
        case Stream::Output:
            return 1;
        case Stream::Error:
            return 2;
    }
    return 2;
}

}  // namespace

bool isTerminal(Stream stream) {
#if defined(_WIN32)
    return _isatty(descriptorOf(stream)) != 0;
#else
    return isatty(descriptorOf(stream)) == 1;
#endif
}

bool confirm(const std::string& question) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s [y/N] ", question.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) answer.pop_back();
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

Interruption::Interruption() : previous_(std::signal(SIGINT, noteInterruption)) {
    interrupted = 0;
}

Interruption::~Interruption() {
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
}

bool Interruption::requested() {
    return interrupted != 0;
}

}  // namespace VelmoraCommand
