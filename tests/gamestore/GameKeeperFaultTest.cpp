// The keeper against a disk that syncs, fills up or fails. This program defines the C
// library's fsync, fdatasync and pwrite itself, so every call SQLite makes comes here first:
// the syncs are counted by thread, and writes fail on request as on a full or failing disk.
#include "gamestore/GameKeeper.h"

#include "DatabaseFiles.h"
#include "KeeperBoards.h"
#include "TestFiles.h"
#include "core/CellId.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <mutex>
#include <set>
#include <thread>
#include <unistd.h>

namespace {
std::mutex syncMutex;
std::set<std::thread::id> syncingThreads;
std::atomic<int> failWritesWith{0}; // errno for every pwrite; 0: none

template <typename Function>
Function Real(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

void NoteSync()
{
    std::lock_guard lock(syncMutex);
    syncingThreads.insert(std::this_thread::get_id());
}
} // namespace

extern "C" int fsync(int fd)
{
    NoteSync();
    static const auto real = Real<int (*)(int)>("fsync");
    return real(fd);
}

extern "C" int fdatasync(int fd)
{
    NoteSync();
    static const auto real = Real<int (*)(int)>("fdatasync");
    return real(fd);
}

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset)
{
    if (const int error = failWritesWith.load()) {
        errno = error;
        return -1;
    }
    static const auto real = Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    return real(fd, buffer, size, offset);
}

extern "C" ssize_t pwrite64(int fd, const void* buffer, size_t size, off_t offset)
{
    return pwrite(fd, buffer, size, offset);
}

namespace tovra {
namespace {

using namespace tovra::testing;
using namespace std::chrono_literals;

std::string Rows(const std::string& path) { return GameRows(path, "id || ':' || state || ':' || score"); }

// A whole life of the game, from the first start (the file made) to a finished game, a new
// one and the exit: the caller's thread never syncs, the keeper's does.
TEST(GameKeeperDisk, TheCallersThreadNeverSyncs)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    {
        std::lock_guard lock(syncMutex);
        syncingThreads.clear();
    }
    for (int start = 0; start < 2; ++start) {
        GameKeeper keeper(path, FreshTable());
        keeper.Begin(Board({}), PeekGameToResume(path));
        keeper.Changed(Board({0, 3}), 10);
        keeper.Changed(Board({0, 3, 33}), 20);
        keeper.Finished("Ada");
        keeper.Changed(Board({5}, 2), 30);
        keeper.Close(Board({5, 8}, 2), 40);
    }
    std::lock_guard lock(syncMutex);
    EXPECT_EQ(syncingThreads.count(std::this_thread::get_id()), 0u);
    EXPECT_FALSE(syncingThreads.empty()) << "the syncs were not seen: the test proves nothing";
}

struct DiskFault {
    const char* name;
    int error;
    const char* told; // in the one line the player gets
};

class FailingDisk : public ::testing::TestWithParam<DiskFault> {};

// While the disk fails, play goes on and the player is told once what is wrong; nothing is
// renamed or left behind. At the next change after it recovers, the game is kept again in the
// same row.
TEST_P(FailingDisk, IsToldOnceAndTheGameIsKeptAgainInItsRowOnceItRecovers)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    std::vector<std::string> told;
    std::mutex toldMutex;
    GameKeeper::Listener listener;
    listener.problem = [&](const std::string& line) {
        std::lock_guard lock(toldMutex);
        told.push_back(line);
    };
    GameKeeper keeper(path, std::nullopt, listener);
    keeper.Begin(Board({}), std::nullopt);
    keeper.Changed(Board({0}), 10);
    ASSERT_TRUE(keeper.WaitUntilWritten(10s));
    const std::string before = Rows(path);
    const std::vector<std::string> files = dir.Entries();

    failWritesWith = GetParam().error;
    for (int k = 2; k <= 5; ++k) {
        const std::vector<int> cells = {0, 3, 33, 36, 66};
        keeper.Changed(Board(std::vector<int>(cells.begin(), cells.begin() + k)), k);
        ASSERT_TRUE(keeper.WaitUntilWritten(10s));
    }
    failWritesWith = 0;
    EXPECT_EQ(Rows(path), before);
    EXPECT_EQ(dir.Entries(), files); // nothing set aside, nothing new
    {
        std::lock_guard lock(toldMutex);
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find(GetParam().told), std::string::npos) << told[0];
    }
    keeper.Changed(Board({0, 3, 33}), 6);
    ASSERT_TRUE(keeper.WaitUntilWritten(10s));
    EXPECT_EQ(Rows(path), before.substr(0, before.find(':')) + ":playing:3");
}

INSTANTIATE_TEST_SUITE_P(GameKeeperDisk, FailingDisk,
                         ::testing::Values(DiskFault{"Full", ENOSPC, "the disk is full"},
                                           DiskFault{"InputOutputError", EIO, "the disk reported an error"}),
                         [](const auto& test) { return std::string(test.param.name); });

// A disk already full at the first start: no file is taken for damaged and renamed, and once
// there is room the game is kept.
TEST(GameKeeperDisk, AFullDiskAtTheFirstStartIsNoDamage)
{
    TempDir dir;
    const std::string path = dir.Path("games.db");
    std::atomic<int> told = 0;
    GameKeeper::Listener listener;
    listener.problem = [&](const std::string& line) {
        ++told;
        EXPECT_NE(line.find("the disk is full"), std::string::npos) << line;
    };
    failWritesWith = ENOSPC;
    for (int start = 0; start < 3; ++start) {
        GameKeeper keeper(path, std::nullopt, listener);
        keeper.Begin(Board({}), PeekGameToResume(path));
        keeper.Changed(Board({0, 3}), 10);
        keeper.Close(Board({0, 3}), 10);
    }
    failWritesWith = 0;
    EXPECT_EQ(told, 3); // once a start
    for (const std::string& name : dir.Entries())
        EXPECT_EQ(name.find("damaged"), std::string::npos) << name;
    {
        GameKeeper keeper(path, std::nullopt);
        keeper.Begin(Board({}), PeekGameToResume(path));
        keeper.Changed(Board({0, 3}), 10);
    }
    EXPECT_TRUE(PeekGameToResume(path));
}

} // namespace
} // namespace tovra
