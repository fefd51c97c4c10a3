#include "records/FileSystem.h"

#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

FileKind KindOf(const struct stat& status)
{
    switch (status.st_mode & S_IFMT) {
    case S_IFREG: return FileKind::Regular;
    case S_IFDIR: return FileKind::Directory;
    case S_IFIFO: return FileKind::Fifo;
    case S_IFSOCK: return FileKind::Socket;
    case S_IFLNK: return FileKind::Link;
    case S_IFCHR: return status.st_rdev == makedev(1, 3) ? FileKind::NullDevice : FileKind::Device;
    case S_IFBLK: return FileKind::Device;
    default: return FileKind::Other;
    }
}

FileStatus StatusFrom(const struct stat& status)
{
    return {KindOf(status), status.st_mode & 07777, status.st_uid,  status.st_gid,
            status.st_dev,  status.st_ino,          status.st_size, status.st_mtim};
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

int PosixFileSystem::Status(int fd, FileStatus& status)
{
    struct stat raw {};
    if (const int result = Result([&] { return ::fstat(fd, &raw); }); result < 0)
        return result;
    status = StatusFrom(raw);
    return 0;
}

int PosixFileSystem::StatusOf(const std::string& path, FileStatus& status)
{
    struct stat raw {};
    if (const int result = Result([&] { return ::stat(path.c_str(), &raw); }); result < 0)
        return result;
    status = StatusFrom(raw);
    return 0;
}

int PosixFileSystem::SetPermissions(int fd, mode_t permissions)
{
    return Result([&] { return ::fchmod(fd, permissions); });
}

int PosixFileSystem::SetOwner(int fd, uid_t owner, gid_t group)
{
    return Result([&] { return ::fchown(fd, owner, group); });
}

int PosixFileSystem::TryLock(int fd)
{
    return Result([&] { return ::flock(fd, LOCK_EX | LOCK_NB); });
}

int PosixFileSystem::Rename(const std::string& from, const std::string& to)
{
    return Result([&] { return ::rename(from.c_str(), to.c_str()); });
}

int PosixFileSystem::Unlink(const std::string& path)
{
    return Result([&] { return ::unlink(path.c_str()); });
}

int PosixFileSystem::Link(const std::string& from, const std::string& to)
{
    return Result([&] { return ::link(from.c_str(), to.c_str()); });
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

std::int64_t PosixFileSystem::NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PosixFileSystem::Pause()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace tovra
