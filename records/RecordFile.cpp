#include "records/RecordFile.h"

#include <cerrno>
#include <optional>
#include <random>
#include <span>

namespace tovra {

namespace {
int CodeOf(long negativeErrno)
{
    return IoCodeFromErrno(static_cast<int>(-negativeErrno));
}

// The file or its directory may not be written: a save then has nothing to report.
bool IsWriteDenied(int negativeErrno)
{
    return negativeErrno == -EACCES || negativeErrno == -EPERM || negativeErrno == -EROFS;
}

std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Reads up to bytes.size() bytes; 0 when all arrived, else the I/O error code. The bytes
// that did arrive are at the start of the buffer either way.
int ReadAll(FileSystem& files, int fd, std::span<std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = files.Read(fd, bytes.data() + done, bytes.size() - done);
        if (got == -EINTR)
            continue;
        if (got < 0)
            return CodeOf(got);
        if (got == 0)
            return IoCode::ReadBeyondEnd;
        done += static_cast<std::size_t>(got);
    }
    return 0;
}

int WriteAll(FileSystem& files, int fd, std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = files.Write(fd, bytes.data() + done, bytes.size() - done);
        if (put == -EINTR)
            continue;
        if (put < 0)
            return CodeOf(put);
        if (put == 0)
            return IoCode::DiskFull;
        done += static_cast<std::size_t>(put);
    }
    return 0;
}

// Fills a file we have just created, open as fd, and closes it. On any failure the file is
// removed again, so no half-written file is left behind, and the error is thrown.
void FillNewFile(FileSystem& files, int fd, const std::string& path, const BestTable& table,
                 std::optional<mode_t> permissions)
{
    int code = 0;
    if (permissions) {
        if (const int result = files.SetPermissions(fd, *permissions); result < 0)
            code = CodeOf(result);
    }
    if (code == 0)
        code = WriteAll(files, fd, EncodeTable(table));
    if (code == 0) {
        if (const int result = files.Sync(fd); result < 0)
            code = CodeOf(result);
    }
    const int closed = files.Close(fd);
    if (code == 0 && closed < 0)
        code = CodeOf(closed);
    if (code != 0) {
        files.Unlink(path);
        throw IoError(code);
    }
}

// Creates "<path>.XXXXXX" with a fresh random suffix; the descriptor or -errno.
int CreateTemporary(FileSystem& files, const std::string& path, std::string& temporary)
{
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937_64 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof Letters - 2);
    int fd = -EEXIST;
    for (int attempt = 0; attempt < 100 && fd == -EEXIST; ++attempt) {
        temporary = path + ".";
        for (int i = 0; i < 6; ++i)
            temporary += Letters[pick(random)];
        fd = files.CreateExclusive(temporary, 0666);
    }
    return fd;
}
} // namespace

void LoadBestTable(BestTable& table)
{
    LoadBestTable(table, RecordFileName);
}

void LoadBestTable(BestTable& table, const std::string& path, FileSystem& files)
{
    const int fd = files.OpenReadWrite(path);
    if (fd < 0) {
        table = FreshTable();
        // Only a missing file is created: a file that exists but will not open (read-only,
        // unreadable, too many open files) keeps its games for a later run.
        if (fd != -ENOENT)
            throw IoError(CodeOf(fd));
        const int created = files.CreateExclusive(path, 0666);
        if (created < 0)
            throw IoError(CodeOf(created));
        FillNewFile(files, created, path, table, std::nullopt);
        return;
    }
    std::array<std::uint8_t, TableSize> bytes{};
    const int code = ReadAll(files, fd, bytes);
    table = DecodeTable(bytes);
    if (code != 0) {
        files.Close(fd);
        throw IoError(code);
    }
    if (const int closed = files.Close(fd); closed < 0)
        throw IoError(CodeOf(closed));
}

SaveOutcome SaveBestTable(const BestTable& table)
{
    return SaveBestTable(table, RecordFileName);
}

SaveOutcome SaveBestTable(const BestTable& table, const std::string& path, FileSystem& files)
{
    // Opening the old file for writing (without truncating it) tells whether we may replace
    // it, and gives the permission bits the new one keeps.
    std::optional<mode_t> permissions;
    if (const int existing = files.OpenWriteOnly(path); existing >= 0) {
        mode_t bits = 0;
        const int status = files.PermissionsOf(existing, bits);
        files.Close(existing); // nothing was written through it
        if (status < 0)
            throw IoError(CodeOf(status));
        permissions = bits;
    } else if (IsWriteDenied(existing)) {
        return SaveOutcome::Skipped;
    } else if (existing != -ENOENT) {
        throw IoError(CodeOf(existing));
    }

    std::string temporary;
    const int fd = CreateTemporary(files, path, temporary);
    if (fd < 0) {
        if (IsWriteDenied(fd))
            return SaveOutcome::Skipped;
        throw IoError(CodeOf(fd));
    }
    FillNewFile(files, fd, temporary, table, permissions);
    if (const int renamed = files.Rename(temporary, path); renamed < 0) {
        files.Unlink(temporary);
        throw IoError(CodeOf(renamed));
    }
    // The new file is in place; the directory sync only hardens the rename against a power
    // cut. A directory we may not open for reading, or a file system without directory sync,
    // is no failure of the save.
    if (const int synced = files.SyncDirectory(DirectoryOf(path));
        synced < 0 && synced != -EACCES && synced != -EINVAL)
        throw IoError(CodeOf(synced));
    return SaveOutcome::Saved;
}

} // namespace tovra
