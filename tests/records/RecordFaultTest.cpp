// The ways a save could lose records or mislead the player: backups of the player's own,
// copies that do not exclude each other, owners taken away, locks that cannot be taken,
// files cut short, retries, waits, things that are not files, and messages.
#include "records/RecordFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tovra {
namespace {

using namespace tovra::testing;
using Call = FaultyFileSystem::Call;

// The path itself, a link as a link.
struct stat LinkStatusOf(const std::string& path)
{
    struct stat status {};
    EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
    return status;
}

// The text of the error `operation` throws, or "" when none.
template <typename Operation>
std::string ErrorTextOf(Operation operation)
{
    try {
        operation();
    } catch (const IoError& error) {
        return error.BoxText();
    }
    return "";
}

// Another copy of the game in the middle of its save: it holds the lock on record.dat.
class OtherCopyHolding {
public:
    explicit OtherCopyHolding(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        EXPECT_EQ(flock(fd_, LOCK_EX | LOCK_NB), 0);
    }
    ~OtherCopyHolding() { Release(); }
    void Release()
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// --- A player's own copies of the file are never taken for leftovers ---

class PlayersCopyTest : public ::testing::TestWithParam<const char*> {};

TEST_P(PlayersCopyTest, CopyOfThePlayerSurvivesStartUpAndSave)
{
    PosixFileSystem disk;
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(FreshTable()));
    WriteFile(dir.Path(GetParam()), PatternBytes(TableSize));
    RecordFile file(dir.Path(), disk);
    BestTable table;
    file.Load(table);
    ASSERT_EQ(Finish(file, table, FinishedGame("Kept", 50)), SaveOutcome::Saved);
    EXPECT_EQ(ReadFile(dir.Path(GetParam())), PatternBytes(TableSize));
}

INSTANTIATE_TEST_SUITE_P(Names, PlayersCopyTest,
                         ::testing::Values("record.dat.BACKUP", "record.dat.Backup", "record.dat.241208",
                                           "record.dat.2024Dc", "record.dat.OLD123"));

// --- Every copy locks record.dat itself, whatever lies at other names ---

enum class AtOldLockName { Nothing, Folder, LinkElsewhere, SomeoneElsesFile };

class SameLockTest : public ::testing::TestWithParam<AtOldLockName> {};

TEST_P(SameLockTest, SaveWaitsForTheCopyHoldingTheFileAndThenSaysSo)
{
    TempDir dir;
    const Bytes before = TableBytes(TableOf({FinishedGame("Theirs", 60)}));
    WriteFile(dir.Path(), before);
    const std::string lockName = dir.Path("record.dat.lock");
    switch (GetParam()) {
    case AtOldLockName::Nothing: break;
    case AtOldLockName::Folder: ASSERT_EQ(mkdir(lockName.c_str(), 0700), 0); break;
    case AtOldLockName::LinkElsewhere: ASSERT_EQ(symlink("/nonexistent/lock", lockName.c_str()), 0); break;
    case AtOldLockName::SomeoneElsesFile:
        WriteFile(lockName, {});
        SetMode(lockName, 0400);
        break;
    }
    FaultyFileSystem files;
    files.UseFakeClock(100);
    RecordFile file(dir.Path(), files);
    BestTable table;
    file.Load(table);
    OtherCopyHolding other(dir.Path());

    EXPECT_EQ(ErrorTextOf([&] { Finish(file, table, FinishedGame("Mine", 70)); }),
              IoError::AnotherCopySaving("record.dat").BoxText());
    EXPECT_EQ(ReadFile(dir.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(Names, SameLockTest,
                         ::testing::Values(AtOldLockName::Nothing, AtOldLockName::Folder, AtOldLockName::LinkElsewhere,
                                           AtOldLockName::SomeoneElsesFile));

// --- A lock that cannot be taken: nothing written, and the player told ---

class LockRefusedTest : public ::testing::TestWithParam<int> {};

TEST_P(LockRefusedTest, SaveWithoutTheLockWritesNothing)
{
    TempDir dir;
    const Bytes before = TableBytes(FreshTable());
    WriteFile(dir.Path(), before);
    FaultyFileSystem files;
    RecordFile file(dir.Path(), files);
    BestTable table;
    file.Load(table);
    files.Fail(Call::TryLock, GetParam(), files.Calls(Call::TryLock) + 1);

    EXPECT_EQ(ErrorTextOf([&] { Finish(file, table, FinishedGame("Mine", 70)); }),
              IoError::CannotLock("record.dat", GetParam()).BoxText());
    EXPECT_EQ(ReadFile(dir.Path()), before);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"record.dat"});
}

INSTANTIATE_TEST_SUITE_P(Errors, LockRefusedTest, ::testing::Values(ENOLCK, EINVAL, EBADF));

// --- Owner, group and mode stay what they were ---

struct OwnerRow {
    const char* situation;
    uid_t owner;
    gid_t group;
    unsigned mode;
    Runner runner;
};

void PrintTo(const OwnerRow& row, std::ostream* out) { *out << row.situation; }

class OwnerTest : public ::testing::TestWithParam<OwnerRow> {};

TEST_P(OwnerTest, SaveKeepsOwnerGroupAndMode)
{
    PosixFileSystem disk;
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give the file an owner other than the tester";
    const OwnerRow& row = GetParam();
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(FreshTable()));
    ASSERT_EQ(chown(dir.Path().c_str(), row.owner, row.group), 0);
    SetMode(dir.Path(), row.mode);
    SetMode(dir.Dir(), 0777);

    const ChildReport report = RunAs(row.runner, [&](ChildReport& out) {
        RecordFile file(dir.Path(), disk);
        BestTable table;
        file.Load(table);
        out.skipped = Finish(file, table, FinishedGame("Mine", 70)) != SaveOutcome::Saved;
        out.table = EncodeTable(table);
    });

    ASSERT_STREQ(report.failure, "");
    EXPECT_FALSE(report.skipped);
    const struct stat after = LinkStatusOf(dir.Path());
    EXPECT_EQ(after.st_uid, row.owner);
    EXPECT_EQ(after.st_gid, row.group);
    EXPECT_EQ(after.st_mode & 07777, row.mode);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(DecodeTable(report.table)));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"record.dat"});
}

INSTANTIATE_TEST_SUITE_P(Owners, OwnerTest,
                         ::testing::Values(OwnerRow{"root_saves_a_players_file", 65534, 65534, 0640, Runner::Self},
                                           OwnerRow{"root_saves_a_group_file", 65534, 100, 0664, Runner::Self},
                                           OwnerRow{"player_saves_roots_shared_file", 0, 0, 0666, Runner::Player}),
                         [](const auto& row) { return std::string(row.param.situation); });

// --- A file cut short after start-up is a failed read ---

class CutShortTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(CutShortTest, NothingIsMergedIntoAFileCutShortAfterStartUp)
{
    PosixFileSystem disk;
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(TableOf({FinishedGame("Stored", 80)})));
    RecordFile file(dir.Path(), disk);
    BestTable table;
    file.Load(table);
    Bytes cut = ReadFile(dir.Path());
    cut.resize(GetParam());
    WriteFile(dir.Path(), cut);

    EXPECT_EQ(ErrorTextOf([&] { Finish(file, table, FinishedGame("Mine", 70)); }), "Read beyond end of file.");
    EXPECT_EQ(ReadFile(dir.Path()), cut);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CutShortTest, ::testing::Values(0, 144, 2879));

// --- A retry after a failed overwrite in place stores the game once ---

struct RetryRow {
    const char* situation;
    Call call;
    int error; // 0: the disk fills up after `room` bytes of the overwrite
    std::size_t room = 0;
};

void PrintTo(const RetryRow& row, std::ostream* out) { *out << row.situation; }

class RetryTest : public ::testing::TestWithParam<RetryRow> {};

TEST_P(RetryTest, RetryAfterAFailedOverwriteStoresTheGameOnce)
{
    TempDir dir;
    std::vector<BestRecord> stored;
    for (int k = 0; k < 10; ++k)
        stored.push_back(FinishedGame("Stored " + std::to_string(k), 90 - k));
    WriteFile(dir.Path(), TableBytes(TableOf(stored)));
    FaultyFileSystem files;
    files.Fail(Call::CreateExclusive, EACCES); // the folder refuses a new file: overwrite in place
    RecordFile file(dir.Path(), files);
    BestTable table;
    file.Load(table);
    const RetryRow& row = GetParam();
    if (row.error == 0)
        files.LimitDiskSpace(row.room);
    else
        files.Fail(row.call, row.error, files.Calls(row.call) + 1);
    const BestRecord game = FinishedGame("Mine", 95);

    EXPECT_NE(ErrorTextOf([&] { Finish(file, table, game); }), "");
    files.LimitDiskSpace(static_cast<std::size_t>(-1));
    files.Fail(Call::CreateExclusive, EACCES, files.Calls(Call::CreateExclusive) + 1);
    ASSERT_EQ(file.Save(table, game), SaveOutcome::Saved);

    std::vector<BestRecord> expected = stored;
    expected.insert(expected.begin(), game);
    EXPECT_EQ(table, TableOf(expected));
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(TableOf(expected)));
}

INSTANTIATE_TEST_SUITE_P(Failures, RetryTest,
                         ::testing::Values(RetryRow{"nothing_written", Call::WriteAt, EIO},
                                           RetryRow{"half_written", Call::WriteAt, 0, 1000},
                                           RetryRow{"all_written_sync_failed", Call::Sync, EIO},
                                           RetryRow{"all_written_close_failed", Call::Close, EIO}),
                         [](const auto& row) { return std::string(row.param.situation); });

TEST(RetryTest, AnotherCopysSaveOfTheHalfWrittenFileKeepsBothGamesOnce)
{
    PosixFileSystem disk;
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(TableOf({FinishedGame("Stored", 80)})));
    FaultyFileSystem files;
    files.Fail(Call::CreateExclusive, EACCES);
    RecordFile mine(dir.Path(), files);
    RecordFile theirs(dir.Path(), disk);
    BestTable myTable;
    BestTable theirTable;
    mine.Load(myTable);
    theirs.Load(theirTable);
    files.Fail(Call::Sync, EIO); // our whole table is written, the sync fails
    const BestRecord myGame = FinishedGame("Mine", 95);
    EXPECT_NE(ErrorTextOf([&] { Finish(mine, myTable, myGame); }), "");

    // The other copy reads our table, adds its game and saves before we try again.
    ASSERT_EQ(Finish(theirs, theirTable, FinishedGame("Theirs", 85)), SaveOutcome::Saved);
    files.Fail(Call::CreateExclusive, EACCES, files.Calls(Call::CreateExclusive) + 1);
    ASSERT_EQ(mine.Save(myTable, myGame), SaveOutcome::Saved);

    const BestTable all = TableOf({myGame, FinishedGame("Theirs", 85), FinishedGame("Stored", 80)});
    EXPECT_EQ(myTable, all);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(all));
}

// --- One deadline for the whole save, the window served meanwhile ---

struct WaitRow {
    const char* situation;
    int releaseAfter; // waits until the other copy is done; 0: it never is
};

void PrintTo(const WaitRow& row, std::ostream* out) { *out << row.situation; }

class WaitTest : public ::testing::TestWithParam<WaitRow> {};

TEST_P(WaitTest, WaitForAnotherCopyIsBoundedAndServesTheWindow)
{
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(FreshTable()));
    FaultyFileSystem files;
    files.UseFakeClock(100);
    RecordFile file(dir.Path(), files);
    BestTable table;
    file.Load(table);
    OtherCopyHolding other(dir.Path());
    int waits = 0;
    file.SetWaiting([&] {
        if (++waits == GetParam().releaseAfter)
            other.Release();
    });
    const std::int64_t start = files.NowMs();

    const std::string error = ErrorTextOf([&] { Finish(file, table, FinishedGame("Mine", 70)); });

    if (GetParam().releaseAfter == 0) {
        EXPECT_EQ(error, IoError::AnotherCopySaving("record.dat").BoxText());
        EXPECT_GT(waits, 10);
        EXPECT_LE(files.NowMs() - start, 6000); // the clock moves 100 ms at each look
        EXPECT_EQ(ReadFile(dir.Path()), TableBytes(FreshTable()));
    } else {
        EXPECT_EQ(error, "");
        EXPECT_EQ(waits, GetParam().releaseAfter);
        EXPECT_EQ(ReadFile(dir.Path()), TableBytes(TableOf({FinishedGame("Mine", 70)})));
    }
}

INSTANTIATE_TEST_SUITE_P(Waits, WaitTest,
                         ::testing::Values(WaitRow{"other_copy_done_at_once", 1}, WaitRow{"other_copy_done_later", 20},
                                           WaitRow{"other_copy_never_done", 0}),
                         [](const auto& row) { return std::string(row.param.situation); });

// --- Names that are not regular files are never replaced nor written ---

enum class NotAFile { LinkToNullDevice, Fifo, Folder, Socket };

class NotAFileTest : public ::testing::TestWithParam<NotAFile> {};

TEST_P(NotAFileTest, NameThatIsNoRegularFileStaysWhatItIs)
{
    PosixFileSystem disk;
    TempDir dir;
    const std::string path = dir.Path();
    std::string expected; // the start-up's message
    switch (GetParam()) {
    case NotAFile::LinkToNullDevice: ASSERT_EQ(symlink("/dev/null", path.c_str()), 0); break;
    case NotAFile::Fifo:
        ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
        expected = IoError::NotAFile("record.dat", FileKind::Fifo).BoxText();
        break;
    case NotAFile::Folder:
        ASSERT_EQ(mkdir(path.c_str(), 0777), 0);
        expected = IoError::NotAFile("record.dat", FileKind::Directory).BoxText();
        break;
    case NotAFile::Socket: {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(path.size(), sizeof address.sun_path);
        std::copy(path.begin(), path.end(), address.sun_path);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        close(fd);
        expected = IoError::NotAFile("record.dat", FileKind::Socket).BoxText();
        break;
    }
    }
    const struct stat before = LinkStatusOf(path);
    const struct stat nullBefore = LinkStatusOf("/dev/null");

    RecordFile file(path, disk);
    BestTable table;
    EXPECT_EQ(ErrorTextOf([&] { file.Load(table); }), expected);
    EXPECT_EQ(table, FreshTable());
    EXPECT_EQ(Finish(file, table, FinishedGame("Mine", 70)), SaveOutcome::Skipped);
    // A copy that started before the name changed is told at its save, except for the null
    // device, which means no scores are kept.
    RecordFile earlier(path, disk);
    BestTable earlierTable = FreshTable();
    EXPECT_EQ(ErrorTextOf([&] { Finish(earlier, earlierTable, FinishedGame("Mine", 70)); }), expected);

    const struct stat after = LinkStatusOf(path);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(LinkStatusOf("/dev/null").st_rdev, nullBefore.st_rdev);
    EXPECT_TRUE(S_ISCHR(LinkStatusOf("/dev/null").st_mode));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"record.dat"});
}

INSTANTIATE_TEST_SUITE_P(Kinds, NotAFileTest,
                         ::testing::Values(NotAFile::LinkToNullDevice, NotAFile::Fifo, NotAFile::Folder,
                                           NotAFile::Socket),
                         [](const auto& row) {
                             switch (row.param) {
                             case NotAFile::LinkToNullDevice: return std::string("link_to_null_device");
                             case NotAFile::Fifo: return std::string("fifo");
                             case NotAFile::Folder: return std::string("folder");
                             case NotAFile::Socket: return std::string("socket");
                             }
                             return std::string();
                         });

// --- Messages that say what happened ---

TEST(MessageTest, TemporaryFileRemovedBySomeoneElseIsSaidSo)
{
    TempDir dir;
    const Bytes before = TableBytes(FreshTable());
    WriteFile(dir.Path(), before);
    FaultyFileSystem files;
    RecordFile file(dir.Path(), files);
    BestTable table;
    file.Load(table);
    files.beforeCall = [&](Call call, int) {
        if (call != Call::Rename)
            return;
        for (const std::string& entry : dir.Entries())
            if (entry != "record.dat")
                unlink(dir.Path(entry).c_str());
    };

    EXPECT_EQ(ErrorTextOf([&] { Finish(file, table, FinishedGame("Mine", 70)); }),
              IoError::TemporaryFileRemoved("record.dat").BoxText());
    EXPECT_EQ(ReadFile(dir.Path()), before);
}

TEST(MessageTest, MessagesNameTheCauseAndTheWayOut)
{
    EXPECT_EQ(IoError::AnotherCopySaving("record.dat").BoxText(),
              "Another copy of the game is saving record.dat right now. Click Ok to try again.");
    EXPECT_EQ(IoError::NotAFile("record.dat", FileKind::Fifo).BoxText(),
              "record.dat is a FIFO, not a file: the game neither reads nor writes it.");
    EXPECT_EQ(IoError::TemporaryFileRemoved("record.dat").BoxText(),
              "Someone else removed the game's temporary file for record.dat before it was in place; "
              "record.dat is unchanged.");
}

// --- Start-up: a change during the read is seen, leftovers are cleared ---

TEST(StartUpTest, ChangeBetweenTheReadAndItsCloseIsSeenByTheNextRefresh)
{
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(FreshTable()));
    const BestTable theirs = TableOf({FinishedGame("Theirs", 60)});
    FaultyFileSystem files;
    files.beforeCall = [&](Call call, int count) {
        if (call == Call::Close && count == 1) { // the file just read: another copy replaces it
            WriteFile(dir.Path("theirs"), TableBytes(theirs));
            rename(dir.Path("theirs").c_str(), dir.Path().c_str());
        }
    };
    RecordFile file(dir.Path(), files);
    BestTable table;
    file.Load(table);
    files.beforeCall = nullptr;
    ASSERT_EQ(table, FreshTable());

    EXPECT_TRUE(file.Refresh(table));
    EXPECT_EQ(table, theirs);
}

TEST(StartUpTest, StartUpClearsLeftoversOfAKilledSave)
{
    PosixFileSystem disk;
    TempDir dir;
    WriteFile(dir.Path(), TableBytes(FreshTable()));
    WriteFile(dir.Path(".record.dat.unfinished-save-Xy12Ab"), PatternBytes(1000));
    BestTable table;
    LoadBestTable(table, dir.Path(), disk);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"record.dat"});
}

} // namespace
} // namespace tovra
