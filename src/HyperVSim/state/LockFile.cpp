#include "state/LockFile.h"

#include <cerrno>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace HyperVSim {

#ifndef _WIN32

namespace {
[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}
}  // namespace

LockFile::LockFile(const std::string& path)
    : descriptor_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
    if (descriptor_ < 0) fail("cannot open the lock file " + path);
}

LockFile::~LockFile() {
    ::close(descriptor_);
}

namespace {
void take(int descriptor, int operation) {
    while (::flock(descriptor, operation) != 0)
        if (errno != EINTR) fail("cannot take the lock");
}
}  // namespace

void LockFile::lockShared() {
    take(descriptor_, LOCK_SH);
}
void LockFile::lockExclusive() {
    take(descriptor_, LOCK_EX);
}
void LockFile::unlock() noexcept {
    ::flock(descriptor_, LOCK_UN);
}

#else

LockFile::LockFile(const std::string&) {
    throw std::system_error(std::make_error_code(std::errc::function_not_supported),
                            "no file locks on this platform");
}
LockFile::~LockFile() = default;
void LockFile::lockShared() {}
void LockFile::lockExclusive() {}
void LockFile::unlock() noexcept {}

#endif

}  // namespace HyperVSim
