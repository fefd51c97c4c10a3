// One run of the game without a window, for the crash loop: resumes what the database holds,
// then plays at random and kills itself after STEPS actions, however far the keeper got. Every
// state the player would see is written to the log before it is handed to the keeper, so the
// test knows every state that may come back.
//   resume_crash_child FOLDER SEED LOG STEPS
// Log lines: "R <state>" the resumed board, "S <state>" a board shown, "F" the end of a game
// begins, "E" its end is written.
#include "core/BoardTraversal.h"
#include "core/Game.h"
#include "core/InMemoryBoard.h"
#include "core/SplitMix64.h"
#include "gamestore/GameKeeper.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
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
    if (argc != 5 || ::chdir(argv[1]) != 0)
        return 2;
    tovra::SplitMix64 random(std::strtoull(argv[2], nullptr, 10));
    const int log = ::open(argv[3], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const unsigned long steps = std::strtoul(argv[4], nullptr, 10);
    if (log < 0)
        return 2;

    const std::optional<StoredGame> shown = PeekGameToResume(GameDatabaseFileName);
    GameKeeper keeper(GameDatabaseFileName, std::nullopt);
    GameState game;
    InMemoryBoard board;
    std::int64_t playedMs = 0;
    if (shown) {
        ResumeGame(game, board, *BoardCellsOf(shown->game), shown->game.markedNumber);
        board.SetClockEnabled(true);
        playedMs = shown->game.playedMs;
    }
    Log(log, "R " + StateText(shown ? shown->game : GameInProgress{}));
    keeper.Begin(game, shown);
    const BoardChanges::Subscription keeping = game.Changes.Subscribe([&] {
        // The clock moves on a little with every change, so states differ in their time too.
        playedMs += game.MoveCount > 0 ? 7 : 0;
        Log(log, "S " + StateText(SnapshotOf(game, playedMs, 0)));
        keeper.Changed(game, playedMs);
    });

    for (unsigned long step = 0;; ++step) {
        // A game that ended (here, or before the last kill) runs its end: written, then a new game.
        if (NoMovesLeft(game, board)) {
            Log(log, "F");
            keeper.Finished({});
            keeper.WaitUntilWritten(std::chrono::seconds(30));
            Log(log, "E");
            playedMs = 0;
            Nuovapartita1Click(game, board);
        }
        if (step == steps)
            ::kill(::getpid(), SIGKILL);
        const unsigned action = random.Next() % 100;
        if (action < 70) {
            // A number on a free cell the rules allow, so games get somewhere between kills.
            std::vector<std::string> targets;
            if (game.MoveCount == 0)
                targets.push_back(MakeCellId(1 + int(random.Next() % 10), 1 + int(random.Next() % 10)));
            else
                ForEachTarget(game.LastCell.Id(), [&](const std::string& id) {
                    if (board.Caption(board.FindCell(id)).empty())
                        targets.push_back(id);
                });
            if (!targets.empty())
                btClick(game, board, board.FindCell(targets[random.Next() % targets.size()]));
        } else if (action < 78 && game.MoveCount > 0) {
            BtnUndo1Click(game, board);
        } else if (action < 88 && game.MoveCount > 0) {
            btMouseDown(game, board, board.FindCell(game.MoveHistory[1 + int(random.Next() % game.MoveCount)].Id()),
                        MouseButton::Right);
        } else if (action < 91 && game.MoveCount > 0) {
            UndoToNumber(game, board, int(random.Next() % game.MoveCount));
        } else if (action < 92) {
            Nuovapartita1Click(game, board);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random.Next() % 400));
    }
}
