// Two players, each with a copy of the game, saving into one record.dat at the same time: in
// a folder their group shares and in a sticky folder open to all. Neither loses a game.
#include "records/RecordFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tovra {
namespace {

using namespace tovra::testing;

// Two user and one group ids that no account uses: the test needs no accounts, only root's
// power to become them.
constexpr uid_t FirstPlayer = 64101;
constexpr uid_t SecondPlayer = 64102;
constexpr gid_t Players = 64100;
constexpr int GamesEach = 20;

BestRecord Game(int player, int score)
{
    BestRecord record;
    SetRecordName(record, "Player " + std::to_string(player));
    record.Score = static_cast<std::uint8_t>(score);
    record.SetDate(45000.0 + score);
    record.SetSchemeAt(1, 1, 1);
    return record;
}

// The child's life as player `player`: start the game, wait for the other player, then
// finish its games as fast as it can, pressing Ok again after an error as a player would.
// Exits with the number of games it could not save.
[[noreturn]] void Play(const std::string& path, uid_t user, int player, int startSignal)
{
    PosixFileSystem disk;
    const gid_t groups[] = {Players};
    if (setgroups(1, groups) != 0 || setresgid(Players, Players, Players) != 0 || setresuid(user, user, user) != 0)
        _exit(100);
    umask(002); // the players share their files with the group
    RecordFile file(path, disk);
    BestTable table;
    try {
        file.Load(table);
    } catch (const IoError&) {
        _exit(101);
    }
    char go = 0;
    if (read(startSignal, &go, 1) != 1)
        _exit(102);
    int unsaved = 0;
    for (int game = 0; game < GamesEach; ++game) {
        const BestRecord record = Game(player, 1 + 2 * game + player);
        const int rank = InsertPosition(table, record.Score);
        if (rank == 0)
            continue;
        InsertRecord(table, rank, record);
        bool saved = false;
        for (int attempt = 0; attempt < 5 && !saved; ++attempt) {
            try {
                saved = file.Save(table, record) != SaveOutcome::Skipped;
            } catch (const IoError&) {
            }
        }
        unsaved += saved ? 0 : 1;
    }
    _exit(unsaved);
}

struct FolderRow {
    const char* situation;
    unsigned mode;
    gid_t group;
};

void PrintTo(const FolderRow& row, std::ostream* out) { *out << row.situation; }

class TwoUsersTest : public ::testing::TestWithParam<FolderRow> {};

TEST_P(TwoUsersTest, TwoPlayersSavingAtOnceLoseNothing)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run the two copies as two different unprivileged users";
    TempDir dir;
    ASSERT_EQ(chmod(dir.Dir().c_str(), 0755), 0); // the temporary folder's parent is searchable
    const std::string shared = dir.Path("shared");
    ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(chown(shared.c_str(), 0, GetParam().group), 0);
    ASSERT_EQ(chmod(shared.c_str(), GetParam().mode), 0);
    const std::string path = shared + "/record.dat";

    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (const auto& [user, player] : {std::pair{FirstPlayer, 0}, std::pair{SecondPlayer, 1}}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(start[1]);
            Play(path, user, player, start[0]);
        }
        children.push_back(child);
    }
    close(start[0]);
    ASSERT_EQ(write(start[1], "go", 2), 2);
    close(start[1]);
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }

    // The 20 best of the 40 games, each once, in order.
    BestTable best = FreshTable();
    for (int rank = 1; rank <= RecordCount; ++rank) {
        const int score = 2 * GamesEach + 1 - rank;
        best.Records[static_cast<std::size_t>(rank - 1)] = Game((score - 1) % 2, score);
    }
    EXPECT_EQ(ReadFile(path), TableBytes(best));
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_TRUE(status.st_uid == FirstPlayer || status.st_uid == SecondPlayer) << status.st_uid;
    EXPECT_EQ(status.st_mode & 0777, 0664u);
    EXPECT_EQ(TempDir::EntriesOf(shared), std::vector<std::string>{"record.dat"});
}

INSTANTIATE_TEST_SUITE_P(Folders, TwoUsersTest,
                         ::testing::Values(FolderRow{"group_shared_folder", 02770, Players},
                                           FolderRow{"sticky_folder", 01777, 0}),
                         [](const auto& row) { return std::string(row.param.situation); });

} // namespace
} // namespace tovra
