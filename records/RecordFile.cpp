#include "records/RecordFile.h"

#include "core/SplitMix64.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

namespace tovra {

namespace {
using Bytes = std::vector<std::uint8_t>;

// Long enough for any save of another copy (one fsync), short enough that a stopped copy
// holding the lock gets a message instead of a wait without end.
constexpr std::int64_t SaveDeadlineMs = 5000;

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
    return path.substr(path.find_last_of('/') + 1);
}

// No write bit at all: the player has marked the file read-only. Root could still open it
// for writing, so the bits themselves are the answer.
bool IsMarkedReadOnly(mode_t permissions)
{
    return (permissions & 0222) == 0;
}

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

// The name of the file that `path` stands for: `path` itself unless it is a symbolic link,
// else the link's final target, also when that does not exist yet, followed from the
// directory of each link. Writing goes to the target so the link stays a link.
std::string TargetOf(FileSystem& files, const std::string& path)
{
    std::string current = path;
    std::string text;
    for (int hop = 0; hop < 40; ++hop) { // as many as the kernel follows
        // No link, or nothing there at all: the name is the file. Any other failure leaves
        // open whether a link would be replaced by a file.
        const int read = files.ReadLink(current, text);
        if (read == -EINVAL || read == -ENOENT)
            return current;
        if (read < 0)
            Raise(read);
        current = text.starts_with('/') ? text : DirectoryOf(current) + "/" + text;
    }
    Raise(-ELOOP);
}

// Reads the file's first 2,880 bytes, or as many as it has, into `bytes`: 0 when all
// arrived, else the status (100 for a short file).
int ReadAll(FileSystem& files, int fd, Bytes& bytes)
{
    bytes.resize(TableSize);
    std::size_t got = 0;
    ssize_t moved = 1;
    while (got < TableSize && (moved = files.Read(fd, bytes.data() + got, TableSize - got)) > 0)
        got += static_cast<std::size_t>(moved);
    bytes.resize(got);
    return moved < 0 ? static_cast<int>(moved) : got < TableSize ? IoCode::ReadBeyondEnd : 0;
}

// Writes all of `bytes`, at the start of the file or where it stands: 0, the failure, or 101
// when the system takes no more.
int WriteAll(FileSystem& files, int fd, const Bytes& bytes, bool atStart)
{
    std::size_t done = 0;
    ssize_t moved = 1;
    while (done < bytes.size() &&
           (moved = atStart ? files.WriteAt(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done))
                            : files.Write(fd, bytes.data() + done, bytes.size() - done)) > 0)
        done += static_cast<std::size_t>(moved);
    return moved < 0 ? static_cast<int>(moved) : done < bytes.size() ? IoCode::DiskFull : 0;
}

// An open descriptor (or the -errno of a failed open), closed with its lock when it goes.
struct Descriptor {
    Descriptor(FileSystem& fileSystem, int opened) : files(fileSystem), fd(opened) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Close() { return fd < 0 ? 0 : std::min(files.Close(std::exchange(fd, -1)), 0); }

    FileSystem& files;
    int fd;
};

// What `fd`, just opened (or refused) under the name `target`, is: 0 or -errno. A folder or a
// socket cannot be opened as a file; its kind comes from the name then.
int Examine(FileSystem& files, const std::string& target, int fd, FileStatus& status)
{
    if (fd >= 0)
        return files.Status(fd, status);
    return (fd == -EISDIR || fd == -ENXIO) && files.StatusOf(target, status) == 0 ? 0 : fd;
}

// A temporary file of this game: ".record.dat.unfinished-save-" and six letters or digits,
// a name no player types for a copy of their own. Only such names are ever removed.
constexpr std::string_view TemporaryMark = ".unfinished-save-";
constexpr std::size_t TemporarySuffixSize = 6;

std::string TemporaryPrefix(const std::string& target)
{
    return "." + FileNameOf(target) + std::string(TemporaryMark);
}

bool IsTemporaryName(const std::string& entry, const std::string& prefix)
{
    const auto isOurs = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    return entry.size() == prefix.size() + TemporarySuffixSize && entry.starts_with(prefix) &&
           std::all_of(entry.begin() + static_cast<std::ptrdiff_t>(prefix.size()), entry.end(), isOurs);
}

// Creates a temporary file next to the target; the descriptor or -errno.
int CreateTemporary(FileSystem& files, const std::string& target, std::string& temporary)
{
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyz";
    // Fresh for every file: the names of copies saving at the same time must not follow one another.
    SplitMix64 random = SplitMix64::FromEntropy();
    int fd = -EEXIST;
    for (int attempt = 0; attempt < 100 && fd == -EEXIST; ++attempt) {
        temporary = DirectoryOf(target) + "/" + TemporaryPrefix(target);
        for (std::size_t i = 0; i < TemporarySuffixSize; ++i)
            temporary += Letters[random.Below64(sizeof Letters - 1)];
        fd = files.CreateExclusive(temporary, 0666);
    }
    return fd;
}

// Under the lock no other save is in flight, so every temporary file of ours next to the
// target is left over from a copy killed while saving. Regular files of a table's size at
// most, never a link.
void RemoveLeftovers(FileSystem& files, const std::string& target)
{
    std::string text;
    std::vector<std::string> entries;
    if (files.ListDirectory(DirectoryOf(target), entries) < 0)
        return;
    const std::string prefix = TemporaryPrefix(target);
    for (const std::string& entry : entries) {
        const std::string path = DirectoryOf(target) + "/" + entry;
        FileStatus status;
        if (IsTemporaryName(entry, prefix) && files.ReadLink(path, text) < 0 && files.StatusOf(path, status) == 0 &&
            status.kind == FileKind::Regular && status.size <= static_cast<off_t>(TableSize))
            files.Unlink(path);
    }
}

// Writes `image` into the temporary file just created, with the owner, group and mode of
// `old` when there is one, syncs and closes it. The new file's status, or the failure
// (the file is removed again): -EPERM when the owner cannot be kept.
// `durable`: synced before it is placed. Only a fresh table, which holds no game, may skip it.
int FillTemporary(FileSystem& files, int created, const std::string& temporary, const Bytes& image,
                  const FileStatus* old, FileStatus& status, bool durable = true)
{
    Descriptor file(files, created);
    int result = 0;
    if (old && files.SetOwner(file.fd, old->owner, old->group) < 0)
        result = -EPERM;
    if (old && result == 0)
        result = std::min(files.SetPermissions(file.fd, old->permissions & 0777), 0);
    if (result == 0)
        result = WriteAll(files, file.fd, image, false);
    if (result == 0 && durable)
        result = std::min(files.Sync(file.fd), 0);
    if (result == 0)
        result = files.Status(file.fd, status);
    const int closed = file.Close();
    if (result == 0)
        result = closed;
    if (result != 0)
        files.Unlink(temporary);
    return result;
}

// The rename or link of a temporary file failed: ENOENT means it is gone from under us.
[[noreturn]] void RaisePlacing(int status, const std::string& target)
{
    if (status == -ENOENT)
        throw IoError::TemporaryFileRemoved(FileNameOf(target));
    Raise(status);
}

// Puts a new file holding `image` under the target's name, whole or not at all, never over
// one that appeared meanwhile. 0, -EEXIST when one did, or the refusal of a directory that
// may not be written; other failures throw.
// `durable` false: the fresh table of a first start, made without waiting for the disk (a start
// on a slow disk would otherwise wait two syncs before its window). It holds no game, and a
// start that finds it lost makes it again.
int CreateFile(FileSystem& files, const std::string& target, const Bytes& image, FileStatus& status,
               bool durable = true)
{
    std::string temporary;
    const int created = CreateTemporary(files, target, temporary);
    if (IsWriteDenied(created))
        return created;
    if (created < 0)
        Raise(created);
    if (const int filled = FillTemporary(files, created, temporary, image, nullptr, status, durable); filled != 0)
        Raise(filled);
    int placed = files.Link(temporary, target);
    if (placed == -EPERM || placed == -ENOTSUP || placed == -EOPNOTSUPP || placed == -ENOSYS || placed == -EMLINK) {
        // A file system without hard links: a rename has to do, only where nothing is yet.
        FileStatus existing;
        placed = files.StatusOf(target, existing) == -ENOENT ? files.Rename(temporary, target) : -EEXIST;
    }
    files.Unlink(temporary); // after a link, the second name; after a rename, nothing there
    // Another copy that made the file first clears temporary files under its lock, ours too.
    if (FileStatus existing; placed == -ENOENT && files.StatusOf(target, existing) == 0)
        placed = -EEXIST;
    if (placed < 0 && placed != -EEXIST)
        RaisePlacing(placed, target);
    if (placed == 0) {
        if (durable)
            files.SyncDirectory(DirectoryOf(target));
        // A file that was missing may have left temporary files of a killed save behind.
        Descriptor file(files, files.OpenReadWrite(target));
        if (file.fd >= 0 && files.TryLock(file.fd) == 0)
            RemoveLeftovers(files, target);
    }
    return placed;
}

// Overwrites the locked file through its own descriptor: not atomic, and a failure throws.
FileStatus WriteInPlace(FileSystem& files, int fd, const Bytes& image)
{
    int result = WriteAll(files, fd, image, true);
    if (result == 0)
        result = std::min(files.Truncate(fd, static_cast<off_t>(image.size())), 0);
    if (result == 0)
        result = std::min(files.Sync(fd), 0);
    FileStatus status;
    if (result == 0)
        result = files.Status(fd, status);
    if (result != 0)
        Raise(result);
    return status;
}

// Puts `image` in place of the locked file `fd` (whose status is `old`): a new file with
// the old one's owner, group and mode, renamed over it. Where the owner cannot be kept, or
// the directory refuses the new file or the rename, the file is overwritten in place and
// `inPlace` set. The new version's status; failures throw.
FileStatus Replace(FileSystem& files, const std::string& target, int fd, const FileStatus& old, const Bytes& image,
                   bool& inPlace)
{
    std::string temporary;
    const int created = CreateTemporary(files, target, temporary);
    FileStatus status;
    int result = created < 0 ? created : FillTemporary(files, created, temporary, image, &old, status);
    if (result == 0) {
        result = files.Rename(temporary, target);
        if (result == 0) {
            // The new file is in place and complete; the directory sync only hardens the
            // rename against a power cut, and its failure must not report the save as failed.
            files.SyncDirectory(DirectoryOf(target));
            return status;
        }
        if (result == -ENOENT)
            RaisePlacing(result, target);
        files.Unlink(temporary);
    }
    if (!IsWriteDenied(result))
        Raise(result);
    inPlace = true;
    return WriteInPlace(files, fd, image);
}

// Every byte is one of `before` or `after` at its offset: what an interrupted overwrite of
// `before` by `after` leaves.
bool IsMixOf(const Bytes& bytes, const std::optional<Bytes>& before, const std::optional<Bytes>& after)
{
    if (!after || bytes.size() != after->size())
        return false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool wasThere = before && i < before->size() && (*before)[i] == bytes[i];
        if (bytes[i] != (*after)[i] && !wasThere)
            return false;
    }
    return true;
}
} // namespace

void LoadBestTable(BestTable& table, const std::string& path, FileSystem& files)
{
    RecordFile(path, files).Load(table);
}

void ReadBestTable(BestTable& table, const std::string& path, FileSystem& files)
{
    Descriptor file(files, files.OpenReadOnly(path));
    FileStatus status;
    if (file.fd < 0)
        Raise(file.fd);
    if (const int examined = files.Status(file.fd, status); examined < 0)
        Raise(examined);
    if (status.kind != FileKind::Regular)
        throw IoError::NotAFile(FileNameOf(path), status.kind);
    Bytes bytes;
    int result = ReadAll(files, file.fd, bytes);
    if (const int closed = file.Close(); result == 0)
        result = closed;
    if (result != 0)
        Raise(result);
    table = TableFrom(bytes);
}

SaveOutcome SaveBestTable(const BestTable& table, const std::string& path, FileSystem& files)
{
    BestTable written = table;
    return RecordFile(path, files).store(written, nullptr);
}

void RecordFile::remember(const std::vector<std::uint8_t>& bytes, const FileStatus& status)
{
    known_ = bytes;
    version_ = status;
    unfinished_.reset();
    unreadSinceLoad_ = false;
}

SaveOutcome RecordFile::notRegular(FileKind kind) const
{
    // A link to the null device switches scores off; anything else the player was told of
    // at start-up.
    if (kind == FileKind::NullDevice || unreadSinceLoad_)
        return SaveOutcome::Skipped;
    throw IoError::NotAFile(FileNameOf(path_), kind);
}

void RecordFile::lock(int fd, std::int64_t deadline) const
{
    for (;;) {
        const int locked = files_.TryLock(fd);
        if (locked == 0)
            return;
        if (locked != -EWOULDBLOCK)
            throw IoError::CannotLock(FileNameOf(path_), -locked);
        if (files_.NowMs() >= deadline)
            throw IoError::AnotherCopySaving(FileNameOf(path_));
        waiting_ ? waiting_() : files_.Pause();
    }
}

void RecordFile::Load(BestTable& table)
{
    known_ = unfinished_ = std::nullopt;
    version_.reset();
    unreadSinceLoad_ = false;
    table = FreshTable();
    const std::string target = TargetOf(files_, path_);
    for (;;) {
        Descriptor file(files_, files_.OpenReadWrite(target));
        FileStatus status;
        if (file.fd == -ENOENT) {
            const Bytes image = ImageOf(table);
            const int created = CreateFile(files_, target, image, status, false);
            if (created == 0)
                return remember(image, status);
            if (created != -EEXIST)
                Raise(created);
            continue; // another copy, starting at the same moment, made the file first
        }
        // From here on a file that exists keeps its games, whatever goes wrong.
        unreadSinceLoad_ = true;
        if (const int examined = Examine(files_, target, file.fd, status); examined < 0)
            Raise(examined);
        if (status.kind == FileKind::NullDevice)
            return; // scores switched off
        if (status.kind != FileKind::Regular)
            throw IoError::NotAFile(FileNameOf(path_), status.kind);
        if (IsMarkedReadOnly(status.permissions))
            Raise(IoCode::AccessDenied);
        // Without the lock another copy is saving, and clears the leftovers itself.
        if (files_.TryLock(file.fd) == 0)
            RemoveLeftovers(files_, target);
        Bytes bytes;
        const int read = ReadAll(files_, file.fd, bytes);
        table = TableFrom(bytes);
        const int closed = file.Close();
        // The version is the one examined before the read: a change after it shows as newer.
        if (read == 0 || read == IoCode::ReadBeyondEnd)
            remember(bytes, status);
        if (read != 0 || closed != 0)
            Raise(read != 0 ? read : closed);
        return;
    }
}

SaveOutcome RecordFile::Save(BestTable& table, const BestRecord& game)
{
    return store(table, &game);
}

SaveOutcome RecordFile::store(BestTable& table, const BestRecord* game)
{
    const std::int64_t deadline = files_.NowMs() + SaveDeadlineMs;
    for (bool again = false;; again = true) {
        if (again && files_.NowMs() >= deadline)
            throw IoError::AnotherCopySaving(FileNameOf(path_));
        const std::string target = TargetOf(files_, path_);
        Descriptor file(files_, files_.OpenReadWrite(target));
        FileStatus status;
        if (file.fd == -ENOENT) {
            // Gone (or never there): the table in memory is all there is.
            const Bytes image = ImageOf(table);
            const int created = CreateFile(files_, target, image, status);
            if (created == 0) {
                remember(image, status);
                return SaveOutcome::Saved;
            }
            if (IsWriteDenied(created))
                return SaveOutcome::Skipped;
            continue; // another copy made it meanwhile: merge into that
        }
        if (IsWriteDenied(file.fd))
            return SaveOutcome::Skipped;
        if (const int examined = Examine(files_, target, file.fd, status); examined < 0)
            Raise(examined);
        if (status.kind != FileKind::Regular)
            return notRegular(status.kind);
        if (IsMarkedReadOnly(status.permissions))
            return SaveOutcome::Skipped;
        lock(file.fd, deadline);
        FileStatus named;
        if (files_.StatusOf(target, named) < 0 || !named.SameFile(status))
            continue; // replaced by the copy whose save we waited for: lock the new file
        RemoveLeftovers(files_, target);

        BestTable next = table;
        if (game) {
            Bytes bytes;
            if (const int read = ReadAll(files_, file.fd, bytes); read != 0) {
                // A short file this copy did not load so is damaged or half written: no
                // merging into its padding.
                if (unreadSinceLoad_ && read != IoCode::ReadBeyondEnd)
                    return SaveOutcome::Skipped;
                if (read != IoCode::ReadBeyondEnd || bytes != known_)
                    Raise(read);
            }
            // Another copy has saved since this one last read or wrote the file: this game
            // goes into that table, once, so neither copy's game is lost. What our own
            // overwrite left half done is ours to finish.
            if (bytes != known_ && !IsMixOf(bytes, known_, unfinished_)) {
                next = TableFrom(bytes);
                if (std::find(next.Records.begin(), next.Records.end(), *game) == next.Records.end()) {
                    const int rank = InsertPosition(next, game->Score);
                    if (rank == 0) {
                        table = next;
                        remember(bytes, status);
                        return SaveOutcome::NoLongerRanks;
                    }
                    InsertRecord(next, rank, *game);
                }
            }
        }
        const Bytes image = ImageOf(next);
        bool inPlace = false;
        try {
            status = Replace(files_, target, file.fd, status, image, inPlace);
            // Closing the file written in place may report what the writes could not.
            if (const int closed = file.Close(); inPlace && closed != 0)
                Raise(closed);
        } catch (const IoError&) {
            if (inPlace)
                unfinished_ = image;
            throw;
        }
        table = next;
        remember(image, status);
        return SaveOutcome::Saved;
    }
}

bool RecordFile::Refresh(BestTable& table)
{
    std::string target;
    try {
        target = TargetOf(files_, path_);
    } catch (const IoError&) {
        return false;
    }
    Descriptor file(files_, files_.OpenReadOnly(target));
    FileStatus now;
    if (file.fd < 0 || files_.Status(file.fd, now) < 0 || now.kind != FileKind::Regular ||
        (version_ && version_->SameVersion(now)))
        return false;
    Bytes bytes;
    if (ReadAll(files_, file.fd, bytes) != 0)
        return false; // the table in memory is still the best there is
    const bool changed = known_ != bytes;
    if (changed)
        table = TableFrom(bytes);
    remember(bytes, now);
    return changed;
}

} // namespace tovra
