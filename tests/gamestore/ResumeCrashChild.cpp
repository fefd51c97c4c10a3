// One run of the game without a window, for the crash loop: resumes what the database holds,
// then plays at random until it is killed. Every state the player would see is written to the
// log before it is handed to the saver, so the test knows every state that may come back.
//   resume_crash_child FOLDER SEED LOG
// Log lines: "R <state>" the resumed board, "S <state>" a board shown, "F" the end of a game
// begins, "E" its end is written.
#include "core/BoardTraversal.h"
#include "core/Game.h"
#include "core/InMemoryBoard.h"
#include "gamestore/GameSaver.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

using namespace tovra;

namespace {
std::string StateText(const GameInProgress& game)
{
    std::string text;
    for (const std::uint8_t cell : game.cells)
        text += std::to_string(cell) + ",";
    return text + " mark " + std::to_string(game.markedNumber) + " ms " + std::to_string(game.playedMs);
}

void Log(int fd, const std::string& line)
{
    const std::string text = line + "\n";
    (void)!::write(fd, text.data(), text.size()); // one append: whole, or not at all at a kill
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4 || ::chdir(argv[1]) != 0)
        return 2;
    std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
    const int log = ::open(argv[3], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0)
        return 2;

    KeptGames kept = OpenKeptGames();
    if (!kept.saver)
        return 3;
    GameState game;
    InMemoryBoard board;
    std::int64_t playedMs = 0;
    if (kept.resumed) {
        ResumeGame(game, board, *CellIdsOf(*kept.resumed), kept.resumed->markedNumber);
        board.SetClockEnabled(true);
        playedMs = kept.resumed->playedMs;
    }
    Log(log, "R " + StateText(kept.resumed.value_or(GameInProgress{})));
    GameSaver& saver = *kept.saver;
    saver.Begin(game);
    const BoardChanges::Subscription saving = game.Changes.Subscribe([&] {
        // The clock moves on a little with every change, so states differ in their time too.
        playedMs += game.MoveCount > 0 ? 7 : 0;
        Log(log, "S " + StateText(SnapshotOf(game, playedMs, 0)));
        saver.Changed(game, playedMs);
    });

    for (;;) {
        const unsigned action = random() % 100;
        if (action < 70) {
            // A number on a free cell the rules allow, so games get somewhere between kills.
            std::vector<std::string> targets;
            if (game.MoveCount == 0)
                targets.push_back(MakeCellId(1 + int(random() % 10), 1 + int(random() % 10)));
            else
                ForEachTarget(game.LastCell, [&](const std::string& id) {
                    if (board.Caption(board.FindCell(id)).empty())
                        targets.push_back(id);
                });
            if (!targets.empty())
                btClick(game, board, board.FindCell(targets[random() % targets.size()]));
        } else if (action < 78 && game.MoveCount > 0) {
            BtnUndo1Click(game, board);
        } else if (action < 88 && game.MoveCount > 0) {
            btMouseDown(game, board, board.FindCell(game.MoveHistory[1 + int(random() % game.MoveCount)]),
                        MouseButton::Right);
        } else if (action < 91 && game.MoveCount > 0) {
            UndoToNumber(game, board, int(random() % game.MoveCount));
        } else if (action < 92) {
            Nuovapartita1Click(game, board);
        }
        if (NoMovesLeft(game, board)) {
            Log(log, "F");
            saver.Ended(game, playedMs);
            saver.Flush();
            Log(log, "E");
            playedMs = 0;
            Nuovapartita1Click(game, board);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 400));
    }
}
