// A library planted in the folder the game starts in, under the name of one the game needs. If
// the loader ever picks it up, its constructor leaves a file behind for the test to find.
#include <fcntl.h>
#include <unistd.h>

namespace {
__attribute__((constructor)) void LeaveMark()
{
    const int fd = ::open("planted-library-ran", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0)
        ::close(fd);
}
} // namespace
