#include "StreamCapture.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace VelmoraWine {
namespace {

std::wstring temporaryFile() {
    wchar_t directory[MAX_PATH + 1];
    wchar_t path[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH, directory) == 0 || GetTempFileNameW(directory, L"vst", 0, path) == 0)
        throw std::runtime_error("no temporary file for a stream capture");
    return path;
}

void flushEverything() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

}  // namespace

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back("<unterminated>" + text.substr(start));
            break;
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

StreamCapture::StreamCapture() {
    flushEverything();
    output_ = redirect(_fileno(stdout));
    error_ = redirect(_fileno(stderr));
}

StreamCapture::~StreamCapture() {
    if (!finished_) finish();
}

CapturedStreams StreamCapture::finish() {
    flushEverything();
    finished_ = true;
    CapturedStreams captured;
    captured.output = restore(output_);
    captured.error = restore(error_);
    return captured;
}

StreamCapture::Redirect StreamCapture::redirect(int stream) {
    Redirect result;
    result.stream = stream;
    result.path = temporaryFile();
    result.file = _wopen(result.path.c_str(), _O_RDWR | _O_BINARY | _O_TRUNC, _S_IREAD | _S_IWRITE);
    result.saved = _dup(stream);
    if (result.file < 0 || result.saved < 0 || _dup2(result.file, stream) != 0)
        throw std::runtime_error("cannot redirect a standard stream");
    return result;
}

std::string StreamCapture::restore(Redirect& redirect) {
    _dup2(redirect.saved, redirect.stream);
    _close(redirect.saved);
    std::string text;
    char buffer[4096];
    _lseek(redirect.file, 0, SEEK_SET);
    for (int count; (count = _read(redirect.file, buffer, sizeof buffer)) > 0;) text.append(buffer, count);
    _close(redirect.file);
    _wunlink(redirect.path.c_str());
    return text;
}

}  // namespace VelmoraWine
