#include "TestFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tovra::testing {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "tovra-records-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed: " + std::string(std::strerror(errno)));
    dir_ = pattern;
}

TempDir::~TempDir()
{
    // Tests take permissions away; give them back so everything can go.
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const auto& entry : fs::recursive_directory_iterator(dir_, ignored))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
}

std::vector<std::string> TempDir::EntriesOf(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

Bytes PatternBytes(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251 + 1);
    return bytes;
}

Bytes TableBytes(const BestTable& table)
{
    const auto image = EncodeTable(table);
    return Bytes(image.begin(), image.end());
}

unsigned PermissionsOf(const std::string& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        throw std::runtime_error("cannot stat " + path);
    return status.st_mode & 07777;
}

void SetMode(const std::string& path, unsigned mode)
{
    if (chmod(path.c_str(), mode) != 0)
        throw std::runtime_error("cannot chmod " + path);
}

BestRecord FinishedGame(const std::string& name, int score)
{
    BestRecord record;
    SetRecordName(record, name);
    record.Score = static_cast<std::uint8_t>(score);
    record.SetDate(45000.0);
    record.SetSchemeAt(1, 1, 1);
    return record;
}

BestTable TableOf(const std::vector<BestRecord>& games)
{
    BestTable table = FreshTable();
    for (std::size_t i = 0; i < games.size(); ++i)
        table.Records[i] = games[i];
    return table;
}

SaveOutcome Finish(RecordFile& file, BestTable& table, const BestRecord& game)
{
    const int rank = InsertPosition(table, game.Score);
    if (rank == 0)
        return SaveOutcome::NoLongerRanks;
    InsertRecord(table, rank, game);
    return file.Save(table, game);
}

namespace {
void Report(ChildReport& report, const char* what)
{
    std::snprintf(report.failure, sizeof report.failure, "%s (%s)", what, std::strerror(errno));
}

bool BecomePlayer(ChildReport& report)
{
    if (geteuid() != 0)
        return true;
    constexpr uid_t Nobody = 65534;
    if (setgroups(0, nullptr) != 0 || setresgid(Nobody, Nobody, Nobody) != 0 ||
        setresuid(Nobody, Nobody, Nobody) != 0) {
        Report(report, "cannot drop root privileges");
        return false;
    }
    return true;
}
} // namespace

ChildReport RunAsPlayer(const std::function<void(ChildReport&)>& operation)
{
    int channel[2];
    if (pipe(channel) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        close(channel[0]);
        ChildReport report;
        if (BecomePlayer(report)) {
            try {
                operation(report);
            } catch (const std::exception& error) {
                std::snprintf(report.failure, sizeof report.failure, "unexpected exception: %s", error.what());
            }
        }
        const auto* data = reinterpret_cast<const char*>(&report);
        std::size_t sent = 0;
        while (sent < sizeof report) {
            const ssize_t n = write(channel[1], data + sent, sizeof report - sent);
            if (n <= 0)
                _exit(2);
            sent += static_cast<std::size_t>(n);
        }
        _exit(0); // no atexit handlers or leak checks of the parent's state
    }
    close(channel[1]);
    ChildReport report;
    auto* data = reinterpret_cast<char*>(&report);
    std::size_t received = 0;
    while (received < sizeof report) {
        const ssize_t n = read(channel[0], data + received, sizeof report - received);
        if (n <= 0)
            break;
        received += static_cast<std::size_t>(n);
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (received != sizeof report || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::snprintf(report.failure, sizeof report.failure, "child process failed (status %d)", status);
    return report;
}

ChildReport RunAs(Runner runner, const std::function<void(ChildReport&)>& operation)
{
    if (runner == Runner::Player)
        return RunAsPlayer(operation);
    ChildReport report;
    operation(report);
    return report;
}

int FaultyFileSystem::Calls(Call call) const
{
    const auto found = calls_.find(call);
    return found == calls_.end() ? 0 : found->second;
}

int FaultyFileSystem::Injected(Call call)
{
    const int count = ++calls_[call];
    if (beforeCall)
        beforeCall(call, count);
    const auto found = failures_.find(call);
    return found != failures_.end() && found->second.nth == count ? -found->second.error : 0;
}

int FaultyFileSystem::Opened(int fd)
{
    if (fd >= 0)
        ++open_;
    return fd;
}

// A call that fails as asked, or goes to the real file system.
#define TOVRA_FAULTY(call, ...)                                                                                       \
    if (const int error = Injected(Call::call))                                                                      \
        return error;                                                                                                \
    return PosixFileSystem::call(__VA_ARGS__)

int FaultyFileSystem::OpenReadWrite(const std::string& path)
{
    if (const int error = Injected(Call::OpenReadWrite))
        return error;
    return Opened(PosixFileSystem::OpenReadWrite(path));
}

int FaultyFileSystem::OpenReadOnly(const std::string& path)
{
    if (const int error = Injected(Call::OpenReadOnly))
        return error;
    return Opened(PosixFileSystem::OpenReadOnly(path));
}

int FaultyFileSystem::CreateExclusive(const std::string& path, mode_t mode)
{
    if (const int error = Injected(Call::CreateExclusive))
        return error;
    return Opened(PosixFileSystem::CreateExclusive(path, mode));
}

ssize_t FaultyFileSystem::Read(int fd, void* buffer, std::size_t size) { TOVRA_FAULTY(Read, fd, buffer, size); }

ssize_t FaultyFileSystem::Write(int fd, const void* buffer, std::size_t size)
{
    if (const int error = Injected(Call::Write))
        return error;
    if (Room(size) == 0)
        return -ENOSPC;
    const ssize_t written = PosixFileSystem::Write(fd, buffer, Room(size));
    if (written > 0)
        diskSpace_ -= static_cast<std::size_t>(written);
    return written;
}

ssize_t FaultyFileSystem::WriteAt(int fd, const void* buffer, std::size_t size, off_t offset)
{
    if (const int error = Injected(Call::WriteAt))
        return error;
    if (Room(size) == 0)
        return -ENOSPC;
    const ssize_t written = PosixFileSystem::WriteAt(fd, buffer, Room(size), offset);
    if (written > 0)
        diskSpace_ -= static_cast<std::size_t>(written);
    return written;
}

int FaultyFileSystem::Truncate(int fd, off_t size) { TOVRA_FAULTY(Truncate, fd, size); }
int FaultyFileSystem::Sync(int fd) { TOVRA_FAULTY(Sync, fd); }

int FaultyFileSystem::Close(int fd)
{
    --open_;
    const int error = Injected(Call::Close);
    const int closed = PosixFileSystem::Close(fd);
    return error ? error : closed;
}

int FaultyFileSystem::Status(int fd, FileStatus& status) { TOVRA_FAULTY(Status, fd, status); }
int FaultyFileSystem::StatusOf(const std::string& path, FileStatus& status) { TOVRA_FAULTY(StatusOf, path, status); }
int FaultyFileSystem::SetPermissions(int fd, mode_t permissions) { TOVRA_FAULTY(SetPermissions, fd, permissions); }
int FaultyFileSystem::SetOwner(int fd, uid_t owner, gid_t group) { TOVRA_FAULTY(SetOwner, fd, owner, group); }
int FaultyFileSystem::TryLock(int fd) { TOVRA_FAULTY(TryLock, fd); }
int FaultyFileSystem::Rename(const std::string& from, const std::string& to) { TOVRA_FAULTY(Rename, from, to); }
int FaultyFileSystem::Unlink(const std::string& path) { TOVRA_FAULTY(Unlink, path); }
int FaultyFileSystem::Link(const std::string& from, const std::string& to) { TOVRA_FAULTY(Link, from, to); }
int FaultyFileSystem::SyncDirectory(const std::string& path) { TOVRA_FAULTY(SyncDirectory, path); }
int FaultyFileSystem::ReadLink(const std::string& path, std::string& target) { TOVRA_FAULTY(ReadLink, path, target); }

#undef TOVRA_FAULTY

std::int64_t FaultyFileSystem::NowMs()
{
    return clockStep_ == 0 ? PosixFileSystem::NowMs() : clock_ += clockStep_;
}

void FaultyFileSystem::Pause()
{
    if (clockStep_ == 0)
        PosixFileSystem::Pause();
}

} // namespace tovra::testing
