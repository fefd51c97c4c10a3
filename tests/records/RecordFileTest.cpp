#include "records/RecordFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tovra {
namespace {

using namespace tovra::testing;
using Call = FaultyFileSystem::Call;

const std::vector<std::string> OnlyTheRecordFile = {"record.dat"};

// A table with every field of every record set, none of it fresh.
BestTable SampleTable(unsigned seed = 1)
{
    std::mt19937 random(seed);
    BestTable table;
    for (BestRecord& record : table.Records) {
        SetRecordName(record, "Player \u00e9" + std::to_string(random() % 1000));
        record.Score = static_cast<std::uint8_t>(random() % 100 + 1);
        record.SetDate(38000.0 + random() % 5000);
        for (auto& cell : record.SchemeBytes)
            cell = static_cast<std::uint8_t>(random() % 101);
        record.Reserved = {1, 2, 3, 4};
    }
    return table;
}

BestTable TableOf(const std::array<std::uint8_t, TableSize>& image)
{
    return DecodeTable(image);
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
    TempDir dir;
    UmaskScope mask(022);
    BestTable table = SampleTable();
    LoadBestTable(table, dir.Path());
    EXPECT_EQ(table, FreshTable());
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(FreshTable()));
    EXPECT_EQ(PermissionsOf(dir.Path()), 0644u);
}

TEST(LoadBestTableTest, ExistingFileIsLoadedAndNotWritten)
{
    TempDir dir;
    const Bytes content = PatternBytes(TableSize);
    WriteFile(dir.Path(), content);
    const timespec longAgo[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.Path().c_str(), longAgo, 0), 0);
    const struct stat before = StatusOf(dir.Path());

    BestTable table;
    LoadBestTable(table, dir.Path());

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
    TempDir dir;
    WriteFile(dir.Path(), {});
    BestTable table = FreshTable();
    EXPECT_EQ(ErrorCodeOf([&] { LoadBestTable(table, dir.Path()); }), IoCode::ReadBeyondEnd);
    for (int rank = 1; rank <= RecordCount; ++rank) {
        EXPECT_EQ(table.ByRank(rank), ZeroRecord());
        EXPECT_EQ(RecordName(table.ByRank(rank)), "");
        EXPECT_FALSE(HoldsGame(table.ByRank(rank)));
    }
}

TEST(LoadBestTableTest, LongerFileIsReadToItsFirst2880BytesAndShortenedByTheNextSave)
{
    TempDir dir;
    const Bytes content = PatternBytes(3000);
    WriteFile(dir.Path(), content);

    BestTable table;
    LoadBestTable(table, dir.Path());
    EXPECT_EQ(TableBytes(table), Bytes(content.begin(), content.begin() + TableSize));
    EXPECT_EQ(ReadFile(dir.Path()).size(), 3000u);

    EXPECT_EQ(SaveBestTable(table, dir.Path()), SaveOutcome::Saved);
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
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.Path().c_str(), 0666), 0);
    BestTable table;
    EXPECT_EQ(ErrorCodeOf([&] { LoadBestTable(table, dir.Path()); }), EAGAIN);
    EXPECT_EQ(TableBytes(table), Bytes(TableSize, 0));
}

// --- Saving ---

TEST(SaveBestTableTest, EveryFieldSurvivesASaveAndALoad)
{
    TempDir dir;
    const BestTable saved = SampleTable(7);
    ASSERT_EQ(SaveBestTable(saved, dir.Path()), SaveOutcome::Saved);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(saved));
    BestTable loaded;
    LoadBestTable(loaded, dir.Path());
    EXPECT_EQ(loaded, saved);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
}

TEST(SaveBestTableTest, SaveReplacesTheFileAndKeepsItsPermissions)
{
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(FreshTable()));
    SetMode(dir.Path(), 0640);
    const ino_t oldInode = StatusOf(dir.Path()).st_ino;

    ASSERT_EQ(SaveBestTable(SampleTable(), dir.Path()), SaveOutcome::Saved);
    EXPECT_EQ(PermissionsOf(dir.Path()), 0640u);
    EXPECT_NE(StatusOf(dir.Path()).st_ino, oldInode); // written aside and renamed over
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(SampleTable()));
}

TEST(SaveBestTableTest, NewFileTakesTheUmask)
{
    TempDir dir;
    UmaskScope mask(027);
    ASSERT_EQ(SaveBestTable(SampleTable(), dir.Path()), SaveOutcome::Saved);
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
                      FailedSaveRow{"close_fails", Call::Close, EDQUOT, IoCode::DiskFull, 2},
                      FailedSaveRow{"rename_fails", Call::Rename, EXDEV, EXDEV},
                      FailedSaveRow{"permissions_cannot_be_kept", Call::SetPermissions, EINVAL, EINVAL},
                      FailedSaveRow{"old_file_cannot_be_examined", Call::PermissionsOf, EOVERFLOW, EOVERFLOW},
                      FailedSaveRow{"too_many_open_files", Call::CreateExclusive, EMFILE, IoCode::TooManyOpenFiles},
                      FailedSaveRow{"no_room_for_a_directory_entry", Call::CreateExclusive, ENOSPC,
                                    IoCode::DiskFull}),
    [](const auto& row) { return std::string(row.param.situation); });

TEST(SaveBestTableTest, FailedCloseOfTheOldFileDoesNotStopTheSave)
{
    // The first close is of the old file, opened only to learn its permissions: nothing
    // was written through it. The second close, of the new file, is tested above.
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(FreshTable()));
    FaultyFileSystem files;
    files.Fail(Call::Close, EIO, 1);
    EXPECT_EQ(SaveBestTable(SampleTable(), dir.Path(), files), SaveOutcome::Saved);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(SampleTable()));
}

struct SkippedSaveRow {
    const char* situation;
    Call call;
    int error;
};

void PrintTo(const SkippedSaveRow& row, std::ostream* out) { *out << row.situation; }

class SkippedSaveTest : public ::testing::TestWithParam<SkippedSaveRow> {};

TEST_P(SkippedSaveTest, UnwritableFileOrDirectorySkipsTheSaveSilently)
{
    TempDir dir;
    const Bytes old = TableBytes(SampleTable(3));
    WriteFile(dir.Path(), old);
    FaultyFileSystem files;
    files.Fail(GetParam().call, GetParam().error);
    EXPECT_EQ(SaveBestTable(SampleTable(4), dir.Path(), files), SaveOutcome::Skipped);
    EXPECT_EQ(ReadFile(dir.Path()), old);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
    EXPECT_EQ(files.OpenDescriptors(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Denials, SkippedSaveTest,
    ::testing::Values(SkippedSaveRow{"file_access_denied", Call::OpenWriteOnly, EACCES},
                      SkippedSaveRow{"file_not_permitted", Call::OpenWriteOnly, EPERM},
                      SkippedSaveRow{"read_only_file_system", Call::OpenWriteOnly, EROFS},
                      SkippedSaveRow{"directory_access_denied", Call::CreateExclusive, EACCES},
                      SkippedSaveRow{"directory_on_read_only_file_system", Call::CreateExclusive, EROFS}),
    [](const auto& row) { return std::string(row.param.situation); });

TEST(SaveBestTableTest, OtherFailuresToOpenTheOldFileAreReported)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.Path().c_str(), 0755), 0);
    EXPECT_EQ(ErrorCodeOf([&] { SaveBestTable(FreshTable(), dir.Path()); }), EISDIR);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
}

TEST(SaveBestTableTest, DirectorySyncThatCannotOpenTheDirectoryIsNoFailure)
{
    TempDir dir;
    FaultyFileSystem files;
    files.Fail(Call::SyncDirectory, EACCES);
    EXPECT_EQ(SaveBestTable(SampleTable(), dir.Path(), files), SaveOutcome::Saved);
    files.Fail(Call::SyncDirectory, EIO, 2);
    EXPECT_EQ(ErrorCodeOf([&] { SaveBestTable(FreshTable(), dir.Path(), files); }), EIO);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(FreshTable())); // in place, just not known durable
}

TEST(RecordFileTest, FileNameIsResolvedInTheCurrentDirectoryAtEachOpen)
{
    TempDir first;
    TempDir second;
    const auto home = std::filesystem::current_path();
    struct Restore {
        std::filesystem::path dir;
        ~Restore() { std::filesystem::current_path(dir); }
    } restore{home};

    std::filesystem::current_path(first.Dir());
    BestTable table;
    LoadBestTable(table);
    EXPECT_EQ(ReadFile(first.Path()), TableBytes(FreshTable()));

    std::filesystem::current_path(second.Dir());
    EXPECT_EQ(SaveBestTable(SampleTable()), SaveOutcome::Saved);
    EXPECT_EQ(ReadFile(second.Path()), TableBytes(SampleTable()));
    EXPECT_EQ(ReadFile(first.Path()), TableBytes(FreshTable()));
}

// --- Permissions, enforced for real: as root the operations run as an unprivileged user ---

TEST(ReadOnlyFileTest, ReadOnlyFileLoadsFreshWithAccessDeniedAndEverySaveIsSkipped)
{
    TempDir dir;
    const Bytes content = TableBytes(SampleTable());
    WriteFile(dir.Path(), content);
    SetMode(dir.Path(), 0444);
    SetMode(dir.Dir(), 0777); // the directory itself is writable: only the file says no

    const ChildReport report = RunAsPlayer([&](ChildReport& out) {
        BestTable table = SampleTable(2);
        try {
            LoadBestTable(table, dir.Path());
        } catch (const IoError& error) {
            out.errorCode = error.Code();
        }
        out.table = EncodeTable(table);
        out.skipped = SaveBestTable(SampleTable(5), dir.Path()) == SaveOutcome::Skipped &&
                      SaveBestTable(SampleTable(6), dir.Path()) == SaveOutcome::Skipped;
    });

    ASSERT_STREQ(report.failure, "");
    EXPECT_EQ(report.errorCode, IoCode::AccessDenied);
    EXPECT_EQ(IoErrorBoxText(report.errorCode), "File access denied.");
    EXPECT_EQ(TableOf(report.table), FreshTable());
    EXPECT_TRUE(report.skipped);
    EXPECT_EQ(ReadFile(dir.Path()), content);
    EXPECT_EQ(PermissionsOf(dir.Path()), 0444u);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
}

TEST(ReadOnlyFileTest, UnreadableFileIsNotTruncated)
{
    TempDir dir;
    const Bytes content = TableBytes(SampleTable());
    WriteFile(dir.Path(), content);
    SetMode(dir.Path(), 0000);
    SetMode(dir.Dir(), 0777);

    const ChildReport report = RunAsPlayer([&](ChildReport& out) {
        BestTable table;
        try {
            LoadBestTable(table, dir.Path());
        } catch (const IoError& error) {
            out.errorCode = error.Code();
        }
        out.table = EncodeTable(table);
    });

    ASSERT_STREQ(report.failure, "");
    EXPECT_EQ(report.errorCode, IoCode::AccessDenied);
    EXPECT_EQ(TableOf(report.table), FreshTable());
    EXPECT_EQ(PermissionsOf(dir.Path()), 0u);
    SetMode(dir.Path(), 0600); // so that these tests can look, also when not run as root
    EXPECT_EQ(ReadFile(dir.Path()), content);
}

TEST(ReadOnlyDirectoryTest, MissingFileInAReadOnlyDirectoryGivesAccessDeniedAndSavesAreSkipped)
{
    TempDir dir;
    SetMode(dir.Dir(), 0555);

    const ChildReport report = RunAsPlayer([&](ChildReport& out) {
        BestTable table;
        try {
            LoadBestTable(table, dir.Path());
        } catch (const IoError& error) {
            out.errorCode = error.Code();
        }
        out.table = EncodeTable(table);
        out.skipped = SaveBestTable(SampleTable(), dir.Path()) == SaveOutcome::Skipped;
    });

    ASSERT_STREQ(report.failure, "");
    EXPECT_EQ(report.errorCode, IoCode::AccessDenied);
    EXPECT_EQ(TableOf(report.table), FreshTable());
    EXPECT_TRUE(report.skipped);
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(ReadOnlyDirectoryTest, WritableFileInAReadOnlyDirectoryIsLoadedAndKept)
{
    // Replacing the file needs the directory; without it the save is skipped, never done
    // by truncating the file in place.
    TempDir dir;
    const Bytes content = TableBytes(SampleTable());
    WriteFile(dir.Path(), content);
    SetMode(dir.Path(), 0666);
    SetMode(dir.Dir(), 0555);

    const ChildReport report = RunAsPlayer([&](ChildReport& out) {
        BestTable table;
        LoadBestTable(table, dir.Path());
        out.table = EncodeTable(table);
        out.skipped = SaveBestTable(FreshTable(), dir.Path()) == SaveOutcome::Skipped;
    });

    ASSERT_STREQ(report.failure, "");
    EXPECT_EQ(TableOf(report.table), SampleTable());
    EXPECT_TRUE(report.skipped);
    EXPECT_EQ(ReadFile(dir.Path()), content);
    EXPECT_EQ(dir.Entries(), OnlyTheRecordFile);
}

} // namespace
} // namespace tovra
