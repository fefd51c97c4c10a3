#pragma once
// The few file calls the record file makes, behind an interface so tests can make any of
// them fail. Every call returns a negative errno on failure.
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace tovra {

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
};

// The process-wide POSIX file layer.
FileSystem& SystemFileSystem();

} // namespace tovra
