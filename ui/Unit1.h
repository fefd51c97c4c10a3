#pragma once
// The main window: the board of 100 cells, the command buttons, the status bar, the menu and
// the game clock. Its handlers forward to the game rules; the window itself keeps no rules.
#include "core/GameState.h"
#include "core/GivenBoardResult.h"
#include "records/BestRecord.h"
#include "records/RecordFile.h"
#include "ui/SettingsWriter.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class TForm1;
}
namespace tovra {
class GameKeeper;
struct GameInProgress;
struct KeptGame;
struct StoredGame;
}
class Appearance;
class BoardCursor;
class GamePause;
class HelpWindow;
class ViewMenu;
class QLabel;
class ReachabilityCheck;
class TFlatSpeedButton;
class WidgetBoardView;

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // `files`: the file layer record.dat is read and written through; it outlives the window.
    explicit TForm1(tovra::FileSystem& files, QWidget* parent = nullptr);
    ~TForm1() override;

    // What tests look at and set (the clock test moves the start time back).
    tovra::GameState& Game() { return game_; }
    TFlatSpeedButton* CellButton(const QString& id) const;
    QLabel* ScorePanel() const;
    QLabel* TimePanel() const;
    QTimer& Clock() { return TimerTempo; }
    ReachabilityCheck& Reachability() { return *reach_; }
    BoardCursor& Cursor() { return *cursor_; }
    Appearance& PlayerLook() { return *appearance_; }
    GamePause& Pause() { return *pause_; }
    ViewMenu& View() { return *view_; }
    // The monotonic clock the game clock measures with (tests step it by hand).
    void SetMonotonicClock(std::function<std::chrono::steady_clock::time_point()> clock);

    void FormCreate();
    void btClick(TFlatSpeedButton* sender);
    void btMouseDown(TFlatSpeedButton* sender, Qt::MouseButton button);
    void btMouseUp();
    void BtnUndo1Click();
    void BtnUndoMarcatoClick();
    void BtnMosseClick();
    void Redo1Click();
    void Nuovapartita1Click();
    void Esci1Click();
    void Help1Click();
    void Keys1Click();
    void Raggiungibile1Click();
    void Migliori201Click();
    void Statistiche1Click();
    void About1Click();
    void Pausa1Click();
    void TimerTempoTimer();
    // Boards that come with their first numbers, and board codes (Unit1Boards.cpp).
    void TodaysBoard1Click();
    void OpenCode1Click();
    void CopyCode1Click();
    // "Continue a kept game": the list of the games in progress no copy plays, fetched by the
    // keeper and shown when it arrives (Unit1Kept.cpp).
    void ContinueKept1Click();
    // The viewer on a board read from a code; "Play from here" starts a game from it.
    void OpenCodeInViewer(const std::vector<int>& cells);
    // A game whose numbers 1..k are `cells`, given; kept out of the best 20.
    void PlayGivenBoard(const std::vector<int>& cells, tovra::GivenBoardPlay play);
    // The game on the board came with given numbers: what it was, and the help used so far.
    const std::optional<tovra::GivenBoardPlay>& GivenPlay() const { return givenPlay_; }
    // Every change of the board comes here (see BoardChanges): the game in progress is saved.
    void GameChanged();
    // The end of the program (closing, SIGTERM): hands the last state to the keeper and waits
    // for that write alone; nothing is kept after it.
    void FlushSaves();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createCells();
    void connectHandlers();
    // Draws the game a previous run left unfinished, if any, and keeps the games from now on.
    void resumeKeptGame(const std::optional<tovra::StoredGame>& shown);
    void showKeptGame(const tovra::GameInProgress& kept);
    // The list of kept games has arrived: the player continues one, gives one up, or neither.
    void chooseKeptGame(std::vector<tovra::KeptGame> games, const QString& problem);
    // The board shows `chosen` instead of its game, which is kept for later.
    void continueKeptGame(const tovra::StoredGame& chosen);
    // One line about games.db, in a note that does not stop play, once the board is on screen.
    void showStoreProblem(const QString& text);
    // The end of the game on the board: a given board's own end, or the end-of-game sequence.
    void endGame();
    // The end-of-game sequence: the two windows, then a new game.
    void endOfGame();
    std::int64_t playedMs();
    // games.db beside record.dat, as a full path.
    static QString GameDatabasePath();
    // The Edit menu's entries and keys, and F10 for the menu bar.
    void setUpMenuKeys();
    void setUpBoardMenus();
    // The end of a game on a given board: its own words and "Copy result", no name, no record.
    void finishGivenBoard();
    // The Game and View menus, and the look the player chose in an earlier run.
    void setUpComfort();
    // Draws every part of the window in the Appearance's zoom and colours.
    void applyLook();
    // Whether the window at a zoom step would still fit its screen.
    bool fitsAtZoom(int percent) const;

    std::unique_ptr<Ui::TForm1> ui;
    std::vector<TFlatSpeedButton*> cells_;
    QTimer TimerTempo;
    tovra::GameState game_;
    std::unique_ptr<WidgetBoardView> board_;
    tovra::BestTable bestTable_{};
    // record.dat in the current directory, shared with any other copy of the game.
    tovra::RecordFile recordFile_;
    // The player's settings, written off the window's thread; the window's end waits for the
    // writes still to be done.
    SettingsWriter settingsWriter_;
    QPointer<HelpWindow> help_;
    bool bestTableRead_ = false;
    // The board shows a game that ended in an earlier run whose end-of-game sequence did not finish.
    bool endedBefore_ = false;
    std::optional<tovra::GivenBoardPlay> givenPlay_;
    // After the board: it goes first, and its workers end before the board does.
    std::unique_ptr<ReachabilityCheck> reach_;
    std::unique_ptr<BoardCursor> cursor_;
    Appearance* appearance_ = nullptr;
    ViewMenu* view_ = nullptr;
    GamePause* pause_ = nullptr;
    // games.db's keeper. Last but one: its thread ends (after writing the last state) before
    // anything else goes.
    std::unique_ptr<tovra::GameKeeper> keeper_;
    tovra::BoardChanges::Subscription savingChanges_;
};
