#include "StreamCapture.h"

#include <fcntl.h>

#include <cstdio>
#include <iostream>
#include <stdexcept>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <unistd.h>

#include <cstdlib>
#endif

namespace VelmoraTest {
namespace {

#ifdef _WIN32
int duplicate(int descriptor) {
    return _dup(descriptor);
}
int duplicateOnto(int descriptor, int target) {
    return _dup2(descriptor, target);
}
void closeDescriptor(int descriptor) {
    _close(descriptor);
}
int readDescriptor(int descriptor, char* buffer, unsigned size) {
    return _read(descriptor, buffer, size);
}
void rewindDescriptor(int descriptor) {
    _lseek(descriptor, 0, SEEK_SET);
}
int standardDescriptor(FILE* stream) {
    return _fileno(stream);
}

int createTemporaryFile(std::filesystem::path& path) {
    wchar_t directory[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH, directory) == 0 || GetTempFileNameW(directory, L"vst", 0, name) == 0) return -1;
    path = name;
    return _wopen(name, _O_RDWR | _O_BINARY | _O_TRUNC, _S_IREAD | _S_IWRITE);
}
#else
int duplicate(int descriptor) {
    return dup(descriptor);
}
int duplicateOnto(int descriptor, int target) {
    return dup2(descriptor, target) == target ? 0 : -1;
}
void closeDescriptor(int descriptor) {
    close(descriptor);
}
int readDescriptor(int descriptor, char* buffer, unsigned size) {
    return static_cast<int>(read(descriptor, buffer, size));
}
void rewindDescriptor(int descriptor) {
    lseek(descriptor, 0, SEEK_SET);
}
int standardDescriptor(FILE* stream) {
    return fileno(stream);
}

int createTemporaryFile(std::filesystem::path& path) {
    std::string name = (std::filesystem::temp_directory_path() / "velmora-stream-XXXXXX").string();
    const int descriptor = mkstemp(name.data());
    path = name;
    return descriptor;
}
#endif

void flushEverything() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

std::string withUnixLineEnds(std::string text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) result += text[i];
    return result;
}

}  // namespace

StreamCapture::StreamCapture() {
    flushEverything();
    output_ = redirect(standardDescriptor(stdout));
    try {
        error_ = redirect(standardDescriptor(stderr));
    } catch (...) {
        restore(output_);
        throw;
    }
}

StreamCapture::~StreamCapture() {
    finish();
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
    result.saved = duplicate(stream);
    if (result.file < 0 || result.saved < 0 || duplicateOnto(result.file, stream) != 0)
        throw std::runtime_error("cannot redirect a standard stream");
    return result;
}

std::string StreamCapture::restore(Redirect& redirect) {
    duplicateOnto(redirect.saved, redirect.stream);
    closeDescriptor(redirect.saved);
    std::string text;
    char buffer[4096];
    rewindDescriptor(redirect.file);
    for (int count; (count = readDescriptor(redirect.file, buffer, sizeof buffer)) > 0;) text.append(buffer, count);
    closeDescriptor(redirect.file);
    std::error_code ignored;
    std::filesystem::remove(redirect.path, ignored);
    return withUnixLineEnds(text);
}

}  // namespace VelmoraTest
