#pragma once
// Real files for the record-file tests: temporary directories, whole-file reads and
// writes, a file layer that fails on request, and a way to run an operation as a player
// without root's power to ignore permission bits.
#include "records/BestRecord.h"
#include "records/FileSystem.h"
#include "records/RecordFile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tovra::testing {

using Bytes = std::vector<std::uint8_t>;

// A fresh directory under the system's temporary directory, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Dir() const { return dir_; }
    std::string Path(const std::string& name = "record.dat") const { return dir_ + "/" + name; }
    // Names of the entries, sorted.
    std::vector<std::string> Entries() const { return EntriesOf(dir_); }
    static std::vector<std::string> EntriesOf(const std::string& dir);

private:
    std::string dir_;
};

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);
// Whatever byte pattern, distinct at every offset of a table.
Bytes PatternBytes(std::size_t size);
Bytes TableBytes(const BestTable& table);
unsigned PermissionsOf(const std::string& path);

// A finished game, told apart by its name and score.
BestRecord FinishedGame(const std::string& name, int score);
// The table with these games in order (the rest fresh records).
BestTable TableOf(const std::vector<BestRecord>& games);
// What the end-of-game dialog does: the game enters this copy's table, then the file.
SaveOutcome Finish(RecordFile& file, BestTable& table, const BestRecord& game);

// What an operation run in a child process reports back.
struct ChildReport {
    int errorCode = 0; // code of the IoError thrown, 0 when none
    bool skipped = false;
    std::array<std::uint8_t, TableSize> table{};
    char failure[160] = {}; // set when the child could not run the operation as asked
};

// Runs `operation` in a forked child. When the tests run as root, the child first becomes
// the unprivileged user 65534 (nobody), for whom permission bits hold as for a player.
ChildReport RunAsPlayer(const std::function<void(ChildReport&)>& operation);
// Who runs an operation: this process as it is (root in containers and CI), or a player.
enum class Runner { Self, Player };
ChildReport RunAs(Runner runner, const std::function<void(ChildReport&)>& operation);
// Lets the player's child into a directory with the given mode.
void SetMode(const std::string& path, unsigned mode);

// The POSIX layer with failures on request. Failed calls touch nothing, except Close,
// which releases the descriptor as Linux does.
class FaultyFileSystem : public PosixFileSystem {
public:
    enum class Call {
        OpenReadWrite, OpenReadOnly, CreateExclusive, Read, Write, WriteAt, Truncate, Sync, Close, Status,
        StatusOf, SetPermissions, SetOwner, TryLock, Rename, Unlink, Link, SyncDirectory, ReadLink,
    };

    // The nth call (from 1) of `call` fails with errno `error`.
    void Fail(Call call, int error, int nth = 1) { failures_[call] = {nth, error}; }
    // Writes (Write and WriteAt) stop after this many bytes in all, like a full disk: the write that reaches
    // the limit is short, later ones fail with ENOSPC.
    void LimitDiskSpace(std::size_t bytes) { diskSpace_ = bytes; }
    // Runs before every call, with the call and how many of its kind there have been (this one included).
    std::function<void(Call, int)> beforeCall;
    // A clock that moves `step` milliseconds at each look and never sleeps.
    void UseFakeClock(std::int64_t step) { clockStep_ = step; }
    // Descriptors opened and not yet closed.
    int OpenDescriptors() const { return open_; }
    int Calls(Call call) const;

    int OpenReadWrite(const std::string& path) override;
    int OpenReadOnly(const std::string& path) override;
    int CreateExclusive(const std::string& path, mode_t mode) override;
    ssize_t Read(int fd, void* buffer, std::size_t size) override;
    ssize_t Write(int fd, const void* buffer, std::size_t size) override;
    ssize_t WriteAt(int fd, const void* buffer, std::size_t size, off_t offset) override;
    int Truncate(int fd, off_t size) override;
    int Sync(int fd) override;
    int Close(int fd) override;
    int Status(int fd, FileStatus& status) override;
    int StatusOf(const std::string& path, FileStatus& status) override;
    int SetPermissions(int fd, mode_t permissions) override;
    int SetOwner(int fd, uid_t owner, gid_t group) override;
    int TryLock(int fd) override;
    int Rename(const std::string& from, const std::string& to) override;
    int Unlink(const std::string& path) override;
    int Link(const std::string& from, const std::string& to) override;
    int SyncDirectory(const std::string& path) override;
    int ReadLink(const std::string& path, std::string& target) override;
    std::int64_t NowMs() override;
    void Pause() override;

private:
    struct Failure {
        int nth;
        int error;
    };
    // Counts the call; the injected -errno when this one is to fail, else 0.
    int Injected(Call call);
    int Opened(int fd);
    // How much of a write of `size` bytes the disk takes; 0 when it is full.
    std::size_t Room(std::size_t size) const { return std::min(size, diskSpace_); }

    std::map<Call, Failure> failures_;
    std::map<Call, int> calls_;
    std::size_t diskSpace_ = static_cast<std::size_t>(-1);
    int open_ = 0;
    std::int64_t clockStep_ = 0;
    std::int64_t clock_ = 0;
};

} // namespace tovra::testing
