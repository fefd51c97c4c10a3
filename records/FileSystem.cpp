#include "records/FileSystem.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tovra {

namespace {
// Runs a system call again while a signal interrupts it; its result, or -errno.
template <class Call>
auto Result(Call call)
{
    for (;;) {
        const auto value = call();
        if (value >= 0)
            return value;
        if (errno != EINTR)
            return static_cast<decltype(value)>(-errno);
    }
}

// O_NONBLOCK only matters for a FIFO or device sitting under the file's name: the open and
// the read then fail instead of hanging the program.
int Open(const std::string& path, int flags)
{
    return Result([&] { return ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); });
}

FileStamp StampFrom(const struct stat& status)
{
    return {status.st_dev, status.st_ino, status.st_size, status.st_mtim, S_ISREG(status.st_mode)};
}

// Long enough for any save of another copy (one fsync), short enough that a stopped copy
// does not freeze this one.
constexpr auto LockPatience = std::chrono::seconds(5);
constexpr auto LockPoll = std::chrono::milliseconds(10);

// Waits for the exclusive lock on fd; 0 or -errno (-EWOULDBLOCK when it took too long).
int WaitForLock(int fd)
{
    const auto giveUp = std::chrono::steady_clock::now() + LockPatience;
    for (;;) {
        const int locked = Result([&] { return ::flock(fd, LOCK_EX | LOCK_NB); });
        if (locked != -EWOULDBLOCK || std::chrono::steady_clock::now() >= giveUp)
            return locked;
        std::this_thread::sleep_for(LockPoll);
    }
}

// The lock file still has this name: another copy may have removed it (and made a new one)
// while we waited for its lock.
bool StillNamed(int fd, const std::string& path)
{
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}
} // namespace

int PosixFileSystem::OpenReadWrite(const std::string& path)
{
    return Open(path, O_RDWR);
}

int PosixFileSystem::OpenReadOnly(const std::string& path)
{
    return Open(path, O_RDONLY);
}

int PosixFileSystem::OpenWriteOnly(const std::string& path)
{
    return Open(path, O_WRONLY);
}

int PosixFileSystem::CreateExclusive(const std::string& path, mode_t mode)
{
    return Result([&] { return ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode); });
}

ssize_t PosixFileSystem::Read(int fd, void* buffer, std::size_t size)
{
    return Result([&] { return ::read(fd, buffer, size); });
}

ssize_t PosixFileSystem::Write(int fd, const void* buffer, std::size_t size)
{
    return Result([&] { return ::write(fd, buffer, size); });
}

ssize_t PosixFileSystem::WriteAt(int fd, const void* buffer, std::size_t size, off_t offset)
{
    return Result([&] { return ::pwrite(fd, buffer, size, offset); });
}

int PosixFileSystem::Truncate(int fd, off_t size)
{
    return Result([&] { return ::ftruncate(fd, size); });
}

int PosixFileSystem::Sync(int fd)
{
    return Result([&] { return ::fsync(fd); });
}

int PosixFileSystem::Close(int fd)
{
    // Linux releases the descriptor even when close reports an error, so never retry it; an
    // interrupted close has closed it all the same.
    const int closed = ::close(fd);
    return closed < 0 && errno != EINTR ? -errno : 0;
}

int PosixFileSystem::PermissionsOf(int fd, mode_t& permissions)
{
    struct stat status {};
    if (const int result = Result([&] { return ::fstat(fd, &status); }); result < 0)
        return result;
    permissions = status.st_mode & 0777;
    return 0;
}

int PosixFileSystem::SetPermissions(int fd, mode_t permissions)
{
    return Result([&] { return ::fchmod(fd, permissions); });
}

int PosixFileSystem::Rename(const std::string& from, const std::string& to)
{
    return Result([&] { return ::rename(from.c_str(), to.c_str()); });
}

int PosixFileSystem::Unlink(const std::string& path)
{
    return Result([&] { return ::unlink(path.c_str()); });
}

int PosixFileSystem::SyncDirectory(const std::string& path)
{
    const int fd = Result([&] { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0)
        return fd;
    const int synced = Result([&] { return ::fsync(fd); });
    ::close(fd);
    return synced;
}

int PosixFileSystem::RealPath(const std::string& path, std::string& resolved)
{
    char* name = ::realpath(path.c_str(), nullptr);
    if (!name)
        return -errno;
    resolved = name;
    std::free(name);
    return 0;
}

int PosixFileSystem::ReadLink(const std::string& path, std::string& target)
{
    // readlink gives no length: grow the buffer until the text fits with room to spare.
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return -errno;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            target.assign(buffer.data(), static_cast<std::size_t>(length));
            return 0;
        }
        buffer.resize(buffer.size() * 2);
    }
}

int PosixFileSystem::Link(const std::string& from, const std::string& to)
{
    return Result([&] { return ::link(from.c_str(), to.c_str()); });
}

int PosixFileSystem::StampOf(const std::string& path, FileStamp& stamp)
{
    struct stat status {};
    if (const int result = Result([&] { return ::lstat(path.c_str(), &status); }); result < 0)
        return result;
    stamp = StampFrom(status);
    return 0;
}

int PosixFileSystem::ListDirectory(const std::string& path, std::vector<std::string>& names)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(path.c_str()), ::closedir);
    if (!directory)
        return -errno;
    names.clear();
    errno = 0;
    while (const dirent* entry = ::readdir(directory.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return errno != 0 ? -errno : 0;
}

int PosixFileSystem::Lock(const std::string& path, const std::string& directory)
{
    for (;;) {
        const int fd = Result([&] { return ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666); });
        if (fd == -EACCES || fd == -EPERM || fd == -EROFS) {
            // No lock file can be made here, by any copy: they all lock the directory instead.
            const int dir = Open(directory, O_RDONLY | O_DIRECTORY);
            if (dir < 0)
                return dir;
            if (const int locked = WaitForLock(dir); locked < 0) {
                ::close(dir);
                return locked;
            }
            return dir;
        }
        if (fd < 0)
            return fd;
        if (const int locked = WaitForLock(fd); locked < 0) {
            ::close(fd);
            return locked;
        }
        if (StillNamed(fd, path))
            return fd;
        ::close(fd); // the copy before us removed this one: lock the lock file of now
    }
}

void PosixFileSystem::Unlock(int lock, const std::string& path)
{
    // Removed while still held, so a copy waiting on it finds it gone and starts again.
    struct stat held {};
    if (::fstat(lock, &held) == 0 && S_ISREG(held.st_mode) && StillNamed(lock, path))
        ::unlink(path.c_str());
    ::close(lock);
}

FileSystem& SystemFileSystem()
{
    static PosixFileSystem files;
    return files;
}

} // namespace tovra
