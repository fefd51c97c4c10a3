#include "RunningCopy.h"

#include "core/SplitMix64.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovra {

namespace {
// A token read from the database names a file: only the digits this program makes are used.
bool IsToken(const std::string& token)
{
    if (token.empty() || token.size() > 32)
        return false;
    for (const char c : token) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool SameFile(int fd, const std::string& path)
{
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}
} // namespace

RunningCopy::RunningCopy(std::string databasePath, std::string token)
    : path_(LockPath(databasePath, token))
    , token_(std::move(token))
{
}

RunningCopy::~RunningCopy()
{
    if (fd_ < 0)
        return;
    ::unlink(path_.c_str());
    ::close(fd_);
}

bool RunningCopy::Hold()
{
    if (fd_ >= 0)
        return true;
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // Nobody looks for this token before the lock is held, so nobody else can hold it; the
    // check only guards against a file that vanished under us.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !SameFile(fd, path_)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool RunningCopy::IsRunning(const std::string& databasePath, const std::string& token)
{
    if (!IsToken(token))
        return false;
    const std::string path = LockPath(databasePath, token);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno != ENOENT;
    bool running = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(path.c_str()); // its copy ended without removing it (killed)
    else
        running = true; // held, or the lock cannot be checked: the game is left alone
    ::close(fd);
    return running;
}

std::string RunningCopy::LockPath(const std::string& databasePath, const std::string& token)
{
    return databasePath + "-copy-" + token;
}

std::string RunningCopy::NewToken()
{
    SplitMix64 random = SplitMix64::FromEntropy();
    std::string token(16, '0');
    for (char& c : token)
        c = "0123456789abcdef"[random.Below(16)];
    return token;
}

} // namespace tovra
