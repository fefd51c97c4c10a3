#include "Unit1.h"

#include "ApplicationTitle.h"
#include "BoardCursor.h"
#include "ClockText.h"
#include "FirstFrameWatch.h"
#include "GamePause.h"
#include "HelpWindow.h"
#include "LookSettings.h"
#include "ModalWindows.h"
#include "ReachabilityCheck.h"
#include "StatisticsWindow.h"
#include "ViewMenu.h"
#include "WidgetBoardView.h"
#include "WindowLook.h"
#include "WindowZoom.h"
#include "core/BoardTraversal.h"
#include "core/Colors.h"
#include "core/Game.h"
#include "core/ReachabilityAnswer.h"
#include "gamestore/GameDatabaseSchema.h"
#include "gamestore/GameKeeper.h"
#include "gamestore/StoreFiles.h"
#include "records/GameAnalysis.h"
#include "records/RecordFile.h"
#include "ui/widgets/TFlatSpeedButton.h"
#include "ui/widgets/TShape.h"
#include "ui_TForm1.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
#include <cmath>

using namespace tovra;

namespace {
// A window started minimised draws no frame; its keeper starts after this all the same.
constexpr std::chrono::milliseconds KeeperWaitsForTheWindowAtMost{1000};
} // namespace

TForm1::TForm1(FileSystem& files, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::TForm1>())
    , recordFile_(RecordFileName, files)
    , settingsWriter_(PlayerSettingsPath())
{
    ui->setupUi(this);
    // Before anything is drawn: the colours are the player's from the start.
    appearance_ = new Appearance(this);
    appearance_->Set(ReadLook(QSettings(PlayerSettingsPath(), QSettings::IniFormat)));
    if (appearance_->Current().colours != ColourScheme::Classic)
        ApplyColourScheme(appearance_->Current().colours);
    // The window's font goes to its client area alone: the menu bar keeps the desktop's own
    // font. Set there once, before the cells exist, so that no widget lays out its text twice
    // at start-up.
    ApplyWindowBackground(this);
    ui->ClientArea->setFont(WindowFont());
    // Opaque panels: the clock's tick repaints the time panel alone, not the window behind it.
    for (QLabel* panel : {ui->ScorePanel, ui->TimePanel})
        panel->setAutoFillBackground(true);

    ui->BtnUndo1->SetCaption(QStringLiteral("Undo 1"));
    ui->BtnUndoMarcato->SetCaption(QStringLiteral("Undo->marked"));
    ui->BtnMosse->SetCaption(QStringLiteral("Moves"));
    // Keys for the commands, apart from the menu's own; listed in the help and the manual page.
    ui->BtnUndo1->SetShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    ui->BtnUndoMarcato->SetShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    ui->BtnMosse->SetShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    createCells();
    cursor_ = std::make_unique<BoardCursor>(this, cells_, game_);
    setUpMenuKeys();

    TimerTempo.setObjectName(QStringLiteral("TimerTempo"));
    TimerTempo.setInterval(1000);
    board_ = std::make_unique<WidgetBoardView>(cells_, ui->ScorePanel, ui->TimePanel, &TimerTempo, this);
    reach_ = std::make_unique<ReachabilityCheck>(game_, *board_, this);
    connectHandlers();
    setUpComfort();
    setUpBoardMenus();

    // Fixed size: the client area is exactly the layout's, below the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // While another copy saves, the window keeps painting; the player's input waits, so the
    // dialog that is saving cannot be answered twice.
    recordFile_.SetWaiting([] { WaitForOtherCopy(); });
    // Only read here, and only from a file that is there: making, upgrading or repairing it,
    // and claiming the game for this copy, are the keeper's first job on its own thread.
    const std::optional<StoredGame> shown = PeekGameToResume(OwnGameDatabaseName());
    FormCreate();
    resumeKeptGame(shown);
}

TForm1::~TForm1() = default;

void TForm1::resumeKeptGame(const std::optional<StoredGame>& shown)
{
    if (shown) {
        showKeptGame(shown->game);
        const std::vector<int> cells(shown->game.cells.begin(), shown->game.cells.end());
        if (WasClosedPaused(QSettings(PlayerSettingsPath(), QSettings::IniFormat), GameDatabasePath(), cells))
            pause_->Pause();
    }
    GameKeeper::Listener listener;
    // Told on the keeper's thread; shown on the window's.
    listener.problem = [this](const std::string& line) {
        QMetaObject::invokeMethod(
            this, [this, text = QString::fromStdString(line)] { showStoreProblem(text); }, Qt::QueuedConnection);
    };
    listener.claimLost = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                // Another copy started at the same moment took the game: it is played there.
                Nuovapartita1Click();
                showStoreProblem(QStringLiteral("The game in progress is being continued in another window of the game."));
            },
            Qt::QueuedConnection);
    };
    // record.dat's games wait for a start that can read it.
    // Its first job (opening and checking the file, claiming the game) waits for the board to be
    // on screen, so that the two do not share the processor while the window is being made and
    // mapped. A change or the window's closing lets it go sooner.
    keeper_ = std::make_unique<GameKeeper>(OwnGameDatabaseName(), bestTableRead_ ? std::optional(bestTable_) : std::nullopt,
                                           std::move(listener), GameKeeper::Start::OnGo);
    keeper_->Begin(game_, shown);
    new FirstFrameWatch(this, [this] { keeper_->Go(); }, KeeperWaitsForTheWindowAtMost);
    savingChanges_ = game_.Changes.Subscribe([this] { GameChanged(); });
    // A board with no move left reached its end, but its end-of-game sequence did not finish
    // (the program was killed in its windows): it runs again once the window is up.
    if (shown && NoMovesLeft(game_, *board_)) {
        endedBefore_ = true;
        QTimer::singleShot(0, this, [this] {
            if (endedBefore_ && NoMovesLeft(game_, *board_))
                endGame();
        });
    }
}

void TForm1::showKeptGame(const GameInProgress& kept)
{
    ResumeGame(game_, *board_, *BoardCellsOf(kept), kept.markedNumber);
    // A board that came with its first numbers comes back with them given, and with the help
    // its result counts.
    KeepFirstNumbersGiven(game_, *board_, kept.givenBoard.given);
    if (game_.GivenCount > 0) {
        givenPlay_ = kept.givenBoard;
        givenPlay_->given = game_.GivenCount;
    } else {
        givenPlay_.reset();
    }
    const DateTime played = static_cast<double>(kept.playedMs) / 86'400'000.0;
    game_.StartTime = board_->Now() - played;
    board_->ResumeClock(played);
    TimerTempoTimer();
}

void TForm1::showStoreProblem(const QString& text)
{
    // After the board is on screen, and never in the way of play.
    if (!isVisible()) {
        QTimer::singleShot(200, this, [this, text] { showStoreProblem(text); });
        return;
    }
    auto* note = new QMessageBox(QMessageBox::Warning, ApplicationTitle(), text, QMessageBox::Ok, this);
    note->setAttribute(Qt::WA_DeleteOnClose);
    note->setWindowModality(Qt::NonModal);
    note->setAttribute(Qt::WA_ShowWithoutActivating); // the keys stay with the board or its dialog
    note->show();
}

QString TForm1::GameDatabasePath() { return QFileInfo(QString::fromStdString(OwnGameDatabaseName())).absoluteFilePath(); }

std::int64_t TForm1::playedMs()
{
    return board_->ClockEnabled() ? std::llround(board_->ClockElapsed() * 86'400'000.0) : 0;
}

void TForm1::GameChanged()
{
    // A board with given numbers is kept with them and what came with it, so that resumed it
    // is the same board: its given numbers never undone, the game never ranked.
    if (keeper_)
        keeper_->Changed(game_, playedMs(), givenPlay_);
}

void TForm1::FlushSaves()
{
    // The clock's latest time goes with the game, so the time spent looking is not lost. Only
    // this last write is waited for.
    if (keeper_)
        keeper_->Close(game_, playedMs(), givenPlay_);
}

void TForm1::createCells()
{
    // Made in code from the geometry: 19-pixel cells at a 20-pixel pitch, so the silver square
    // behind them shows as a 1-pixel grid.
    cells_.reserve(CellCount);
    // Black numbers whatever the desktop's colours; one palette, shared by the hundred cells.
    QPalette black = ui->ClientArea->palette();
    black.setColor(QPalette::ButtonText, Qt::black);
    black.setColor(QPalette::WindowText, Qt::black);
    ForEachCellId([&](const std::string& id, int row, int column) {
        auto* cell = new TFlatSpeedButton(ui->ClientArea);
        cell->setObjectName(QString::fromStdString(id));
        cell->setGeometry(21 + 20 * (column - 1), 21 + 20 * (row - 1), 19, 19);
        cell->setPalette(black);
        cell->SetColor(ToQColor(FreeColor));
        cell->SetButtonStyle(TFlatSpeedButton::ubsOutlineFlat);
        cell->SetRepeatedClick(true);
        cell->SetAllowAllUp(true);
        cell->SetCtlXP(false);
        cell->SetEnterColor(Qt::red);
        cell->setAccessibleName(CellAccessibleName(cell->objectName(), QString()));
        cell->stackUnder(ui->Shape3);
        cells_.push_back(cell);
    });
}

void TForm1::setUpMenuKeys()
{
    // Both keys desktop programs use for it; held down, it places one number, as Undo takes one.
    ui->Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    ui->Redo1->setAutoRepeat(false);
    // Greyed while the menu shows it and nothing can be redone; its keys stay live (and then do
    // nothing), since the list changes in places the menu does not hear of.
    connect(ui->Edit1, &QMenu::aboutToShow, this, [this] { ui->Redo1->setEnabled(!game_.RedoSteps.empty()); });
    connect(ui->Edit1, &QMenu::aboutToHide, this, [this] { ui->Redo1->setEnabled(true); });
    // F10 opens the first menu; from there the arrows reach every entry.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    menuKey->setAutoRepeat(false);
    connect(menuKey, &QShortcut::activated, this, [this] { ui->MainMenu1->setActiveAction(ui->File1->menuAction()); });
}

void TForm1::setUpComfort()
{
    pause_ = new GamePause(this, ui->Shape1, *board_, [this] { return board_->ClockEnabled(); });
    auto* gameMenu = new QMenu(QStringLiteral("&Game"), ui->MainMenu1);
    gameMenu->setObjectName(QStringLiteral("Game1"));
    ui->MainMenu1->insertMenu(ui->N2->menuAction(), gameMenu);
    QAction* pause = gameMenu->addAction(QStringLiteral("&Pause"), this, &TForm1::Pausa1Click);
    pause->setObjectName(QStringLiteral("Pausa1"));
    pause->setShortcut(QKeySequence(Qt::Key_P));
    pause->setCheckable(true);
    connect(pause_, &GamePause::PausedChanged, pause, &QAction::setChecked);
    view_ = new ViewMenu(*appearance_, settingsWriter_, ui->MainMenu1, ui->N2->menuAction(),
                         [this](int percent) { return fitsAtZoom(percent); });
    connect(appearance_, &Appearance::Changed, this, &TForm1::applyLook);
    if (!appearance_->Current().IsClassicAtActualSize())
        applyLook();
}

void TForm1::applyLook()
{
    const Look& look = appearance_->Current();
    ApplyColourScheme(look.colours);
    ApplyWindowBackground(this);
    ZoomWindow(this, look);
    if (help_) {
        ZoomWindow(help_, look);
        help_->Recolour();
    }
    cursor_->Refresh();
    for (QWidget* child : findChildren<QWidget*>())
        child->update();
    if (isVisible()) {
        adjustSize();
        // Still whole on its screen, where it was as far as it can be.
        if (const QScreen* where = screen()) {
            const QRect available = where->availableGeometry();
            QRect frame = frameGeometry();
            frame.moveRight(std::min(frame.right(), available.right()));
            frame.moveBottom(std::min(frame.bottom(), available.bottom()));
            frame.moveLeft(std::max(frame.left(), available.left()));
            frame.moveTop(std::max(frame.top(), available.top()));
            move(frame.topLeft());
        }
    }
}

bool TForm1::fitsAtZoom(int percent) const
{
    const QScreen* where = screen();
    if (!where)
        return true;
    const qreal factor = percent / qreal(appearance_->Current().zoomPercent);
    const QSize frame = frameGeometry().size() - size();
    const QSize zoomed(static_cast<int>(std::lround(width() * factor)), static_cast<int>(std::lround(height() * factor)));
    const QSize room = where->availableGeometry().size();
    return zoomed.width() + frame.width() <= room.width() && zoomed.height() + frame.height() <= room.height();
}

void TForm1::Pausa1Click() { pause_->Toggle(); }

void TForm1::connectHandlers()
{
    for (TFlatSpeedButton* cell : cells_) {
        connect(cell, &TFlatSpeedButton::OnMouseDown, this,
                [this](TFlatSpeedButton* sender, Qt::MouseButton button) { btMouseDown(sender, button); });
        connect(cell, &TFlatSpeedButton::OnClick, this, &TForm1::btClick);
        connect(cell, &TFlatSpeedButton::OnMouseUp, this, [this] { btMouseUp(); });
    }
    for (TShape* shape : {ui->Shape1, ui->Shape2, ui->Shape4})
        connect(shape, &TShape::OnMouseUp, this, [this] { btMouseUp(); });
    connect(ui->BtnUndo1, &TFlatSpeedButton::OnClick, this, [this] { BtnUndo1Click(); });
    connect(ui->BtnUndoMarcato, &TFlatSpeedButton::OnClick, this, [this] { BtnUndoMarcatoClick(); });
    connect(ui->BtnMosse, &TFlatSpeedButton::OnClick, this, [this] { BtnMosseClick(); });
    // The Edit menu's undo entries press the buttons, as their keys do.
    connect(ui->Undo11, &QAction::triggered, this, [this] { ui->BtnUndo1->PressAndRelease(Qt::LeftButton); });
    connect(ui->Undomarked1, &QAction::triggered, this,
            [this] { ui->BtnUndoMarcato->PressAndRelease(Qt::LeftButton); });
    connect(ui->Moves1, &QAction::triggered, this, [this] { ui->BtnMosse->PressAndRelease(Qt::LeftButton); });
    connect(ui->Redo1, &QAction::triggered, this, &TForm1::Redo1Click);
    connect(ui->Keys1, &QAction::triggered, this, &TForm1::Keys1Click);
    connect(ui->Nuovapartita1, &QAction::triggered, this, &TForm1::Nuovapartita1Click);
    connect(ui->Esci1, &QAction::triggered, this, &TForm1::Esci1Click);
    connect(ui->Help1, &QAction::triggered, this, &TForm1::Help1Click);
    connect(ui->Raggiungibile1, &QAction::triggered, this, &TForm1::Raggiungibile1Click);
    connect(ui->Migliori201, &QAction::triggered, this, &TForm1::Migliori201Click);
    connect(ui->Statistiche1, &QAction::triggered, this, &TForm1::Statistiche1Click);
    connect(ui->About1, &QAction::triggered, this, &TForm1::About1Click);
    connect(&TimerTempo, &QTimer::timeout, this, &TForm1::TimerTempoTimer);
}

TFlatSpeedButton* TForm1::CellButton(const QString& id) const
{
    return ui->ClientArea->findChild<TFlatSpeedButton*>(id, Qt::FindDirectChildrenOnly);
}

QLabel* TForm1::ScorePanel() const { return ui->ScorePanel; }
QLabel* TForm1::TimePanel() const { return ui->TimePanel; }

void TForm1::FormCreate()
{
    try {
        recordFile_.Load(bestTable_);
    } catch (const IoError& error) {
        // The window still opens and is playable; the panels keep their layout texts.
        QMessageBox::critical(nullptr, ApplicationTitle(), QString::fromStdString(error.BoxText()));
        return;
    }
    bestTableRead_ = true;
    StartupReset(game_, *board_);
}

void TForm1::btClick(TFlatSpeedButton* sender)
{
    if (pause_->Paused())
        return; // the board is hidden: its actions wait
    tovra::btClick(game_, *board_, board_->CellOf(sender));
}

void TForm1::btMouseDown(TFlatSpeedButton* sender, Qt::MouseButton button)
{
    if (pause_->Paused())
        return; // the board is hidden: its actions wait
    const MouseButton which = button == Qt::LeftButton    ? MouseButton::Left
                              : button == Qt::RightButton ? MouseButton::Right
                                                          : MouseButton::Middle;
    tovra::btMouseDown(game_, *board_, board_->CellOf(sender), which);
}

void TForm1::btMouseUp()
{
    // A cell clicks at its press, so this test already sees the number the press placed.
    if (NoMovesLeft(game_, *board_))
        endGame();
}

void TForm1::endGame()
{
    if (game_.GivenCount > 0)
        finishGivenBoard();
    else
        endOfGame();
}

namespace {
// The name under which record.dat already holds this very game, if it does.
std::optional<std::string> NameInTable(const BestTable& table, const GameInProgress& game)
{
    const std::vector<int> cells(game.cells.begin(), game.cells.end());
    for (int rank = 1; rank <= RecordCount; ++rank) {
        const BestRecord& record = table.ByRank(rank);
        if (StoredGameOrder(record) == cells)
            return RecordName(record);
    }
    return std::nullopt;
}
} // namespace

void TForm1::endOfGame()
{
    recordFile_.Refresh(bestTable_); // another copy of the game may have saved since
    // The board as it ended is handed to the keeper before the sequence shows anything; the
    // game stays in progress until the sequence is over, so a game killed in its windows is
    // offered again at the next start.
    GameChanged();
    // A game offered again that record.dat already holds (killed after its save) is not
    // entered twice.
    const std::optional<std::string> stored =
        endedBefore_ ? NameInTable(bestTable_, SnapshotOf(game_, 0, 0)) : std::nullopt;
    endedBefore_ = false;
    // The board keeps the finished game until both windows are closed: the dialog stores it.
    const std::string name = stored ? *stored : ShowEndOfGameWindows(game_, *board_, bestTable_, recordFile_, this);
    // The name reaches the history in the same step as record.dat.
    if (keeper_)
        keeper_->Finished(name);
    Nuovapartita1Click();
}

void TForm1::BtnUndo1Click()
{
    if (pause_->Paused())
        return; // the board is hidden: its actions wait
    // Right after a new game, undo brings back the game it left.
    if (game_.MoveCount == 0 && keeper_) {
        if (const std::optional<GameInProgress> left = keeper_->TakeBack(game_.GameNumber)) {
            showKeptGame(*left);
            game_.Changes.Notify();
            return;
        }
    }
    tovra::BtnUndo1Click(game_, *board_);
}

void TForm1::BtnUndoMarcatoClick()
{
    if (!pause_->Paused())
        tovra::BtnUndoMarcatoClick(game_, *board_);
}

void TForm1::BtnMosseClick()
{
    if (pause_->Paused())
        return;
    if (givenPlay_) {
        ++givenPlay_->movesShown;
        GameChanged(); // the help used is kept with the game
    }
    tovra::BtnMosseClick(game_, *board_);
}

void TForm1::Redo1Click()
{
    if (!pause_->Paused())
        tovra::Redo1Click(game_, *board_);
}

void TForm1::Nuovapartita1Click()
{
    givenPlay_.reset();
    pause_->Resume(); // the new game starts with the board in sight
    tovra::Nuovapartita1Click(game_, *board_);
}
void TForm1::Esci1Click() { close(); }

void TForm1::closeEvent(QCloseEvent* event)
{
    // The game ends with the window: an undo animation that is dispatching events when the
    // window closes sees its game gone and stops instead of working on hidden cells.
    FlushSaves();
    if (keeper_) {
        settingsWriter_.Later([path = GameDatabasePath(), cells = GameCells(game_), paused = pause_->Paused()](QSettings& settings) {
            RememberClosedBoard(settings, path, cells, paused);
        });
    }
    ++game_.GameNumber;
    reach_->Cancel();
    QMainWindow::closeEvent(event);
}

void TForm1::Help1Click()
{
    if (!help_) {
        help_ = new HelpWindow(this);
        ZoomWindow(help_, appearance_->Current()); // its text at the window's zoom
    }
    help_->ShowContents();
}

void TForm1::Keys1Click()
{
    if (!help_) {
        help_ = new HelpWindow(this);
        ZoomWindow(help_, appearance_->Current()); // its text at the window's zoom
    }
    help_->ShowSection(QStringLiteral("keys"));
}

void TForm1::Raggiungibile1Click()
{
    if (pause_->Paused())
        return;
    if (givenPlay_) {
        ++givenPlay_->reachabilityAsked;
        GameChanged(); // the help used is kept with the game
    }
    reach_->Ask();
}

void TForm1::Migliori201Click()
{
    recordFile_.Refresh(bestTable_); // another copy of the game may have saved since
    ShowBestTwenty(bestTable_, this);
}
void TForm1::Statistiche1Click()
{
    // Read on the keeper's thread; the window opens when the history is there.
    keeper_->ReadHistory([this](std::vector<HistoryGame> games, std::string problem) {
        QMetaObject::invokeMethod(
            this,
            [this, games = std::move(games), problem = QString::fromStdString(problem)]() mutable {
                // Today's board on the board, played on, is a day played though not ended yet.
                DailyContext daily = DailyContextNow();
                if (givenPlay_ && givenPlay_->date && game_.MoveCount > game_.GivenCount)
                    daily.playingNow.push_back(*givenPlay_->date);
                ShowStatistics(std::move(games), problem, this, daily);
            },
            Qt::QueuedConnection);
    });
}
void TForm1::About1Click() { ShowAbout(this); }

void TForm1::SetMonotonicClock(std::function<std::chrono::steady_clock::time_point()> clock)
{
    board_->SetMonotonicClock(std::move(clock));
}

void TForm1::TimerTempoTimer()
{
    // Recomputed from the start each tick, so late ticks (modal windows, undo pauses) never drift;
    // measured on the monotonic clock, so setting the wall clock (daylight saving time, a time
    // sync) does not move it.
    ui->TimePanel->setText(QStringLiteral(" Time: ") + ClockText(board_->ClockElapsed()));
}
