// A host state shared by processes through one JSON file. Readers take a shared lock, writers an exclusive
// one held from catching up with the file, through the change, to the file's replacement; so no process
// loses another's change. The file is replaced whole (written beside it, flushed, renamed over it), and a
// file that cannot be read is never written over. A process that only reads may open the file read-only:
// it then needs no write access to the file, its folder or the lock file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "HyperVSim/Control.h"
#include "model/Host.h"
#include "state/LockFile.h"

namespace HyperVSim {

class StateFile final : public StateStore {
public:
    // Opens "<path>.lock"; throws StateFileError when it cannot.
    StateFile(std::string path, StateFileAccess access);

    void attach(HostState& state) override;
    void acquireShared(HostState& state) override;
    void acquireExclusive(HostState& state) override;
    void store(const HostState& state) override;
    void release() noexcept override;

private:
    // What tells one version of the file from another without reading it.
    struct Stamp {
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modifiedSeconds = 0, modifiedNanoseconds = 0, changedSeconds = 0, changedNanoseconds = 0;
        bool operator==(const Stamp&) const = default;
    };
    std::optional<Stamp> stamp() const;  // nullopt when there is no file
    // The file's content, and the stamp of the file that was read.
    std::string read(std::optional<Stamp>& readStamp) const;
    void catchUp(HostState& state);
    void load(HostState& state);
    [[noreturn]] void fail(const std::string& problem,
                           StateFileError::Kind kind = StateFileError::Kind::Inaccessible) const;
    [[noreturn]] void refuseChange() const;

    std::string path_;
    StateFileAccess access_;
    LockFile lock_;
    std::optional<Stamp> known_;  // the file as this process last read or wrote it
    bool stale_ = true;           // memory may differ from the file: reload at the next acquire
    bool exclusive_ = false;
    bool stored_ = false;
};

}  // namespace HyperVSim
