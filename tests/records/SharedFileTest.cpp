// Several copies of the game on one "record.dat": saves that keep each other's games, a
// file that could not be read, temporary files of a killed save.
#include "records/RecordFile.h"

#include "TestFiles.h"
#include "core/SplitMix64.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <span>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tovra {
namespace {

using namespace tovra::testing;

// Two copies of the game in one folder, each with the table it loaded at its start.
class TwoCopiesTest : public ::testing::Test {
protected:
    TwoCopiesTest()
    {
        first.Load(firstTable);
        second.Load(secondTable);
    }

    TempDir dir;
    PosixFileSystem disk;
    RecordFile first{dir.Path(), disk};
    RecordFile second{dir.Path(), disk};
    BestTable firstTable;
    BestTable secondTable;
};

TEST_F(TwoCopiesTest, BothCopiesGamesAreKept)
{
    // The copies save games in turn, each from its own table.

    EXPECT_EQ(Finish(first, firstTable, FinishedGame("First", 30)), SaveOutcome::Saved);
    EXPECT_EQ(Finish(second, secondTable, FinishedGame("Second", 40)), SaveOutcome::Saved);
    const BestTable both = TableOf({FinishedGame("Second", 40), FinishedGame("First", 30)});
    EXPECT_EQ(secondTable, both); // the Best 20 window that follows shows both games
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(both));

    // The first copy's table is stale now; its next save still keeps the second game.
    EXPECT_EQ(Finish(first, firstTable, FinishedGame("Third", 35)), SaveOutcome::Saved);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(TableOf({FinishedGame("Second", 40), FinishedGame("Third", 35), FinishedGame("First", 30)})));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"record.dat"});
}

TEST_F(TwoCopiesTest, GameThatNoLongerRanksInTheNewerTableIsNotWritten)
{
    std::vector<BestRecord> twenty;
    for (int k = 0; k < RecordCount; ++k)
        twenty.push_back(FinishedGame("High " + std::to_string(k), 90 - k));
    ASSERT_EQ(SaveBestTable(TableOf(twenty), dir.Path(), disk), SaveOutcome::Saved);
    first.Refresh(firstTable);

    EXPECT_EQ(Finish(second, secondTable, FinishedGame("Low", 10)), SaveOutcome::NoLongerRanks);
    EXPECT_EQ(secondTable, TableOf(twenty));
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(TableOf(twenty)));
}

TEST_F(TwoCopiesTest, RefreshReadsTheFileOnlyWhenItChanged)
{
    EXPECT_FALSE(first.Refresh(firstTable));

    ASSERT_EQ(Finish(second, secondTable, FinishedGame("Second", 40)), SaveOutcome::Saved);
    EXPECT_TRUE(first.Refresh(firstTable));
    EXPECT_EQ(firstTable, secondTable);
    EXPECT_FALSE(first.Refresh(firstTable));

    // A file that cannot be read leaves the table in memory as it is.
    ASSERT_EQ(unlink(dir.Path().c_str()), 0);
    ASSERT_EQ(mkfifo(dir.Path().c_str(), 0666), 0);
    EXPECT_FALSE(first.Refresh(firstTable));
    EXPECT_EQ(firstTable, secondTable);
}

TEST(TwoProcessesTest, SavingAtOnceLoseNoGame)
{
    PosixFileSystem disk;
    // Both copies load the fresh table, then save 20 games each as fast as they can. Scores
    // are all distinct, so the file must end as the 20 best of the 40 games.
    TempDir dir;
    std::vector<RecordFile> copies{RecordFile(dir.Path(), disk), RecordFile(dir.Path(), disk)};
    std::vector<BestTable> tables(2);
    for (int copy = 0; copy < 2; ++copy)
        copies[copy].Load(tables[copy]);
    std::vector<pid_t> children;
    for (int copy = 0; copy < 2; ++copy) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int failures = 0;
            for (int game = 0; game < 20; ++game) {
                try {
                    const int score = 1 + 2 * game + copy;
                    Finish(copies[copy], tables[copy], FinishedGame("Copy " + std::to_string(copy), score));
                } catch (const IoError&) {
                    ++failures;
                }
            }
            _exit(failures);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    std::vector<BestRecord> best;
    for (int score = 40; score > 20; --score)
        best.push_back(FinishedGame("Copy " + std::to_string((score - 1) % 2), score));
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(TableOf(best)));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"record.dat"});
}

// --- A file that exists but could not be read at start-up ---

// Every read fails, as on a failing disk, until it is mended.
class UnreadableFileSystem : public PosixFileSystem {
public:
    ssize_t Read(int fd, void* buffer, std::size_t size) override
    {
        return failing ? -EIO : PosixFileSystem::Read(fd, buffer, size);
    }
    bool failing = true;
};

enum class Unreadable { ReadError, WriteOnlyFileForAPlayer, Fifo };

class UnreadableAtStartTest : public ::testing::TestWithParam<Unreadable> {};

TEST_P(UnreadableAtStartTest, UnreadableFileKeepsItsBytesAfterAGameIsSaved)
{
    TempDir dir;
    const Bytes content = TableBytes(TableOf({FinishedGame("Stored", 80)}));
    if (GetParam() == Unreadable::Fifo)
        ASSERT_EQ(mkfifo(dir.Path().c_str(), 0666), 0);
    else
        WriteFile(dir.Path(), content);
    if (GetParam() == Unreadable::WriteOnlyFileForAPlayer) {
        SetMode(dir.Path(), 0222);
        SetMode(dir.Dir(), 0777);
    }
    UnreadableFileSystem failingDisk;
    PosixFileSystem disk;
    FileSystem& files = GetParam() == Unreadable::ReadError ? failingDisk : static_cast<FileSystem&>(disk);

    const ChildReport report = RunAs(GetParam() == Unreadable::WriteOnlyFileForAPlayer ? Runner::Player : Runner::Self,
                                     [&](ChildReport& out) {
                                         RecordFile file(dir.Path(), files);
                                         BestTable table;
                                         try {
                                             file.Load(table);
                                         } catch (const IoError& error) {
                                             out.errorCode = error.Code();
                                         }
                                         out.skipped = Finish(file, table, FinishedGame("New", 5)) == SaveOutcome::Skipped;
                                         out.table = EncodeTable(table);
                                     });

    ASSERT_STREQ(report.failure, "");
    EXPECT_NE(report.errorCode, 0);
    EXPECT_TRUE(report.skipped);
    EXPECT_EQ(DecodeTable(report.table).ByRank(1), FinishedGame("New", 5)); // the game stays in memory
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"record.dat"});
    if (GetParam() == Unreadable::Fifo) {
        struct stat status {};
        ASSERT_EQ(lstat(dir.Path().c_str(), &status), 0);
        EXPECT_TRUE(S_ISFIFO(status.st_mode));
    } else {
        SetMode(dir.Path(), 0600);
        EXPECT_EQ(ReadFile(dir.Path()), content);
    }
}

INSTANTIATE_TEST_SUITE_P(Causes, UnreadableAtStartTest,
                         ::testing::Values(Unreadable::ReadError, Unreadable::WriteOnlyFileForAPlayer, Unreadable::Fifo),
                         [](const auto& row) {
                             switch (row.param) {
                             case Unreadable::ReadError: return std::string("read_error");
                             case Unreadable::WriteOnlyFileForAPlayer: return std::string("write_only_for_a_player");
                             case Unreadable::Fifo: return std::string("fifo");
                             }
                             return std::string();
                         });

TEST(ReadableAgainTest, FileReadableAtTheSaveGetsTheGameInsertedIntoWhatItHolds)
{
    TempDir dir;
    const BestTable stored = TableOf({FinishedGame("Stored", 80)});
    WriteFile(dir.Path(), TableBytes(stored));
    UnreadableFileSystem disk;
    RecordFile file(dir.Path(), disk);
    BestTable table;
    EXPECT_THROW(file.Load(table), IoError);

    disk.failing = false;
    EXPECT_EQ(Finish(file, table, FinishedGame("New", 5)), SaveOutcome::Saved);
    const BestTable both = TableOf({FinishedGame("Stored", 80), FinishedGame("New", 5)});
    EXPECT_EQ(table, both);
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(both));
}

// --- Temporary files ---

TEST(TemporaryFileTest, SaveRemovesLeftoverTemporaryFilesAndNothingElse)
{
    PosixFileSystem disk;
    TempDir dir;
    const std::vector<std::string> leftovers = {".record.dat.unfinished-save-Ab12Cd", ".record.dat.unfinished-save-ZZZZZZ",
                                                ".record.dat.unfinished-save-9qwert"};
    for (const std::string& name : leftovers)
        WriteFile(dir.Path(name), PatternBytes(1000));
    // A player's copy named as a word, other lengths, a folder, a link, a bigger file.
    const std::string ours = ".record.dat.unfinished-save-";
    const std::vector<std::string> kept = {"record.dat.backup", ours + "Ab12C", ours + "Ab12Cde", ours + "Dir123",
                                           ours + "Link12", ours + "Big123", ".scores.dat.unfinished-save-Ab12Cd"};
    WriteFile(dir.Path("record.dat.backup"), PatternBytes(TableSize));
    WriteFile(dir.Path(ours + "Ab12C"), {});
    WriteFile(dir.Path(ours + "Ab12Cde"), {});
    ASSERT_EQ(mkdir(dir.Path(ours + "Dir123").c_str(), 0700), 0);
    ASSERT_EQ(symlink((ours + "Ab12C").c_str(), dir.Path(ours + "Link12").c_str()), 0);
    WriteFile(dir.Path(ours + "Big123"), PatternBytes(TableSize + 1));
    WriteFile(dir.Path(".scores.dat.unfinished-save-Ab12Cd"), {});

    ASSERT_EQ(SaveBestTable(FreshTable(), dir.Path(), disk), SaveOutcome::Saved);
    std::vector<std::string> expected = kept;
    expected.push_back("record.dat");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.Entries(), expected);
}

// Table number n, distinct for every n.
BestTable NumberedTable(unsigned n)
{
    return TableOf({FinishedGame("Save " + std::to_string(n), static_cast<int>(n % 100) + 1)});
}

// The number of the saved table these bytes are, or -1.
long SavedTableNumber(const Bytes& bytes)
{
    if (bytes == TableBytes(FreshTable()))
        return 0;
    if (bytes.size() != TableSize)
        return -1;
    const std::string name = RecordName(DecodeTable(std::span<const std::uint8_t, TableSize>(bytes.data(), TableSize)).ByRank(1));
    if (!name.starts_with("Save "))
        return -1;
    const long n = std::stol(name.substr(5));
    return bytes == TableBytes(NumberedTable(static_cast<unsigned>(n))) ? n : -1;
}

TEST(TemporaryFileTest, KillAtAnyMomentLeavesTheFileAbsentOrOneWholeSavedTable)
{
    PosixFileSystem disk;
    // A copy that starts (creating the file when there is none) and saves table after table
    // is killed at random moments. record.dat is always absent or one whole table it saved.
    // TOVRA_SEED repeats a run.
    unsigned seed = std::random_device{}();
    if (const char* fixed = std::getenv("TOVRA_SEED"))
        seed = static_cast<unsigned>(std::strtoul(fixed, nullptr, 10));
    std::printf("TOVRA_SEED=%u\n", seed);
    SCOPED_TRACE("TOVRA_SEED=" + std::to_string(seed));
    tovra::SplitMix64 random(seed);
    TempDir dir;
    constexpr int Kills = 200;
    for (int kill = 0; kill < Kills; ++kill) {
        const bool firstStart = random.Next() % 4 == 0;
        if (firstStart)
            unlink(dir.Path().c_str()); // the very first start, creating the file: kill it early
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                BestTable table;
                LoadBestTable(table, dir.Path(), disk);
                for (unsigned n = 1;; ++n)
                    SaveBestTable(NumberedTable(n), dir.Path(), disk);
            } catch (...) {
            }
            _exit(1);
        }
        usleep(static_cast<useconds_t>(random.Next() % (firstStart ? 1000 : 4000)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "kill " << kill << ": the child stopped by itself";

        struct stat file {};
        if (lstat(dir.Path().c_str(), &file) == 0)
            ASSERT_GE(SavedTableNumber(ReadFile(dir.Path())), 0) << "kill " << kill << ": not a whole saved table";
        else
            ASSERT_EQ(errno, ENOENT);
    }

    // The next save clears what the killed saves left: temporary files and the lock file.
    ASSERT_EQ(SaveBestTable(NumberedTable(1), dir.Path(), disk), SaveOutcome::Saved);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"record.dat"});
    EXPECT_EQ(ReadFile(dir.Path()), TableBytes(NumberedTable(1)));
}

// --- The first start of two copies at once ---

// Another copy creates the file just before this one puts its fresh file in place.
class OvertakenFileSystem : public PosixFileSystem {
public:
    explicit OvertakenFileSystem(Bytes theirs) : theirs_(std::move(theirs)) {}
    int Link(const std::string& from, const std::string& to) override
    {
        WriteFile(to, theirs_);
        return PosixFileSystem::Link(from, to);
    }

private:
    Bytes theirs_;
};

TEST(FirstStartTest, FileMadeByAnotherCopyMeanwhileIsLoadedNotReplaced)
{
    TempDir dir;
    const Bytes theirs = TableBytes(TableOf({FinishedGame("Theirs", 50)}));
    OvertakenFileSystem files(theirs);
    BestTable table;
    LoadBestTable(table, dir.Path(), files);
    EXPECT_EQ(TableBytes(table), theirs);
    EXPECT_EQ(ReadFile(dir.Path()), theirs);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"record.dat"});
}

} // namespace
} // namespace tovra
