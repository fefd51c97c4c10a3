#include "records/RecordFile.h"

#include <algorithm>
#include <cerrno>
#include <random>
#include <span>

namespace tovra {

namespace {
// A step's status: 0, the -errno of a failed system call, or a code of the table (100, 101,
// or 5 for a file marked read-only).
[[noreturn]] void Raise(int status)
{
    if (status < 0)
        throw IoError::FromErrno(-status);
    throw IoError(status);
}

// The file or its directory may not be written: a save then has nothing to report.
bool IsWriteDenied(int status)
{
    return status == -EACCES || status == -EPERM || status == -EROFS;
}

std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// No write bit at all: the player has marked the file read-only. Root could still open it
// for writing, so the bits themselves are the answer.
bool IsMarkedReadOnly(mode_t permissions)
{
    return (permissions & 0222) == 0;
}

using Bytes = std::vector<std::uint8_t>;

Bytes ImageOf(const BestTable& table)
{
    const auto image = EncodeTable(table);
    return Bytes(image.begin(), image.end());
}

// The table of a file's first bytes; zero records past the end of a short file.
BestTable TableFrom(const Bytes& bytes)
{
    std::array<std::uint8_t, TableSize> image{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), TableSize), image.begin());
    return DecodeTable(image);
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

std::string TargetOf(FileSystem& files, const std::string& path)
{
    std::string target;
    if (const int resolved = ResolveTarget(files, path, target); resolved < 0)
        Raise(resolved);
    return target;
}

// Moves `size` bytes in as many steps as the system needs: step(done) moves some of what is
// left from offset `done` and returns the count, 0, or -errno. Returns 0 when all moved, the
// failed step's status, or `stalledCode` when a step moved nothing; `done` says how far it got.
template <class Step>
int MoveAll(std::size_t size, int stalledCode, std::size_t& done, Step step)
{
    done = 0;
    while (done < size) {
        const ssize_t moved = step(done);
        if (moved < 0)
            return static_cast<int>(moved);
        if (moved == 0)
            return stalledCode;
        done += static_cast<std::size_t>(moved);
    }
    return 0;
}

// Reads up to bytes.size() bytes; 0 when all arrived, else the status (100 for a short
// file). The `got` bytes that did arrive are at the start of the buffer either way.
int ReadAll(FileSystem& files, int fd, std::span<std::uint8_t> bytes, std::size_t& got)
{
    return MoveAll(bytes.size(), IoCode::ReadBeyondEnd, got,
                   [&](std::size_t done) { return files.Read(fd, bytes.data() + done, bytes.size() - done); });
}

int WriteAll(FileSystem& files, int fd, std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    return MoveAll(bytes.size(), IoCode::DiskFull, done,
                   [&](std::size_t from) { return files.Write(fd, bytes.data() + from, bytes.size() - from); });
}

int WriteAllAt(FileSystem& files, int fd, std::span<const std::uint8_t> bytes)
{
    std::size_t done = 0;
    return MoveAll(bytes.size(), IoCode::DiskFull, done, [&](std::size_t from) {
        return files.WriteAt(fd, bytes.data() + from, bytes.size() - from, static_cast<off_t>(from));
    });
}

// Syncs fd to disk unless a step has failed already, then closes it; the first failure's
// status, or 0.
int SyncAndClose(FileSystem& files, int fd, int status)
{
    if (status == 0)
        status = std::min(files.Sync(fd), 0);
    const int closed = files.Close(fd);
    return status == 0 ? std::min(closed, 0) : status;
}

// What reading the file gave: its first 2,880 bytes, or as many as it has.
struct FileImage {
    int status = 0;      // 0, 100 for a short file, or what failed
    bool opened = false; // false: it would not open, or it is marked read-only
    Bytes bytes;         // what arrived

    // The whole content (a short file is all there is), whatever the close said.
    bool Complete() const { return opened && (bytes.size() == TableSize || status == IoCode::ReadBeyondEnd); }
};

FileImage ReadImage(FileSystem& files, const std::string& path)
{
    FileImage image;
    const int fd = files.OpenReadWrite(path);
    if (fd < 0) {
        image.status = fd;
        return image;
    }
    // Root opens a read-only file all the same; it must still be read-only to the game.
    mode_t permissions = 0;
    if (const int status = files.PermissionsOf(fd, permissions); status < 0 || IsMarkedReadOnly(permissions)) {
        files.Close(fd); // nothing was read or written through it
        image.status = status < 0 ? status : IoCode::AccessDenied;
        return image;
    }
    image.opened = true;
    std::array<std::uint8_t, TableSize> buffer{};
    std::size_t got = 0;
    image.status = ReadAll(files, fd, buffer, got);
    image.bytes.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
    const int closed = files.Close(fd);
    if (image.status == 0)
        image.status = std::min(closed, 0);
    return image;
}

// Overwrites the existing file through its own inode, for when the directory refuses a
// replacement but the file itself may be written. Not atomic: a failure throws and may
// leave part of the new table in the file.
void WriteInPlace(FileSystem& files, const std::string& path, const BestTable& table)
{
    const int fd = files.OpenWriteOnly(path);
    if (fd < 0)
        Raise(fd);
    int status = WriteAllAt(files, fd, EncodeTable(table));
    if (status == 0)
        status = std::min(files.Truncate(fd, TableSize), 0);
    if (const int closed = SyncAndClose(files, fd, status); closed != 0)
        Raise(closed);
}

// Fills a file we have just created, open as fd, and closes it. On any failure the file is
// removed again, so no half-written file is left behind, and the error is thrown.
void FillNewFile(FileSystem& files, int fd, const std::string& path, const BestTable& table,
                 std::optional<mode_t> permissions)
{
    int status = 0;
    if (permissions)
        status = std::min(files.SetPermissions(fd, *permissions), 0);
    if (status == 0)
        status = WriteAll(files, fd, EncodeTable(table));
    status = SyncAndClose(files, fd, status);
    if (status != 0) {
        files.Unlink(path);
        Raise(status);
    }
}

constexpr char TemporaryLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::size_t TemporarySuffixSize = 6;

// Creates "<path>.XXXXXX" with a fresh random suffix; the descriptor or -errno. The first
// letter is a capital or a digit, so a suffix is never a word such as "backup".
int CreateTemporary(FileSystem& files, const std::string& path, std::string& temporary)
{
    static std::mt19937_64 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> first(0, 35);
    std::uniform_int_distribution<std::size_t> any(0, sizeof TemporaryLetters - 2);
    int fd = -EEXIST;
    for (int attempt = 0; attempt < 100 && fd == -EEXIST; ++attempt) {
        temporary = path + "." + TemporaryLetters[first(random)];
        for (std::size_t i = 1; i < TemporarySuffixSize; ++i)
            temporary += TemporaryLetters[any(random)];
        fd = files.CreateExclusive(temporary, 0666);
    }
    return fd;
}

// A temporary file of a save that never finished: "<name>." and six letters or digits.
// Six lower-case letters make a word ("backup"), which is a player's copy, not ours.
bool IsTemporaryName(const std::string& entry, const std::string& name)
{
    if (entry.size() != name.size() + 1 + TemporarySuffixSize || !entry.starts_with(name + "."))
        return false;
    const std::string suffix = entry.substr(name.size() + 1);
    // ASCII only, whatever the locale says of other bytes.
    const auto isLower = [](char c) { return c >= 'a' && c <= 'z'; };
    const auto isOurs = [&](char c) { return isLower(c) || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    return std::all_of(suffix.begin(), suffix.end(), isOurs) && !std::all_of(suffix.begin(), suffix.end(), isLower);
}

// Under the lock no other save is in flight, so every temporary file next to the target is
// left over from a copy killed while saving. Only regular files of a table's size at most.
void RemoveLeftoverTemporaries(FileSystem& files, const std::string& target)
{
    const std::string directory = DirectoryOf(target);
    const std::string name = FileNameOf(target);
    std::vector<std::string> entries;
    if (files.ListDirectory(directory, entries) < 0)
        return;
    for (const std::string& entry : entries) {
        if (!IsTemporaryName(entry, name))
            continue;
        const std::string path = directory + "/" + entry;
        FileStamp stamp;
        if (files.StampOf(path, stamp) == 0 && stamp.regular && stamp.size <= static_cast<off_t>(TableSize))
            files.Unlink(path);
    }
}

// The lock that every copy of the game takes around writing the file, held while it lives.
// Where the system offers no lock at all the write goes ahead without it (as before there
// was one); a copy that keeps the lock for seconds is an error, not a reason to wait on.
class WriteLock {
public:
    WriteLock(FileSystem& files, const std::string& target)
        : files_(files), path_(target + ".lock"), fd_(files.Lock(path_, DirectoryOf(target)))
    {
        if (fd_ == -EWOULDBLOCK)
            Raise(fd_);
        if (fd_ >= 0)
            RemoveLeftoverTemporaries(files, target);
    }
    ~WriteLock()
    {
        if (fd_ >= 0)
            files_.Unlock(fd_, path_);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    FileSystem& files_;
    std::string path_;
    int fd_;
};

// Links that this file system does not have.
bool IsNoLinkHere(int status)
{
    return status == -EPERM || status == -ENOTSUP || status == -EOPNOTSUPP || status == -ENOSYS ||
           status == -EMLINK;
}

// Puts a file of 20 fresh records under the target's name, whole or not at all, never over
// a file that appeared meanwhile: false then. Under the write lock.
bool CreateFreshFile(FileSystem& files, const std::string& target, const BestTable& fresh)
{
    std::string temporary;
    const int fd = CreateTemporary(files, target, temporary);
    if (fd < 0)
        Raise(fd);
    FillNewFile(files, fd, temporary, fresh, std::nullopt);
    int placed = files.Link(temporary, target);
    if (IsNoLinkHere(placed)) {
        // Without hard links a rename has to do; under the lock, no copy of the game can
        // create the file between the look and the rename.
        FileStamp existing;
        placed = files.StampOf(target, existing) == -ENOENT ? files.Rename(temporary, target) : -EEXIST;
    }
    files.Unlink(temporary); // after a link, the second name; after a rename, nothing there
    if (placed == -EEXIST)
        return false;
    if (placed < 0)
        Raise(placed);
    files.SyncDirectory(DirectoryOf(target));
    return true;
}

// The file replaced by the table, under the write lock: SaveBestTable without the lock.
SaveOutcome ReplaceFile(FileSystem& files, const std::string& target, const BestTable& table)
{
    // Opening the old file for writing (without truncating it) tells whether we may replace
    // it, and gives the permission bits the new one keeps.
    std::optional<mode_t> permissions;
    if (const int existing = files.OpenWriteOnly(target); existing >= 0) {
        mode_t bits = 0;
        const int status = files.PermissionsOf(existing, bits);
        files.Close(existing); // nothing was written through it
        if (status < 0)
            Raise(status);
        if (IsMarkedReadOnly(bits))
            return SaveOutcome::Skipped;
        permissions = bits;
    } else if (IsWriteDenied(existing)) {
        return SaveOutcome::Skipped;
    } else if (existing != -ENOENT) {
        Raise(existing);
    }

    std::string temporary;
    const int fd = CreateTemporary(files, target, temporary);
    if (fd < 0) {
        if (!IsWriteDenied(fd))
            Raise(fd);
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
        Raise(renamed);
    }
    // The new file is in place and complete; the directory sync only hardens the rename
    // against a power cut. Its failure cannot be undone and must not report the save as
    // failed, which would have the player believe the old table is still on disk.
    files.SyncDirectory(DirectoryOf(target));
    return SaveOutcome::Saved;
}
} // namespace

void LoadBestTable(BestTable& table, const std::string& path, FileSystem& files)
{
    RecordFile(path, files).Load(table);
}

void ReadBestTable(BestTable& table, const std::string& path, FileSystem& files)
{
    const int fd = files.OpenReadOnly(path);
    if (fd < 0)
        Raise(fd);
    std::array<std::uint8_t, TableSize> bytes{};
    std::size_t got = 0;
    int status = ReadAll(files, fd, bytes, got);
    const int closed = files.Close(fd);
    if (status == 0)
        status = std::min(closed, 0);
    if (status != 0)
        Raise(status);
    table = DecodeTable(bytes);
}

SaveOutcome SaveBestTable(const BestTable& table, const std::string& path, FileSystem& files)
{
    // Through a symbolic link the table goes to the link's target, next to which the
    // temporary file is made.
    const std::string target = TargetOf(files, path);
    const WriteLock lock(files, target);
    return ReplaceFile(files, target, table);
}

RecordFile::RecordFile(std::string path, FileSystem& files)
    : path_(std::move(path)), files_(files)
{
}

void RecordFile::remember(const std::vector<std::uint8_t>& bytes, const std::string& target)
{
    known_ = bytes;
    FileStamp stamp;
    stamp_.reset();
    if (files_.StampOf(target, stamp) == 0)
        stamp_ = stamp;
    unreadSinceLoad_ = false;
}

void RecordFile::Load(BestTable& table)
{
    known_.reset();
    stamp_.reset();
    unreadSinceLoad_ = false;
    FileImage image = ReadImage(files_, path_);
    if (!image.opened && image.status == -ENOENT) {
        table = FreshTable();
        // A dangling link: the new file goes where it points, and the link stays.
        const std::string target = TargetOf(files_, path_);
        {
            const WriteLock lock(files_, target);
            if (CreateFreshFile(files_, target, table)) {
                remember(ImageOf(table), target);
                return;
            }
        }
        // Another copy, starting at the same moment, made the file first: it is the table.
        image = ReadImage(files_, path_);
    }
    if (!image.opened) {
        // A file that exists but will not open (read-only, unreadable, too many open files)
        // keeps its games for a later run.
        table = FreshTable();
        unreadSinceLoad_ = true;
        Raise(image.status);
    }
    table = TableFrom(image.bytes);
    if (image.Complete())
        remember(image.bytes, TargetOf(files_, path_));
    else
        unreadSinceLoad_ = true;
    if (image.status != 0)
        Raise(image.status);
}

SaveOutcome RecordFile::Save(BestTable& table, const BestRecord& game)
{
    const std::string target = TargetOf(files_, path_);
    const WriteLock lock(files_, target);
    const FileImage disk = ReadImage(files_, target);
    BestTable next = table;
    if (!disk.Complete()) {
        if (disk.status == -ENOENT) {
            // Gone: the table in memory is all there is.
        } else if (IsWriteDenied(disk.status) || disk.status == IoCode::AccessDenied || unreadSinceLoad_) {
            // Read-only, or the unreadable file the player was told about at start-up: it
            // keeps its games, and this one stays in memory only.
            return SaveOutcome::Skipped;
        } else {
            Raise(disk.status);
        }
    } else if (known_ != disk.bytes) {
        // Another copy has saved since this one last read or wrote the file: this game goes
        // into that table, so neither copy's game is lost.
        next = TableFrom(disk.bytes);
        const int rank = InsertPosition(next, game.Score);
        if (rank == 0) {
            table = next;
            remember(disk.bytes, target);
            return SaveOutcome::NoLongerRanks;
        }
        InsertRecord(next, rank, game);
    }
    const SaveOutcome outcome = ReplaceFile(files_, target, next);
    if (outcome == SaveOutcome::Saved) {
        table = next;
        remember(ImageOf(next), target);
    }
    return outcome;
}

bool RecordFile::Refresh(BestTable& table)
{
    std::string target;
    FileStamp now;
    if (ResolveTarget(files_, path_, target) < 0 || files_.StampOf(target, now) < 0 || stamp_ == now)
        return false;
    const FileImage disk = ReadImage(files_, target);
    if (!disk.opened || disk.bytes.size() != TableSize)
        return false; // the table in memory is still the best there is
    const bool changed = known_ != disk.bytes;
    if (changed)
        table = TableFrom(disk.bytes);
    known_ = disk.bytes;
    stamp_ = now;
    unreadSinceLoad_ = false;
    return changed;
}

RecordFile& GameRecordFile()
{
    static RecordFile file;
    return file;
}

void LoadBestTable(BestTable& table)
{
    GameRecordFile().Load(table);
}

SaveOutcome SaveBestTable(BestTable& table, const BestRecord& game)
{
    return GameRecordFile().Save(table, game);
}

bool RefreshBestTable(BestTable& table)
{
    return GameRecordFile().Refresh(table);
}

} // namespace tovra
