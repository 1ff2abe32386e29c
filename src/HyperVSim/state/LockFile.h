// An advisory lock shared between processes: flock on a file of its own next to what it protects, so that
// the protected file itself can be replaced by rename while the lock is held.
#pragma once

#include <string>

namespace HyperVSim {

class LockFile {
public:
    enum class Use { Write, ReadOnly };

    // Opens (creating when needed) the lock file; throws std::system_error when it cannot. For ReadOnly use a
    // lock file that cannot be opened or made is done without, and locking does nothing.
    LockFile(const std::string& path, Use use);
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Block until the lock is had; throw std::system_error on failure.
    void lockShared();
    void lockExclusive();
    void unlock() noexcept;

private:
    int descriptor_ = -1;
};

}  // namespace HyperVSim
