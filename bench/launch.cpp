// tovra_bench_launch PROGRAM [ARGS...]: writes "exec <CLOCK_MONOTONIC ns> <pid>" to stdout, then
// replaces itself with PROGRAM, so the pid stays the same and the start-up time of PROGRAM is
// measured from the line's clock reading.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    // Unbuffered: nothing may be left in a stdio buffer when the image is replaced.
    char line[64];
    const int length = std::snprintf(line, sizeof line, "exec %lld %d\n", ns, static_cast<int>(getpid()));
    if (write(STDOUT_FILENO, line, static_cast<size_t>(length)) != length)
        return 3;
    execv(argv[1], argv + 1);
    std::fprintf(stderr, "cannot run %s: %s\n", argv[1], std::strerror(errno));
    return 127;
}
