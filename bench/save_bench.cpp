// The cost of keeping the game in progress: one write of the game database (a transaction
// synced to disk, as after every change of the board), the hand-over on the window's thread,
// and the opening at start-up with a game to resume. Prints "key<TAB>value" lines, one per
// sample, for script/bench.
//   tovra_save_bench FOLDER
#include "core/Game.h"
#include "core/InMemoryBoard.h"
#include "gamestore/GameSaver.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>

using namespace tovra;
using Clock = std::chrono::steady_clock;

namespace {
double MicrosecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// The first numbers of a full board: every one legal.
const char* const Path[] = {"bt0101", "bt0104", "bt0302", "bt0602", "bt0902", "bt0905", "bt0908", "bt0710",
                            "bt1010", "bt1007", "bt0809", "bt0509", "bt0209", "bt0206", "bt0203", "bt0401",
                            "bt0404", "bt0202", "bt0205", "bt0208", "bt0410", "bt0110", "bt0107", "bt0309",
                            "bt0609", "bt0909", "bt0707", "bt0407", "bt0605", "bt0305", "bt0103", "bt0301",
                            "bt0503", "bt0701", "bt1001", "bt0803", "bt0601", "bt0901", "bt0904", "bt0907"};
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 || ::chdir(argv[1]) != 0) {
        std::fprintf(stderr, "usage: tovra_save_bench FOLDER\n");
        return 2;
    }
    InMemoryBoard board;
    GameState game;
    for (const char* id : Path)
        btClick(game, board, board.FindCell(id));

    {
        // One write as the saving thread makes it: the whole game, synced.
        auto database = OpenGameDatabase().database;
        if (!database)
            return 1;
        std::int64_t id = 0;
        for (int run = 0; run < 200; ++run) {
            const GameInProgress snapshot = SnapshotOf(game, 1000 + run, 1.7e9);
            const auto start = Clock::now();
            id = database->SavePlaying(id, snapshot, "0123456789abcdef");
            std::printf("save.write_us\t%.1f\n", MicrosecondsSince(start));
            if (id <= 0)
                return 1;
        }
    }
    for (int run = 0; run < 20; ++run) {
        // A start that finds the game and takes it, as the window's constructor does.
        const auto start = Clock::now();
        KeptGames kept = OpenKeptGames();
        std::printf("save.open_us\t%.1f\n", MicrosecondsSince(start));
        if (!kept.saver || !kept.resumed)
            return 1;
        // What a press costs the window's thread: the snapshot handed over, the write left to
        // the saving thread.
        kept.saver->Begin(game);
        for (int change = 0; change < 200; ++change) {
            const auto handOver = Clock::now();
            kept.saver->Changed(game, change);
            std::printf("save.handover_us\t%.2f\n", MicrosecondsSince(handOver));
        }
        kept.saver->Flush();
    }
    return 0;
}
