#include "state/StateFile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "state/StateJson.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace HyperVSim {
namespace {

// Names the state file in the error, as every problem with it does.
LockFile openLock(const std::string& path, StateFileAccess access) try {
    return LockFile(path + ".lock",
                    access == StateFileAccess::ReadOnly ? LockFile::Use::ReadOnly : LockFile::Use::Write);
} catch (const std::system_error& error) {
    throw StateFileError("state file " + path + ": " + error.what());
}

}  // namespace

StateFile::StateFile(std::string path, StateFileAccess access)
    : path_(std::move(path)), access_(access), lock_(openLock(path_, access_)) {}

void StateFile::fail(const std::string& problem, StateFileError::Kind kind) const {
    throw StateFileError("state file " + path_ + ": " + problem, kind);
}

void StateFile::refuseChange() const {
    fail("is open for reading only; the host cannot be changed");
}

#ifndef _WIN32

namespace {

template <class Stamp>
Stamp stampOf(const struct stat& status) {
    return Stamp{static_cast<std::uint64_t>(status.st_dev),
                 static_cast<std::uint64_t>(status.st_ino),
                 static_cast<std::uint64_t>(status.st_size),
                 status.st_mtim.tv_sec,
                 status.st_mtim.tv_nsec,
                 status.st_ctim.tv_sec,
                 status.st_ctim.tv_nsec};
}

}  // namespace

std::optional<StateFile::Stamp> StateFile::stamp() const {
    struct stat status {};
    if (::stat(path_.c_str(), &status) != 0) {
        if (errno == ENOENT) return std::nullopt;
        fail(std::string("cannot be examined: ") + std::strerror(errno));
    }
    return stampOf<Stamp>(status);
}

namespace {

void writeAll(int descriptor, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t now = ::write(descriptor, text.data() + written, text.size() - written);
        if (now < 0 && errno == EINTR) continue;
        if (now <= 0) throw std::system_error(errno, std::generic_category(), "cannot write");
        written += static_cast<std::size_t>(now);
    }
}

}  // namespace

void StateFile::store(const HostState& state) {
    if (access_ == StateFileAccess::ReadOnly) refuseChange();
    const std::string text = stateToJson(state).dump() + "\n";
    std::string temporary = path_ + ".XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0) fail(std::string("cannot create a file beside it: ") + std::strerror(errno));
    try {
        writeAll(descriptor, text);
        if (::fsync(descriptor) != 0) throw std::system_error(errno, std::generic_category(), "cannot flush");
        if (::fchmod(descriptor, 0644) != 0)
            throw std::system_error(errno, std::generic_category(), "cannot set mode");
        if (::close(descriptor) != 0) throw std::system_error(errno, std::generic_category(), "cannot close");
    } catch (const std::system_error& error) {
        ::close(descriptor);
        ::unlink(temporary.c_str());
        fail(error.what());
    }
    // Test hook: with VELMORA_SIM_KILL_BEFORE_RENAME set, the process dies here, its new state written
    // but not yet in place, so that a test can show the file keeps the previous state.
    if (std::getenv("VELMORA_SIM_KILL_BEFORE_RENAME")) ::raise(SIGKILL);
    if (::rename(temporary.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        fail(std::string("cannot be replaced: ") + std::strerror(error));
    }
    known_ = stamp();
    stale_ = false;
    stored_ = true;
}

std::string StateFile::read(std::optional<Stamp>& readStamp) const {
    const int descriptor = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) fail(std::string("cannot be opened for reading: ") + std::strerror(errno));
    // The stamp of the very file read, not of whatever the path names a moment later: a reader without a
    // lock may see the file replaced in between.
    struct stat status {};
    std::string content;
    bool ok = ::fstat(descriptor, &status) == 0;
    if (ok) readStamp = stampOf<Stamp>(status);
    char buffer[65536];
    while (ok) {
        const ssize_t now = ::read(descriptor, buffer, sizeof buffer);
        if (now < 0 && errno == EINTR) continue;
        if (now < 0) ok = false;
        if (now <= 0) break;
        content.append(buffer, static_cast<std::size_t>(now));
    }
    const int error = errno;
    ::close(descriptor);
    if (!ok) fail(std::string("cannot be read: ") + std::strerror(error));
    return content;
}

#else

std::optional<StateFile::Stamp> StateFile::stamp() const {
    fail("is not supported on this platform");
}
void StateFile::store(const HostState&) {
    fail("is not supported on this platform");
}
std::string StateFile::read(std::optional<Stamp>&) const {
    fail("is not supported on this platform");
}

#endif

void StateFile::load(HostState& state) {
    std::optional<Stamp> readStamp;
    const std::string content = read(readStamp);
    constexpr auto unreadable = StateFileError::Kind::Unreadable;
    if (content.find_first_not_of(" \t\r\n") == std::string::npos) fail("is empty", unreadable);
    const auto document = nlohmann::json::parse(content, nullptr, false);
    if (document.is_discarded()) fail("is not valid JSON (damaged or truncated)", unreadable);
    try {
        state = stateFromJson(document);
    } catch (const StateFormatError& error) {
        fail(error.what(), unreadable);
    }
    known_ = readStamp;
    stale_ = false;
}

void StateFile::catchUp(HostState& state) {
    const auto current = stamp();
    // A file removed behind our back is written again from memory by the next change.
    if (!current) return;
    if (stale_ || current != known_) load(state);
}

void StateFile::attach(HostState& state) {
    if (access_ == StateFileAccess::ReadOnly) {
        // A missing file leaves the host as it is, in memory only.
        acquireShared(state);
        release();
        return;
    }
    try {
        lock_.lockExclusive();
    } catch (const std::system_error& error) {
        fail(error.what());
    }
    try {
        catchUp(state);
        // An existing file has been loaded; a missing one is made from the current host.
        if (!known_) store(state);
    } catch (...) {
        lock_.unlock();
        throw;
    }
    lock_.unlock();
}

void StateFile::acquireShared(HostState& state) {
    try {
        lock_.lockShared();
    } catch (const std::system_error& error) {
        fail(error.what());
    }
    exclusive_ = false;
    try {
        catchUp(state);
    } catch (...) {
        lock_.unlock();
        throw;
    }
}

void StateFile::acquireExclusive(HostState& state) {
    if (access_ == StateFileAccess::ReadOnly) refuseChange();
    try {
        lock_.lockExclusive();
    } catch (const std::system_error& error) {
        fail(error.what());
    }
    exclusive_ = true;
    stored_ = false;
    try {
        catchUp(state);
    } catch (...) {
        lock_.unlock();
        throw;
    }
}

void StateFile::release() noexcept {
    // A write that ended without storing may have left memory half changed.
    if (exclusive_ && !stored_) stale_ = true;
    exclusive_ = false;
    lock_.unlock();
}

}  // namespace HyperVSim
