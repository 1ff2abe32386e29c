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

LockFile::LockFile(const std::string& path, Use use)
    : descriptor_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
    if (descriptor_ >= 0) return;
    if (use == Use::Write) fail("cannot open the lock file " + path);
    // flock needs no write access: a lock file made by someone else serves a reader opened for reading.
    descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

LockFile::~LockFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

namespace {
void take(int descriptor, int operation) {
    if (descriptor < 0) return;
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
    if (descriptor_ >= 0) ::flock(descriptor_, LOCK_UN);
}

#else

LockFile::LockFile(const std::string&, Use) {
    throw std::system_error(std::make_error_code(std::errc::function_not_supported),
                            "no file locks on this platform");
}
LockFile::~LockFile() = default;
void LockFile::lockShared() {}
void LockFile::lockExclusive() {}
void LockFile::unlock() noexcept {}

#endif

}  // namespace HyperVSim
