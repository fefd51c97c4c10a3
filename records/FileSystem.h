#pragma once
// The few file calls the record file makes, behind an interface so tests can make any of
// them fail. Every call returns a negative errno on failure; an interrupted call (EINTR) is
// retried inside, never reported.
#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace tovra {

// What tells one version of a file from the next without reading it.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    bool regular = false;

    friend bool operator==(const FileStamp& a, const FileStamp& b)
    {
        return a.device == b.device && a.inode == b.inode && a.size == b.size &&
               a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec &&
               a.regular == b.regular;
    }
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Opens an existing file; a descriptor or -errno. Neither call creates nor truncates,
    // and neither waits on a FIFO.
    virtual int OpenReadWrite(const std::string& path) = 0;
    virtual int OpenReadOnly(const std::string& path) = 0;
    virtual int OpenWriteOnly(const std::string& path) = 0;
    // Creates a file that must not exist yet (mode filtered by the umask), open read-write.
    virtual int CreateExclusive(const std::string& path, mode_t mode) = 0;
    // Bytes transferred (possibly fewer than asked, 0 at end of file) or -errno.
    virtual ssize_t Read(int fd, void* buffer, std::size_t size) = 0;
    virtual ssize_t Write(int fd, const void* buffer, std::size_t size) = 0;
    // Writes at an offset, leaving the file position alone.
    virtual ssize_t WriteAt(int fd, const void* buffer, std::size_t size, off_t offset) = 0;
    virtual int Truncate(int fd, off_t size) = 0;
    virtual int Sync(int fd) = 0;
    // Releases the descriptor even when it reports an error.
    virtual int Close(int fd) = 0;
    // Read, write and execute bits (0777) of an open file.
    virtual int PermissionsOf(int fd, mode_t& permissions) = 0;
    virtual int SetPermissions(int fd, mode_t permissions) = 0;
    virtual int Rename(const std::string& from, const std::string& to) = 0;
    virtual int Unlink(const std::string& path) = 0;
    // Makes a rename inside the directory durable.
    virtual int SyncDirectory(const std::string& path) = 0;
    // The absolute name with every link resolved; fails unless the final file exists.
    virtual int RealPath(const std::string& path, std::string& resolved) = 0;
    // The text a symbolic link holds; -EINVAL when the name is no link.
    virtual int ReadLink(const std::string& path, std::string& target) = 0;
    // A second name for a file; -EEXIST when `to` exists, which is never replaced.
    virtual int Link(const std::string& from, const std::string& to) = 0;
    // The entry itself, a symbolic link not followed.
    virtual int StampOf(const std::string& path, FileStamp& stamp) = 0;
    // Names in a directory, without "." and "..".
    virtual int ListDirectory(const std::string& path, std::vector<std::string>& names) = 0;
    // Takes the exclusive advisory lock that every copy of the game honours, on the lock file
    // `path` (created when missing), or on `directory` itself where no lock file can be
    // made. Waits a few seconds at most for another copy's save; -EWOULDBLOCK when it takes
    // longer. A descriptor for Unlock, or -errno.
    virtual int Lock(const std::string& path, const std::string& directory) = 0;
    // Releases the lock and removes the lock file, so none is left behind.
    virtual void Unlock(int lock, const std::string& path) = 0;
};

class PosixFileSystem : public FileSystem {
public:
    int OpenReadWrite(const std::string& path) override;
    int OpenReadOnly(const std::string& path) override;
    int OpenWriteOnly(const std::string& path) override;
    int CreateExclusive(const std::string& path, mode_t mode) override;
    ssize_t Read(int fd, void* buffer, std::size_t size) override;
    ssize_t Write(int fd, const void* buffer, std::size_t size) override;
    ssize_t WriteAt(int fd, const void* buffer, std::size_t size, off_t offset) override;
    int Truncate(int fd, off_t size) override;
    int Sync(int fd) override;
    int Close(int fd) override;
    int PermissionsOf(int fd, mode_t& permissions) override;
    int SetPermissions(int fd, mode_t permissions) override;
    int Rename(const std::string& from, const std::string& to) override;
    int Unlink(const std::string& path) override;
    int SyncDirectory(const std::string& path) override;
    int RealPath(const std::string& path, std::string& resolved) override;
    int ReadLink(const std::string& path, std::string& target) override;
    int Link(const std::string& from, const std::string& to) override;
    int StampOf(const std::string& path, FileStamp& stamp) override;
    int ListDirectory(const std::string& path, std::vector<std::string>& names) override;
    int Lock(const std::string& path, const std::string& directory) override;
    void Unlock(int lock, const std::string& path) override;
};

// The process-wide POSIX file layer.
FileSystem& SystemFileSystem();

} // namespace tovra
