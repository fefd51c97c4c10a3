// Two users who share a folder, and its record.dat, each keep their own game in progress and
// history: neither can stop the other's saving, see the other's game or finish it. Run with
// two real user ids, in a setgid group folder and in a sticky folder.
#include "gamestore/GameDatabase.h"
#include "gamestore/StoreFiles.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tovra {
namespace {

using namespace tovra::testing;

constexpr gid_t Group = 47011;
constexpr uid_t Ann = 47021;
constexpr uid_t Bob = 47022;

// Runs `work` as `user` of the group, in `folder`, in a child process; what it returns, or why
// it could not run.
std::string As(uid_t user, const std::string& folder, const std::function<std::string()>& work)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::string result;
        if (::setgroups(1, &Group) != 0 || ::setresgid(Group, Group, Group) != 0 || ::setresuid(user, user, user) != 0 ||
            ::chdir(folder.c_str()) != 0)
            result = "cannot become the user";
        else
            result = work();
        [[maybe_unused]] const auto written = ::write(pipeEnds[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string result;
    char buffer[256];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}

GameInProgress GameOf(std::uint8_t firstCell) { return GameInProgress{{firstCell, 3}, 0, 1000, 1.0e9, {}}; }

// Saves this user's game over whatever game in progress the user's database holds, and says
// which game it found there (its first cell) and whether the save was kept.
std::string PlayAndSave(std::uint8_t firstCell)
{
    OpenedGameDatabase opened = OpenGameDatabase(OwnGameDatabaseName());
    if (!opened.database)
        return "no database: " + opened.problem;
    // Each start is a copy of its own, and none of the earlier ones runs any more.
    const std::string copy = "copy" + std::to_string(firstCell);
    const auto nobodyRuns = [](const std::string&) { return false; };
    try {
        const std::optional<StoredGame> found = opened.database->ClaimGameToResume(copy, nobodyRuns);
        opened.database->SavePlaying(found ? found->id : 0, GameOf(firstCell), copy);
        return std::string(found ? "found " + std::to_string(found->game.cells.front()) : "found none") + ", kept";
    } catch (const StoreError& error) {
        return std::string("not kept: ") + error.what();
    }
}

struct SharedFolder {
    const char* name;
    mode_t mode;
};

class TwoUsers : public ::testing::TestWithParam<SharedFolder> {};

TEST_P(TwoUsers, EachKeepsTheirOwnGame)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to run as two other users";
    TempDir base;
    ASSERT_EQ(::chmod(base.Dir().c_str(), 0755), 0);
    const std::string folder = base.Path("shared");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chown(folder.c_str(), 0, Group), 0);
    ASSERT_EQ(::chmod(folder.c_str(), GetParam().mode), 0);

    EXPECT_EQ(As(Ann, folder, [] { return PlayAndSave(11); }), "found none, kept");
    EXPECT_EQ(As(Bob, folder, [] { return PlayAndSave(22); }), "found none, kept");
    // Bob's start neither stopped Ann's saving nor took her game.
    EXPECT_EQ(As(Ann, folder, [] { return PlayAndSave(12); }), "found 11, kept");
    EXPECT_EQ(As(Bob, folder, [] { return PlayAndSave(23); }), "found 22, kept");
    // Ann's file is not Bob's to open, even by its name.
    const std::string annsFile = As(Ann, folder, [] { return OwnGameDatabaseName(); });
    EXPECT_EQ(As(Bob, folder, [&] { return OpenGameDatabase(annsFile).problem; }),
              "The game does not keep its games in " + annsFile + ": another user's file.");

    for (const uid_t user : {Ann, Bob}) {
        const std::string name = As(user, folder, [] { return OwnGameDatabaseName(); });
        struct stat status {};
        ASSERT_EQ(::stat((folder + "/" + name).c_str(), &status), 0) << name;
        EXPECT_EQ(status.st_uid, user) << name;
        EXPECT_EQ(status.st_mode & 07777, 0600u) << name;
        if (GetParam().mode & S_ISGID) {
            EXPECT_EQ(status.st_gid, Group) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, TwoUsers,
                         ::testing::Values(SharedFolder{"SetgidGroupFolder", 02770}, SharedFolder{"StickyFolder", 01777}),
                         [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace tovra
