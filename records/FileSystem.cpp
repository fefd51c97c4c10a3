#include "records/FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tovra {

namespace {
int Result(int value)
{
    return value < 0 ? -errno : value;
}

ssize_t Result(ssize_t value)
{
    return value < 0 ? -errno : value;
}

// O_NONBLOCK only matters for a FIFO or device sitting under the file's name: the open and
// the read then fail instead of hanging the program.
int Open(const std::string& path, int flags)
{
    return Result(::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
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
    return Result(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
}

ssize_t PosixFileSystem::Read(int fd, void* buffer, std::size_t size)
{
    return Result(::read(fd, buffer, size));
}

ssize_t PosixFileSystem::Write(int fd, const void* buffer, std::size_t size)
{
    return Result(::write(fd, buffer, size));
}

ssize_t PosixFileSystem::WriteAt(int fd, const void* buffer, std::size_t size, off_t offset)
{
    return Result(::pwrite(fd, buffer, size, offset));
}

int PosixFileSystem::Truncate(int fd, off_t size)
{
    return Result(::ftruncate(fd, size));
}

int PosixFileSystem::Sync(int fd)
{
    return Result(::fsync(fd));
}

int PosixFileSystem::Close(int fd)
{
    // Linux releases the descriptor even when close reports an error, so never retry it.
    return Result(::close(fd));
}

int PosixFileSystem::PermissionsOf(int fd, mode_t& permissions)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return -errno;
    permissions = status.st_mode & 0777;
    return 0;
}

int PosixFileSystem::SetPermissions(int fd, mode_t permissions)
{
    return Result(::fchmod(fd, permissions));
}

int PosixFileSystem::Rename(const std::string& from, const std::string& to)
{
    return Result(::rename(from.c_str(), to.c_str()));
}

int PosixFileSystem::Unlink(const std::string& path)
{
    return Result(::unlink(path.c_str()));
}

int PosixFileSystem::SyncDirectory(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    const int synced = Result(::fsync(fd));
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

FileSystem& SystemFileSystem()
{
    static PosixFileSystem files;
    return files;
}

} // namespace tovra
