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

// No write bit at all: the player has marked the file read-only. Root could still open it
// for writing, so the bits themselves are the answer.
bool IsMarkedReadOnly(mode_t permissions)
{
    return (permissions & 0222) == 0;
}

// Enough for any honest chain of links; the kernel gives up after as many.
constexpr int MaxLinkHops = 40;

// The name of the file that `path` stands for: `path` itself unless it is a symbolic link,
// else the link's final target, also when that does not exist yet. Writing goes to the
// target so the link stays a link. 0, or -ELOOP for a chain that does not end.
int ResolveTarget(FileSystem& files, const std::string& path, std::string& target)
{
    std::string text;
    if (files.ReadLink(path, text) < 0) {
        // No link (or nothing there at all): the name is the file.
        target = path;
        return 0;
    }
    if (files.RealPath(path, target) == 0)
        return 0;
    // A dangling link: follow the chain by hand to the name that does not exist yet.
    std::string current = path;
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        current = text.starts_with('/') ? text : DirectoryOf(current) + "/" + text;
        if (files.ReadLink(current, text) < 0) {
            target = current;
            return 0;
        }
    }
    return -ELOOP;
}

// Moves `size` bytes in as many steps as the system needs: step(done) moves some of what is
// left from offset `done` and returns the count, 0, or -errno. Returns 0 when all moved, the
// I/O error code of a failed step, or `stalledCode` when a step moved nothing.
template <class Step>
int MoveAll(std::size_t size, int stalledCode, Step step)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t moved = step(done);
        if (moved == -EINTR)
            continue;
        if (moved < 0)
            return CodeOf(moved);
        if (moved == 0)
            return stalledCode;
        done += static_cast<std::size_t>(moved);
    }
    return 0;
}

// Reads up to bytes.size() bytes; 0 when all arrived, else the I/O error code (100 for a
// short file). The bytes that did arrive are at the start of the buffer either way.
int ReadAll(FileSystem& files, int fd, std::span<std::uint8_t> bytes)
{
    return MoveAll(bytes.size(), IoCode::ReadBeyondEnd,
                   [&](std::size_t done) { return files.Read(fd, bytes.data() + done, bytes.size() - done); });
}

int WriteAll(FileSystem& files, int fd, std::span<const std::uint8_t> bytes)
{
    return MoveAll(bytes.size(), IoCode::DiskFull,
                   [&](std::size_t done) { return files.Write(fd, bytes.data() + done, bytes.size() - done); });
}

int WriteAllAt(FileSystem& files, int fd, std::span<const std::uint8_t> bytes)
{
    return MoveAll(bytes.size(), IoCode::DiskFull, [&](std::size_t done) {
        return files.WriteAt(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    });
}

// Syncs fd to disk unless a step has failed already, then closes it; the first failure's code,
// or 0.
int SyncAndClose(FileSystem& files, int fd, int code)
{
    if (code == 0) {
        if (const int result = files.Sync(fd); result < 0)
            code = CodeOf(result);
    }
    const int closed = files.Close(fd);
    if (code == 0 && closed < 0)
        code = CodeOf(closed);
    return code;
}

// Overwrites the existing file through its own inode, for when the directory refuses a
// replacement but the file itself may be written. Not atomic: a failure throws and may
// leave part of the new table in the file.
void WriteInPlace(FileSystem& files, const std::string& path, const BestTable& table)
{
    const int fd = files.OpenWriteOnly(path);
    if (fd < 0)
        throw IoError(CodeOf(fd));
    int code = WriteAllAt(files, fd, EncodeTable(table));
    if (code == 0) {
        if (const int result = files.Truncate(fd, TableSize); result < 0)
            code = CodeOf(result);
    }
    code = SyncAndClose(files, fd, code);
    if (code != 0)
        throw IoError(code);
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
    code = SyncAndClose(files, fd, code);
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
        // A dangling link: the new file goes where it points, and the link stays.
        std::string target;
        if (const int resolved = ResolveTarget(files, path, target); resolved < 0)
            throw IoError(CodeOf(resolved));
        const int created = files.CreateExclusive(target, 0666);
        if (created < 0)
            throw IoError(CodeOf(created));
        FillNewFile(files, created, target, table, std::nullopt);
        return;
    }
    // Root opens a read-only file all the same; it must still be read-only to the game.
    mode_t permissions = 0;
    if (const int status = files.PermissionsOf(fd, permissions); status < 0 || IsMarkedReadOnly(permissions)) {
        files.Close(fd); // nothing was read or written through it
        table = FreshTable();
        throw IoError(status < 0 ? CodeOf(status) : IoCode::AccessDenied);
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

void ReadBestTable(BestTable& table, const std::string& path, FileSystem& files)
{
    const int fd = files.OpenReadOnly(path);
    if (fd < 0)
        throw IoError(CodeOf(fd));
    std::array<std::uint8_t, TableSize> bytes{};
    int code = ReadAll(files, fd, bytes);
    if (const int closed = files.Close(fd); code == 0 && closed < 0)
        code = CodeOf(closed);
    if (code != 0)
        throw IoError(code);
    table = DecodeTable(bytes);
}

SaveOutcome SaveBestTable(const BestTable& table)
{
    return SaveBestTable(table, RecordFileName);
}

SaveOutcome SaveBestTable(const BestTable& table, const std::string& path, FileSystem& files)
{
    // Through a symbolic link the table goes to the link's target, next to which the
    // temporary file is made.
    std::string target;
    if (const int resolved = ResolveTarget(files, path, target); resolved < 0)
        throw IoError(CodeOf(resolved));

    // Opening the old file for writing (without truncating it) tells whether we may replace
    // it, and gives the permission bits the new one keeps.
    std::optional<mode_t> permissions;
    if (const int existing = files.OpenWriteOnly(target); existing >= 0) {
        mode_t bits = 0;
        const int status = files.PermissionsOf(existing, bits);
        files.Close(existing); // nothing was written through it
        if (status < 0)
            throw IoError(CodeOf(status));
        if (IsMarkedReadOnly(bits))
            return SaveOutcome::Skipped;
        permissions = bits;
    } else if (IsWriteDenied(existing)) {
        return SaveOutcome::Skipped;
    } else if (existing != -ENOENT) {
        throw IoError(CodeOf(existing));
    }

    std::string temporary;
    const int fd = CreateTemporary(files, target, temporary);
    if (fd < 0) {
        if (!IsWriteDenied(fd))
            throw IoError(CodeOf(fd));
        // The directory may not be written. A file that may be is overwritten in place;
        // without one there is nothing we may write.
        if (!permissions)
            return SaveOutcome::Skipped;
        WriteInPlace(files, target, table);
        return SaveOutcome::Saved;
    }
    FillNewFile(files, fd, temporary, table, permissions);
    if (const int renamed = files.Rename(temporary, target); renamed < 0) {
        files.Unlink(temporary);
        // A sticky directory (or a policy) forbids replacing a file we may still write.
        if (permissions && (renamed == -EACCES || renamed == -EPERM)) {
            WriteInPlace(files, target, table);
            return SaveOutcome::Saved;
        }
        throw IoError(CodeOf(renamed));
    }
    // The new file is in place and complete; the directory sync only hardens the rename
    // against a power cut. Its failure cannot be undone and must not report the save as
    // failed, which would have the player believe the old table is still on disk.
    files.SyncDirectory(DirectoryOf(target));
    return SaveOutcome::Saved;
}

} // namespace tovra
