#pragma once
// The few file calls the record file makes, behind an interface so tests can make any of
// them fail and the fuzzer can run whole saves in memory. Every call returns a negative errno
// on failure; an interrupted call (EINTR) is retried inside, never reported.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace tovra {

enum class FileKind { Regular, Directory, Fifo, Socket, Device, NullDevice, Link, Other };

// What fstat or stat says of a file, as far as the record file cares.
struct FileStatus {
    FileKind kind = FileKind::Other;
    mode_t permissions = 0; // 07777
    uid_t owner = 0;
    gid_t group = 0;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool SameFile(const FileStatus& other) const { return device == other.device && inode == other.inode; }
    // Tells one version of a file from the next without reading it.
    bool SameVersion(const FileStatus& other) const
    {
        return SameFile(other) && size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Opens an existing file, links followed; a descriptor or -errno. Neither call creates
    // nor truncates, and neither waits on a FIFO.
    virtual int OpenReadWrite(const std::string& path) = 0;
    virtual int OpenReadOnly(const std::string& path) = 0;
    // Creates a file that must not exist yet (mode filtered by the umask), open read-write.
    virtual int CreateExclusive(const std::string& path, mode_t mode) = 0;
    // Bytes transferred (possibly fewer than asked, 0 at end of file) or -errno.
    virtual ssize_t Read(int fd, void* buffer, std::size_t size) = 0;
    virtual ssize_t Write(int fd, const void* buffer, std::size_t size) = 0;
    // Writes at an offset, leaving the file position alone.
    virtual ssize_t WriteAt(int fd, const void* buffer, std::size_t size, off_t offset) = 0;
    virtual int Truncate(int fd, off_t size) = 0;
    virtual int Sync(int fd) = 0;
    // Releases the descriptor, and a lock taken through it, even when it reports an error.
    virtual int Close(int fd) = 0;
    virtual int Status(int fd, FileStatus& status) = 0;
    // The file a name stands for now, links followed.
    virtual int StatusOf(const std::string& path, FileStatus& status) = 0;
    virtual int SetPermissions(int fd, mode_t permissions) = 0;
    virtual int SetOwner(int fd, uid_t owner, gid_t group) = 0;
    // The exclusive advisory lock that every copy of the game takes on the file it writes,
    // without waiting: 0, -EWOULDBLOCK while another holds it, or -errno.
    virtual int TryLock(int fd) = 0;
    virtual int Rename(const std::string& from, const std::string& to) = 0;
    virtual int Unlink(const std::string& path) = 0;
    // A second name for a file; -EEXIST when `to` exists, which is never replaced.
    virtual int Link(const std::string& from, const std::string& to) = 0;
    // Makes a rename inside the directory durable.
    virtual int SyncDirectory(const std::string& path) = 0;
    // The text a symbolic link holds; -EINVAL when the name is no link.
    virtual int ReadLink(const std::string& path, std::string& target) = 0;
    // Names in a directory, without "." and "..".
    virtual int ListDirectory(const std::string& path, std::vector<std::string>& names) = 0;
    // Milliseconds on a clock that only goes forward, and a short pause for a lock to free.
    virtual std::int64_t NowMs() = 0;
    virtual void Pause() = 0;
};

class PosixFileSystem : public FileSystem {
public:
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
    std::int64_t NowMs() override;
    void Pause() override;
};

} // namespace tovra
