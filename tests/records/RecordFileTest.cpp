#include "records/RecordFile.h"

#include "TestFiles.h"
#include "core/SplitMix64.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tovra {
namespace {

using namespace tovra::testing;
using Call = FaultyFileSystem::Call;

const std::vector<std::string> OnlyTheRecordFile = {"record.dat"};

// A table with every field of every record set, none of it fresh.
BestTable SampleTable(unsigned seed = 1)
{
    tovra::SplitMix64 random(seed);
    BestTable table;
    for (BestRecord& record : table.Records) {
        SetRecordName(record, "Player \u00e9" + std::to_string(random.Next() % 1000));
        record.Score = static_cast<std::uint8_t>(random.Next() % 100 + 1);
        record.SetDate(38000.0 + random.Next() % 5000);
        for (auto& cell : record.SchemeBytes)
            cell = static_cast<std::uint8_t>(random.Next() % 101);
        record.Reserved = {1, 2, 3, 4};
    }
    return table;
}

struct stat StatusOf(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status;
}

// The code of the IoError `operation` throws, or nothing.
template <typename Operation>
std::optional<int> ErrorCodeOf(Operation operation)
{
    try {
        operation();
    } catch (const IoError& error) {
        return error.Code();
    }
    return std::nullopt;
}

class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : old_(umask(mask)) {}
    ~UmaskScope() { umask(old_); }

private:
    mode_t old_;
};

// --- Loading ---

TEST(LoadBestTableTest, MissingFileIsCreatedWithTwentyFreshRecords)
{
    PosixFileSystem disk;
    TempDir dir;
    UmaskScope mask(022);
    BestTable table = SampleTable();
    LoadBestTable(table, dir.Path(), disk);
    EXPECT_EQ(table, FreshTable());
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(FreshTable()));
    EXPECT_EQ(PermissionsOf(dir.Path()), 0644u);
}

TEST(LoadBestTableTest, ExistingFileIsLoadedAndNotWritten)
{
    PosixFileSystem disk;
    TempDir dir;
    const Bytes content = PatternBytes(TableSize);
    WriteFile(dir.Path(), content);
    const timespec longAgo[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.Path().c_str(), longAgo, 0), 0);
    const struct stat before = StatusOf(dir.Path());

    BestTable table;
    LoadBestTable(table, dir.Path(), disk);

    EXPECT_EQ(TableBytes(table), content);
    const struct stat after = StatusOf(dir.Path());
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(ReadFile(dir.Path()), content);
}

class ShortFileTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ShortFileTest, ShortFileGivesReadBeyondEndWithZerosAfterTheBytesRead)
{
    TempDir dir;
    const Bytes content = PatternBytes(GetParam());
    WriteFile(dir.Path(), content);
    FaultyFileSystem files;
    BestTable table = SampleTable();

    EXPECT_EQ(ErrorCodeOf([&] { LoadBestTable(table, dir.Path(), files); }), IoCode::ReadBeyondEnd);

    Bytes expected = content;
    expected.resize(TableSize, 0);
    EXPECT_EQ(TableBytes(table), expected);
    EXPECT_EQ(ReadFile(dir.Path()), content);
    EXPECT_EQ(files.OpenDescriptors(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ShortFileTest, ::testing::Values(0, 1, 200, 2879));

TEST(LoadBestTableTest, EmptyFileLoadsAsZeroRecords)
{
    PosixFileSystem disk;
    TempDir dir;
    WriteFile(dir.Path(), {});
    BestTable table = FreshTable();
    EXPECT_EQ(ErrorCodeOf([&] { LoadBestTable(table, dir.Path(), disk); }), IoCode::ReadBeyondEnd);
    for (int rank = 1; rank <= RecordCount; ++rank) {
        EXPECT_EQ(table.ByRank(rank), ZeroRecord());
        EXPECT_EQ(RecordName(table.ByRank(rank)), "");
        EXPECT_FALSE(HoldsGame(table.ByRank(rank)));
    }
}

TEST(LoadBestTableTest, LongerFileIsReadToItsFirst2880BytesAndShortenedByTheNextSave)
{
    PosixFileSystem disk;
    TempDir dir;
    const Bytes content = PatternBytes(3000);
    WriteFile(dir.Path(), content);

    BestTable table;
    LoadBestTable(table, dir.Path(), disk);
    EXPECT_EQ(TableBytes(table), Bytes(content.begin(), content.begin() + TableSize));
    EXPECT_EQ(ReadFile(dir.Path()).size(), 3000u);

    EXPECT_EQ(SaveBestTable(table, dir.Path(), disk), SaveOutcome::Saved);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(table));
}

TEST(LoadBestTableTest, FileThatWillNotOpenIsNeitherTruncatedNorReplaced)
{
    TempDir dir;
    const Bytes content = TableBytes(SampleTable());
    WriteFile(dir.Path(), content);
    FaultyFileSystem files;
    files.Fail(Call::OpenReadWrite, EMFILE);
    BestTable table = SampleTable(2);

    EXPECT_EQ(ErrorCodeOf([&] { LoadBestTable(table, dir.Path(), files); }), IoCode::TooManyOpenFiles);
    EXPECT_EQ(table, FreshTable());
    EXPECT_EQ(files.Calls(Call::CreateExclusive), 0);
    EXPECT_EQ(ReadFile(dir.Path()), content);
}

TEST(LoadBestTableTest, OpenedFileThatCannotBeExaminedLoadsFreshAndIsLeftAlone)
{
    TempDir dir;
    const Bytes content = TableBytes(SampleTable());
    WriteFile(dir.Path(), content);
    FaultyFileSystem files;
    files.Fail(Call::Status, EOVERFLOW);
    BestTable table = SampleTable(2);

    EXPECT_EQ(ErrorCodeOf([&] { LoadBestTable(table, dir.Path(), files); }), EOVERFLOW);
    EXPECT_EQ(table, FreshTable());
    EXPECT_EQ(files.Calls(Call::CreateExclusive), 0);
    EXPECT_EQ(files.OpenDescriptors(), 0);
    EXPECT_EQ(ReadFile(dir.Path()), content);
}

TEST(LoadBestTableTest, FailedCloseIsReportedWithTheTableComplete)
{
    TempDir dir;
    const BestTable stored = SampleTable();
    WriteFile(dir.Path(), TableBytes(stored));
    FaultyFileSystem files;
    files.Fail(Call::Close, EDQUOT);
    BestTable table;
    EXPECT_EQ(ErrorCodeOf([&] { LoadBestTable(table, dir.Path(), files); }), IoCode::DiskFull);
    EXPECT_EQ(table, stored);
    EXPECT_EQ(files.OpenDescriptors(), 0);
}

TEST(LoadBestTableTest, FailedReadKeepsOnlyWhatArrived)
{
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(SampleTable()));
    FaultyFileSystem files;
    files.Fail(Call::Read, EISDIR);
    BestTable table = SampleTable();
    EXPECT_EQ(ErrorCodeOf([&] { LoadBestTable(table, dir.Path(), files); }), EISDIR);
    EXPECT_EQ(TableBytes(table), Bytes(TableSize, 0));
    EXPECT_EQ(files.OpenDescriptors(), 0);
}

TEST(LoadBestTableTest, FreshFileThatCannotBeWrittenWholeIsRemoved)
{
    TempDir dir;
    FaultyFileSystem files;
    files.LimitDiskSpace(1000);
    BestTable table;
    EXPECT_EQ(ErrorCodeOf([&] { LoadBestTable(table, dir.Path(), files); }), IoCode::DiskFull);
    EXPECT_EQ(table, FreshTable());
    EXPECT_TRUE(dir.Entries().empty()); // the next start-up creates it again
    EXPECT_EQ(files.OpenDescriptors(), 0);
}

TEST(LoadBestTableTest, FifoUnderTheNameDoesNotHangTheStartUp)
{
    PosixFileSystem disk;
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.Path().c_str(), 0666), 0);
    BestTable table;
    EXPECT_EQ(ErrorCodeOf([&] { LoadBestTable(table, dir.Path(), disk); }), IoError::NotAFile("record.dat", FileKind::Fifo).Code());
    EXPECT_EQ(table, FreshTable());
}

// --- Saving ---

TEST(SaveBestTableTest, EveryFieldSurvivesASaveAndALoad)
{
    PosixFileSystem disk;
    TempDir dir;
    const BestTable saved = SampleTable(7);
    ASSERT_EQ(SaveBestTable(saved, dir.Path(), disk), SaveOutcome::Saved);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(saved));
    BestTable loaded;
    LoadBestTable(loaded, dir.Path(), disk);
    EXPECT_EQ(loaded, saved);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
}

TEST(SaveBestTableTest, SaveReplacesTheFileAndKeepsItsPermissions)
{
    PosixFileSystem disk;
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(FreshTable()));
    SetMode(dir.Path(), 0640);
    const ino_t oldInode = StatusOf(dir.Path()).st_ino;

    ASSERT_EQ(SaveBestTable(SampleTable(), dir.Path(), disk), SaveOutcome::Saved);
    EXPECT_EQ(PermissionsOf(dir.Path()), 0640u);
    EXPECT_NE(StatusOf(dir.Path()).st_ino, oldInode); // written aside and renamed over
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(SampleTable()));
}

TEST(SaveBestTableTest, NewFileTakesTheUmask)
{
    PosixFileSystem disk;
    TempDir dir;
    UmaskScope mask(027);
    ASSERT_EQ(SaveBestTable(SampleTable(), dir.Path(), disk), SaveOutcome::Saved);
    EXPECT_EQ(PermissionsOf(dir.Path()), 0640u);
}

struct FailedSaveRow {
    const char* situation;
    Call call;
    int error;     // 0: the disk fills up after 1,000 bytes
    int expected;  // IoError code
    int nth = 1;   // which call of `call` fails
};

void PrintTo(const FailedSaveRow& row, std::ostream* out) { *out << row.situation; }

class FailedSaveTest : public ::testing::TestWithParam<FailedSaveRow> {};

TEST_P(FailedSaveTest, FailedSaveLeavesTheOldFileAndNoTemporaryFile)
{
    TempDir dir;
    const Bytes old = TableBytes(SampleTable(3));
    WriteFile(dir.Path(), old);
    SetMode(dir.Path(), 0600);
    FaultyFileSystem files;
    if (GetParam().error == 0)
        files.LimitDiskSpace(1000);
    else
        files.Fail(GetParam().call, GetParam().error, GetParam().nth);

    EXPECT_EQ(ErrorCodeOf([&] { SaveBestTable(SampleTable(4), dir.Path(), files); }), GetParam().expected);

    EXPECT_EQ(ReadFile(dir.Path()), old);
    EXPECT_EQ(PermissionsOf(dir.Path()), 0600u);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
    EXPECT_EQ(files.OpenDescriptors(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedSaveTest,
    ::testing::Values(FailedSaveRow{"disk_fills_up", Call::Write, 0, IoCode::DiskFull},
                      FailedSaveRow{"write_fails", Call::Write, EFBIG, EFBIG},
                      FailedSaveRow{"quota_exceeded", Call::Write, EDQUOT, IoCode::DiskFull},
                      FailedSaveRow{"fsync_fails", Call::Sync, EIO, EIO},
                      FailedSaveRow{"close_fails", Call::Close, EDQUOT, IoCode::DiskFull, 1},
                      FailedSaveRow{"rename_fails", Call::Rename, EXDEV, EXDEV},
                      FailedSaveRow{"permissions_cannot_be_kept", Call::SetPermissions, EINVAL, EINVAL},
                      FailedSaveRow{"old_file_cannot_be_examined", Call::Status, EOVERFLOW, EOVERFLOW},
                      FailedSaveRow{"too_many_open_files", Call::CreateExclusive, EMFILE, IoCode::TooManyOpenFiles},
                      FailedSaveRow{"no_room_for_a_directory_entry", Call::CreateExclusive, ENOSPC,
                                    IoCode::DiskFull}),
    [](const auto& row) { return std::string(row.param.situation); });

TEST(SaveBestTableTest, FailedCloseOfTheOldFileDoesNotStopTheSave)
{
    // The second close is of the old file, which held the lock: nothing was written through
    // it. The first close, of the new file, is tested above.
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(FreshTable()));
    FaultyFileSystem files;
    files.Fail(Call::Close, EIO, 2);
    EXPECT_EQ(SaveBestTable(SampleTable(), dir.Path(), files), SaveOutcome::Saved);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(SampleTable()));
}

struct SkippedSaveRow {
    const char* situation;
    Call call;
    int error;
    bool fileExists = true;
};

void PrintTo(const SkippedSaveRow& row, std::ostream* out) { *out << row.situation; }

class SkippedSaveTest : public ::testing::TestWithParam<SkippedSaveRow> {};

TEST_P(SkippedSaveTest, UnwritableFileOrDirectorySkipsTheSaveSilently)
{
    TempDir dir;
    const Bytes old = TableBytes(SampleTable(3));
    if (GetParam().fileExists)
        WriteFile(dir.Path(), old);
    FaultyFileSystem files;
    files.Fail(GetParam().call, GetParam().error);
    EXPECT_EQ(SaveBestTable(SampleTable(4), dir.Path(), files), SaveOutcome::Skipped);
    if (GetParam().fileExists) {
        EXPECT_EQ(ReadFile(dir.Path()), old);
        EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
    } else {
        EXPECT_TRUE(dir.Entries().empty());
    }
    EXPECT_EQ(files.OpenDescriptors(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Denials, SkippedSaveTest,
    ::testing::Values(SkippedSaveRow{"file_access_denied", Call::OpenReadWrite, EACCES},
                      SkippedSaveRow{"file_not_permitted", Call::OpenReadWrite, EPERM},
                      SkippedSaveRow{"read_only_file_system", Call::OpenReadWrite, EROFS},
                      SkippedSaveRow{"no_file_and_directory_access_denied", Call::CreateExclusive, EACCES, false},
                      SkippedSaveRow{"no_file_and_directory_not_permitted", Call::CreateExclusive, EPERM, false},
                      SkippedSaveRow{"no_file_and_directory_on_read_only_file_system", Call::CreateExclusive,
                                     EROFS, false}),
    [](const auto& row) { return std::string(row.param.situation); });

TEST(SaveBestTableTest, OtherFailuresToOpenTheOldFileAreReported)
{
    PosixFileSystem disk;
    TempDir dir;
    ASSERT_EQ(mkdir(dir.Path().c_str(), 0755), 0);
    EXPECT_EQ(ErrorCodeOf([&] { SaveBestTable(FreshTable(), dir.Path(), disk); }), IoError::NotAFile("record.dat", FileKind::Directory).Code());
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
}

TEST(SaveBestTableTest, FailedDirectorySyncAfterTheRenameIsNoFailure)
{
    // The new file is already in place: reporting a failure would tell the player the old
    // table is still on disk.
    for (const int error : {EACCES, EINVAL, EIO}) {
        TempDir dir;
        WriteFile(dir.Path(), TableBytes(FreshTable()));
        FaultyFileSystem files;
        files.Fail(Call::SyncDirectory, error);
        EXPECT_EQ(SaveBestTable(SampleTable(), dir.Path(), files), SaveOutcome::Saved) << error;
        EXPECT_EQ(files.Calls(Call::SyncDirectory), 1);
        EXPECT_EQ(ReadFile(dir.Path()), TableBytes(SampleTable()));
        EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
    }
}

// --- Writing in place when the directory refuses a replacement ---

struct InPlaceRow {
    const char* situation;
    Call blocked; // the step of the atomic route the directory refuses
    int error;
};

void PrintTo(const InPlaceRow& row, std::ostream* out) { *out << row.situation; }

class InPlaceSaveTest : public ::testing::TestWithParam<InPlaceRow> {};

TEST_P(InPlaceSaveTest, WritableFileIsOverwrittenInPlaceAndShortened)
{
    TempDir dir;
    WriteFile(dir.Path(), PatternBytes(3000)); // longer than a table: must end up 2,880 bytes
    SetMode(dir.Path(), 0604);
    const ino_t inode = StatusOf(dir.Path()).st_ino;
    FaultyFileSystem files;
    files.Fail(GetParam().blocked, GetParam().error);

    EXPECT_EQ(SaveBestTable(SampleTable(8), dir.Path(), files), SaveOutcome::Saved);

    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(SampleTable(8)));
    EXPECT_EQ(StatusOf(dir.Path()).st_ino, inode);
    EXPECT_EQ(PermissionsOf(dir.Path()), 0604u);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
    EXPECT_EQ(files.OpenDescriptors(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, InPlaceSaveTest,
    ::testing::Values(InPlaceRow{"directory_access_denied", Call::CreateExclusive, EACCES},
                      InPlaceRow{"directory_not_permitted", Call::CreateExclusive, EPERM},
                      InPlaceRow{"directory_on_read_only_file_system", Call::CreateExclusive, EROFS},
                      InPlaceRow{"rename_denied", Call::Rename, EACCES},
                      InPlaceRow{"rename_not_permitted_in_sticky_directory", Call::Rename, EPERM}),
    [](const auto& row) { return std::string(row.param.situation); });

struct FailedInPlaceRow {
    const char* situation;
    Call blocked;  // the refused step of the atomic route
    Call call;     // the failing step of the in-place write
    int error;     // 0: the disk fills up 1,000 bytes into the in-place write
    int expected;
    int nth = 1;
};

void PrintTo(const FailedInPlaceRow& row, std::ostream* out) { *out << row.situation; }

class FailedInPlaceSaveTest : public ::testing::TestWithParam<FailedInPlaceRow> {};

TEST_P(FailedInPlaceSaveTest, FailureOfTheInPlaceWriteIsReportedAndLeavesNoTemporaryFile)
{
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(SampleTable(3)));
    FaultyFileSystem files;
    const FailedInPlaceRow& row = GetParam();
    files.Fail(row.blocked, row.blocked == Call::Rename ? EPERM : EACCES);
    if (row.error == 0) // the temporary file, when there was one, took a table's worth first
        files.LimitDiskSpace(1000 + (row.blocked == Call::Rename ? TableSize : 0));
    else
        files.Fail(row.call, row.error, row.nth);

    EXPECT_EQ(ErrorCodeOf([&] { SaveBestTable(SampleTable(4), dir.Path(), files); }), row.expected);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
    EXPECT_EQ(files.OpenDescriptors(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedInPlaceSaveTest,
    ::testing::Values(
        FailedInPlaceRow{"disk_fills_up", Call::CreateExclusive, Call::WriteAt, 0, IoCode::DiskFull},
        FailedInPlaceRow{"disk_fills_up_after_refused_rename", Call::Rename, Call::WriteAt, 0, IoCode::DiskFull},
        FailedInPlaceRow{"write_fails", Call::CreateExclusive, Call::WriteAt, EIO, EIO},
        FailedInPlaceRow{"write_fails_after_refused_rename", Call::Rename, Call::WriteAt, EIO, EIO},
        FailedInPlaceRow{"truncate_fails", Call::CreateExclusive, Call::Truncate, EFBIG, EFBIG},
        FailedInPlaceRow{"fsync_fails", Call::CreateExclusive, Call::Sync, EIO, EIO},
        FailedInPlaceRow{"close_fails", Call::CreateExclusive, Call::Close, EDQUOT, IoCode::DiskFull, 1},
        FailedInPlaceRow{"close_fails_after_refused_rename", Call::Rename, Call::Close, EDQUOT, IoCode::DiskFull, 2},
        FailedInPlaceRow{"examining_the_written_file_fails", Call::CreateExclusive, Call::Status, EOVERFLOW,
                         EOVERFLOW, 2}),
    [](const auto& row) { return std::string(row.param.situation); });

// --- Symbolic links: the link stays, its target gets the table ---

std::string LinkText(const std::string& path)
{
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
        return "(no link)";
    std::string text(4096, '\0');
    const ssize_t length = readlink(path.c_str(), text.data(), text.size());
    text.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
    return text;
}

std::string BaseName(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

class LinkTest : public ::testing::TestWithParam<bool> {
protected:
    // The link's text for `target` in another temporary directory (both temporary
    // directories are siblings): relative to the link's directory, or absolute.
    std::string Refer(const TempDir& targetDir, const std::string& name) const
    {
        return GetParam() ? "../" + BaseName(targetDir.Dir()) + "/" + name : targetDir.Path(name);
    }
};

TEST_P(LinkTest, SaveThroughALinkReplacesItsTargetAndKeepsTheLink)
{
    PosixFileSystem disk;
    TempDir here;
    TempDir there;
    const std::string target = there.Path("scores.dat");
    WriteFile(target, TableBytes(SampleTable(1)));
    SetMode(target, 0640);
    const std::string text = Refer(there, "scores.dat");
    ASSERT_EQ(symlink(text.c_str(), here.Path().c_str()), 0);

    BestTable table;
    LoadBestTable(table, here.Path(), disk);
    EXPECT_EQ(table, SampleTable(1));
    ASSERT_EQ(SaveBestTable(SampleTable(2), here.Path(), disk), SaveOutcome::Saved);

    EXPECT_EQ(LinkText(here.Path()), text);
    EXPECT_EQ(ReadFile(target), TableBytes(SampleTable(2)));
    EXPECT_EQ(PermissionsOf(target), 0640u);
    EXPECT_EQ(here.Entries(), OnlyTheRecordFile);
    EXPECT_EQ(there.Entries(), std::vector<std::string>{"scores.dat"});
}

TEST_P(LinkTest, DanglingLinkIsLoadedByCreatingItsTarget)
{
    PosixFileSystem disk;
    TempDir here;
    TempDir there;
    const std::string target = there.Path("scores.dat");
    const std::string text = Refer(there, "scores.dat");
    ASSERT_EQ(symlink(text.c_str(), here.Path().c_str()), 0);

    BestTable table = SampleTable();
    LoadBestTable(table, here.Path(), disk);

    EXPECT_EQ(table, FreshTable());
    EXPECT_EQ(LinkText(here.Path()), text);
    EXPECT_EQ(ReadFile(target), TableBytes(FreshTable()));
    EXPECT_EQ(there.Entries(), std::vector<std::string>{"scores.dat"});
}

TEST_P(LinkTest, SaveThroughADanglingLinkCreatesItsTarget)
{
    PosixFileSystem disk;
    TempDir here;
    TempDir there;
    const std::string target = there.Path("scores.dat");
    const std::string text = Refer(there, "scores.dat");
    ASSERT_EQ(symlink(text.c_str(), here.Path().c_str()), 0);

    ASSERT_EQ(SaveBestTable(SampleTable(5), here.Path(), disk), SaveOutcome::Saved);

    EXPECT_EQ(LinkText(here.Path()), text);
    EXPECT_EQ(ReadFile(target), TableBytes(SampleTable(5)));
    EXPECT_EQ(there.Entries(), std::vector<std::string>{"scores.dat"});
}

INSTANTIATE_TEST_SUITE_P(Targets, LinkTest, ::testing::Values(false, true),
                         [](const auto& row) { return std::string(row.param ? "relative" : "absolute"); });

TEST(LinkChainTest, DanglingChainIsFollowedFromTheDirectoryOfEachLink)
{
    PosixFileSystem disk;
    // record.dat -> ../there/hop.dat -> scores.dat: the second link's relative text names
    // a file next to it, not next to record.dat.
    TempDir here;
    TempDir there;
    const std::string hopText = "../" + BaseName(there.Dir()) + "/hop.dat";
    ASSERT_EQ(symlink(hopText.c_str(), here.Path().c_str()), 0);
    ASSERT_EQ(symlink("scores.dat", there.Path("hop.dat").c_str()), 0);

    BestTable table;
    LoadBestTable(table, here.Path(), disk);
    EXPECT_EQ(ReadFile(there.Path("scores.dat")), TableBytes(FreshTable()));
    ASSERT_EQ(SaveBestTable(SampleTable(), here.Path(), disk), SaveOutcome::Saved);

    EXPECT_EQ(ReadFile(there.Path("scores.dat")), TableBytes(SampleTable()));
    EXPECT_EQ(LinkText(here.Path()), hopText);
    EXPECT_EQ(LinkText(there.Path("hop.dat")), "scores.dat");
    EXPECT_EQ(here.Entries(), OnlyTheRecordFile);
    EXPECT_EQ(there.Entries(), (std::vector<std::string>{"hop.dat", "scores.dat"}));
}

TEST(LinkChainTest, LinkLoopIsAnInvalidFilenameAndStaysALink)
{
    PosixFileSystem disk;
    TempDir dir;
    ASSERT_EQ(symlink("record.dat", dir.Path().c_str()), 0);
    BestTable table;
    EXPECT_EQ(ErrorCodeOf([&] { LoadBestTable(table, dir.Path(), disk); }), IoCode::InvalidFilename);
    EXPECT_EQ(ErrorCodeOf([&] { SaveBestTable(SampleTable(), dir.Path(), disk); }), IoCode::InvalidFilename);
    EXPECT_EQ(LinkText(dir.Path()), "record.dat");
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
}

TEST(RecordFileTest, FileNameIsResolvedInTheCurrentDirectoryAtEachOpen)
{
    PosixFileSystem disk;
    TempDir first;
    TempDir second;
    const auto home = std::filesystem::current_path();
    struct Restore {
        std::filesystem::path dir;
        ~Restore() { std::filesystem::current_path(dir); }
    } restore{home};

    std::filesystem::current_path(first.Dir());
    BestTable table;
    LoadBestTable(table, RecordFileName, disk);
    EXPECT_EQ(ReadFile(first.Path()), TableBytes(FreshTable()));

    std::filesystem::current_path(second.Dir());
    EXPECT_EQ(SaveBestTable(SampleTable(), RecordFileName, disk), SaveOutcome::Saved);
    EXPECT_EQ(ReadFile(second.Path()), TableBytes(SampleTable()));
    EXPECT_EQ(ReadFile(first.Path()), TableBytes(FreshTable()));
}

// --- Permissions, enforced for real: as root the operations run as an unprivileged user ---

struct ReadOnlyRow {
    unsigned mode;
    Runner runner;
};

void PrintTo(const ReadOnlyRow& row, std::ostream* out) { *out << std::oct << row.mode << std::dec; }

class ReadOnlyFileTest : public ::testing::TestWithParam<ReadOnlyRow> {};

TEST_P(ReadOnlyFileTest, ReadOnlyFileLoadsFreshWithAccessDeniedAndEverySaveIsSkipped)
{
    PosixFileSystem disk;
    // A file without any write bit is read-only also to root: players protect their
    // records that way, and the game is often run as root in containers.
    TempDir dir;
    const Bytes content = TableBytes(SampleTable());
    WriteFile(dir.Path(), content);
    SetMode(dir.Path(), GetParam().mode);
    SetMode(dir.Dir(), 0777); // the directory itself is writable: only the file says no

    const ChildReport report = RunAs(GetParam().runner, [&](ChildReport& out) {
        BestTable table = SampleTable(2);
        try {
            LoadBestTable(table, dir.Path(), disk);
        } catch (const IoError& error) {
            out.errorCode = error.Code();
        }
        out.table = EncodeTable(table);
        out.skipped = SaveBestTable(SampleTable(5), dir.Path(), disk) == SaveOutcome::Skipped &&
                      SaveBestTable(SampleTable(6), dir.Path(), disk) == SaveOutcome::Skipped;
    });

    ASSERT_STREQ(report.failure, "");
    EXPECT_EQ(report.errorCode, IoCode::AccessDenied);
    EXPECT_EQ(IoErrorBoxText(report.errorCode), "File access denied.");
    EXPECT_EQ(DecodeTable(report.table), FreshTable());
    EXPECT_TRUE(report.skipped);
    EXPECT_EQ(PermissionsOf(dir.Path()), GetParam().mode);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
    SetMode(dir.Path(), 0400); // so that these tests can look, also when not run as root
    EXPECT_EQ(ReadFile(dir.Path()), content);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ReadOnlyFileTest,
    ::testing::Values(ReadOnlyRow{0444, Runner::Self}, ReadOnlyRow{0444, Runner::Player},
                      ReadOnlyRow{0400, Runner::Self}, ReadOnlyRow{0555, Runner::Self},
                      ReadOnlyRow{0000, Runner::Self}),
    [](const auto& row) {
        char name[32];
        std::snprintf(name, sizeof name, "mode_%04o_%s", row.param.mode,
                      row.param.runner == Runner::Self ? "as_this_process" : "as_player");
        return std::string(name);
    });

TEST(UnreadableFileTest, UnreadableFileIsNotTruncated)
{
    PosixFileSystem disk;
    TempDir dir;
    const Bytes content = TableBytes(SampleTable());
    WriteFile(dir.Path(), content);
    SetMode(dir.Path(), 0000);
    SetMode(dir.Dir(), 0777);

    const ChildReport report = RunAsPlayer([&](ChildReport& out) {
        BestTable table;
        try {
            LoadBestTable(table, dir.Path(), disk);
        } catch (const IoError& error) {
            out.errorCode = error.Code();
        }
        out.table = EncodeTable(table);
    });

    ASSERT_STREQ(report.failure, "");
    EXPECT_EQ(report.errorCode, IoCode::AccessDenied);
    EXPECT_EQ(DecodeTable(report.table), FreshTable());
    EXPECT_EQ(PermissionsOf(dir.Path()), 0u);
    SetMode(dir.Path(), 0600); // so that these tests can look, also when not run as root
    EXPECT_EQ(ReadFile(dir.Path()), content);
}

TEST(ReadOnlyDirectoryTest, MissingFileInAReadOnlyDirectoryGivesAccessDeniedAndSavesAreSkipped)
{
    PosixFileSystem disk;
    TempDir dir;
    SetMode(dir.Dir(), 0555);

    const ChildReport report = RunAsPlayer([&](ChildReport& out) {
        BestTable table;
        try {
            LoadBestTable(table, dir.Path(), disk);
        } catch (const IoError& error) {
            out.errorCode = error.Code();
        }
        out.table = EncodeTable(table);
        out.skipped = SaveBestTable(SampleTable(), dir.Path(), disk) == SaveOutcome::Skipped;
    });

    ASSERT_STREQ(report.failure, "");
    EXPECT_EQ(report.errorCode, IoCode::AccessDenied);
    EXPECT_EQ(DecodeTable(report.table), FreshTable());
    EXPECT_TRUE(report.skipped);
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(ReadOnlyDirectoryTest, WritableFileInAReadOnlyDirectoryIsLoadedAndSavedInPlace)
{
    PosixFileSystem disk;
    // Replacing the file needs the directory; without it the file, which may be written,
    // is overwritten in place.
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(SampleTable()));
    SetMode(dir.Path(), 0666);
    SetMode(dir.Dir(), 0555);
    const ino_t inode = StatusOf(dir.Path()).st_ino;

    const ChildReport report = RunAsPlayer([&](ChildReport& out) {
        BestTable table;
        LoadBestTable(table, dir.Path(), disk);
        out.table = EncodeTable(table);
        try {
            out.skipped = SaveBestTable(SampleTable(9), dir.Path(), disk) == SaveOutcome::Skipped;
        } catch (const IoError& error) {
            out.errorCode = error.Code();
        }
    });

    ASSERT_STREQ(report.failure, "");
    EXPECT_EQ(DecodeTable(report.table), SampleTable());
    EXPECT_FALSE(report.skipped);
    EXPECT_EQ(report.errorCode, 0);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(SampleTable(9)));
    EXPECT_EQ(StatusOf(dir.Path()).st_ino, inode);
    EXPECT_EQ(PermissionsOf(dir.Path()), 0666u);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
}

TEST(ReadOnlyDirectoryTest, SomeoneElsesWritableFileInAStickyDirectoryIsSavedInPlace)
{
    PosixFileSystem disk;
    // In a sticky directory a player may create files but not replace one owned by
    // someone else; a file that lets the player write is still written.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to own the file the player is not allowed to replace";
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(SampleTable()));
    SetMode(dir.Path(), 0666);
    SetMode(dir.Dir(), 01777);
    const ino_t inode = StatusOf(dir.Path()).st_ino;

    const ChildReport report = RunAsPlayer([&](ChildReport& out) {
        try {
            out.skipped = SaveBestTable(SampleTable(9), dir.Path(), disk) == SaveOutcome::Skipped;
        } catch (const IoError& error) {
            out.errorCode = error.Code();
        }
    });

    ASSERT_STREQ(report.failure, "");
    EXPECT_FALSE(report.skipped);
    EXPECT_EQ(report.errorCode, 0);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(SampleTable(9)));
    EXPECT_EQ(StatusOf(dir.Path()).st_ino, inode);
    EXPECT_EQ(StatusOf(dir.Path()).st_uid, 0u);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile); // the player's temporary file is gone
}

} // namespace
} // namespace tovra
