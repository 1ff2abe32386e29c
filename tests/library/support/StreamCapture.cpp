#include "StreamCapture.h"

#include <fcntl.h>

#include <cstdio>
#include <iostream>
#include <stdexcept>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define read _read
#define lseek _lseek
#define fileno _fileno
#else
#include <unistd.h>

#include <cstdlib>
#endif

namespace VelmoraTest {
namespace {

int createTemporaryFile(std::filesystem::path& path) {
#ifdef _WIN32
    wchar_t directory[MAX_PATH + 1], name[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH, directory) == 0 || GetTempFileNameW(directory, L"vst", 0, name) == 0) return -1;
    path = name;
    return _wopen(name, _O_RDWR | _O_BINARY | _O_TRUNC, _S_IREAD | _S_IWRITE);
#else
    std::string name = (std::filesystem::temp_directory_path() / "velmora-stream-XXXXXX").string();
    const int descriptor = mkstemp(name.data());
    path = name;
    return descriptor;
#endif
}

void flushEverything() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

}  // namespace

StreamCapture::StreamCapture() {
    flushEverything();
    output_ = redirect(fileno(stdout));
    try {
        error_ = redirect(fileno(stderr));
    } catch (...) {
        restore(output_);
        throw;
    }
}

CapturedStreams StreamCapture::finish() {
    if (finished_) return {};
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
    result.file = createTemporaryFile(result.path);
    result.saved = dup(stream);
    if (result.file < 0 || result.saved < 0 || dup2(result.file, stream) < 0)
        throw std::runtime_error("cannot redirect a standard stream");
    return result;
}

std::string StreamCapture::restore(Redirect& redirect) {
    dup2(redirect.saved, redirect.stream);
    close(redirect.saved);
    std::string text;
    char buffer[4096];
    lseek(redirect.file, 0, SEEK_SET);
    for (int count; (count = static_cast<int>(read(redirect.file, buffer, sizeof buffer))) > 0;)
        text.append(buffer, count);
    // A stream in text mode on Windows ends its lines with "\r\n".
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
    close(redirect.file);
    std::error_code ignored;
    std::filesystem::remove(redirect.path, ignored);
    return text;
}

}  // namespace VelmoraTest
