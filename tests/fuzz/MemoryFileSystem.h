#pragma once
// A file system in memory for the fuzzer: one folder of files, FIFOs, folders and links plus
// the null device, advisory locks per open file, two users, a clock that moves only when
// looked at, and failures on request. A call that fails changes nothing (Close still closes).
#include "records/FileSystem.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tovra::fuzzing {

class MemoryFileSystem : public FileSystem {
public:
    enum Call : std::uint8_t {
        OpenReadWriteCall, OpenReadOnlyCall, CreateExclusiveCall, ReadCall, WriteCall, WriteAtCall, TruncateCall,
        SyncCall, CloseCall, StatusCall, StatusOfCall, SetPermissionsCall, SetOwnerCall, TryLockCall, RenameCall,
        UnlinkCall, LinkCall, SyncDirectoryCall, ReadLinkCall, ListDirectoryCall, CallCount
    };

    MemoryFileSystem();
    // Out of line, where no edges are counted: inlined, its loops would count in every run.
    ~MemoryFileSystem() override;

    // The folder every name lives in.
    static constexpr const char* Folder = "/d";

    // Setting up and looking, outside any copy of the game.
    void PutFile(const std::string& name, std::span<const std::uint8_t> bytes, mode_t mode = 0664);
    void PutNode(const std::string& name, FileKind kind);
    void PutLink(const std::string& name, const std::string& text);
    void Remove(const std::string& name);
    // Kind and bytes of the file a name holds (links not followed); Other when nothing is there.
    FileKind KindAt(const std::string& name) const;
    const std::vector<std::uint8_t>* BytesAt(const std::string& name) const;
    bool HasNameStartingWith(std::string_view prefix) const;
    void RemoveNamesStartingWith(std::string_view prefix);
    bool NullDeviceWritten() const { return nullWritten_; }
    // A folder that refuses new names, renames and removals.
    void SetFolderWritable(bool writable) { folderWritable_ = writable; }
    int OpenDescriptors() const;

    // Who makes the calls: files are created with this owner, who may give away none.
    uid_t user = 1000;
    // The call with this number (counted from 1 over all calls) fails with `failError`, or
    // moves only half its bytes when that is 0 (reads and writes).
    std::uint64_t failAt = 0;
    int failError = 0;
    // Runs once, before the call with this number: the other copy of the game, an intruder.
    std::uint64_t interruptAt = 0;
    std::function<void()> interrupt;
    std::uint64_t CallsMade() const { return calls_; }
    // Calls of each kind that failed as asked, and writes that went to a file in place.
    std::array<std::uint32_t, CallCount> failed{};
    std::uint32_t inPlaceWrites = 0;

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
    int ListDirectory(const std::string& path, std::vector<std::string>& names) override;
    std::int64_t NowMs() override { return clock_ += 1; }
    void Pause() override { clock_ += 50; }

    // Moves the clock on, as a window waiting for events would.
    void Wait(std::int64_t ms) { clock_ += ms; }

private:
    struct Node {
        FileKind kind = FileKind::Regular;
        std::vector<std::uint8_t> bytes;
        std::string linkText;
        mode_t mode = 0664;
        uid_t owner = 0;
        ino_t inode = 0;
        std::int64_t modified = 0;
        int lockedBy = 0; // the open file holding the lock, 0 for none
    };
    struct Entry {
        std::string name; // within the folder
        int node;
    };
    struct OpenFile {
        int node = -1; // -1: closed
        off_t position = 0;
        bool writable = false;
        int id = 0;
    };

    // Counts the call and runs what is due before it: 0, or the -errno it is to fail with
    // (1 for half a transfer).
    int Begin(Call call);
    // Begin for a call on a descriptor: the open file, or nothing with `fault` set to -EBADF
    // (an unknown descriptor, or one not open for writing when `writing`) or to the injected
    // failure. On success `fault` is Begin's 0 or 1.
    OpenFile* BeginOnFile(Call call, int fd, int& fault, bool writing = false);
    // Begin for a call that changes the folder: the entry of `path`, or -ENOENT (no such entry,
    // or a destination outside the folder), -EACCES for a read-only folder, or the injected failure.
    int BeginFolderChange(Call call, const std::string& path, bool destinationInFolder = true);
    // The entry for a name in the folder (or a path there), or -1; the node a path leads to,
    // links followed, or -1.
    int EntryNamed(std::string_view name) const;
    int EntryOf(std::string_view path) const;
    int Follow(std::string_view path) const;
    int NewNode(FileKind kind, mode_t mode);
    int Opened(int node, bool writable);
    OpenFile* FileOf(int fd);
    void Touch(Node& node);
    int Transfer(OpenFile& file, std::size_t size, int fault) const;
    ssize_t WriteBytes(Call call, int fd, const void* buffer, std::size_t size, off_t offset);

    std::vector<Node> nodes_;
    std::vector<Entry> entries_;
    std::vector<OpenFile> files_;
    int nullNode_ = -1;
    int folderNode_ = -1;
    bool folderWritable_ = true;
    bool nullWritten_ = false;
    bool interrupting_ = false;
    std::uint64_t calls_ = 0;
    std::int64_t clock_ = 0;
    int nextOpenId_ = 1;
};

} // namespace tovra::fuzzing
