// The main window's boards that come with their first numbers (today's board, a board from a
// code) and its board codes: kept apart from the ordinary game, which they leave as it is.
#include "Unit1.h"

#include "ApplicationTitle.h"
#include "BoardCodeCommands.h"
#include "GivenBoardEndDialog.h"
#include "ReachabilityCheck.h"
#include "WidgetBoardView.h"
#include "WindowLook.h"
#include "core/BoardCell.h"
#include "core/DailyBoard.h"
#include "core/Game.h"
#include "core/ReachabilityAnswer.h"
#include "gamestore/GameKeeper.h"
#include "ui_TForm1.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>

#include <cmath>

using namespace tovra;

void TForm1::setUpBoardMenus()
{
    // The Game menu's first entries: the other ways of starting a game.
    auto* today = new QAction(QStringLiteral("&Today's board"), this);
    today->setObjectName(QStringLiteral("TodaysBoard1"));
    today->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    auto* open = new QAction(QStringLiteral("&Open a code..."), this);
    open->setObjectName(QStringLiteral("OpenCode1"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    auto* kept = new QAction(QStringLiteral("&Continue a kept game..."), this);
    kept->setObjectName(QStringLiteral("ContinueKept1"));
    kept->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    QMenu* game = ui->MainMenu1->findChild<QMenu*>(QStringLiteral("Game1"), Qt::FindDirectChildrenOnly);
    QMenu* menu = game ? game : ui->File1;
    QAction* first = menu->actions().value(0);
    menu->insertActions(first, {today, open, kept});
    menu->insertSeparator(first);
    connect(today, &QAction::triggered, this, &TForm1::TodaysBoard1Click);
    connect(open, &QAction::triggered, this, &TForm1::OpenCode1Click);
    connect(kept, &QAction::triggered, this, &TForm1::ContinueKept1Click);

    auto* copy = new QAction(QStringLiteral("Copy &code"), this);
    copy->setObjectName(QStringLiteral("CopyCode1"));
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    ui->Edit1->addSeparator();
    ui->Edit1->addAction(copy);
    connect(copy, &QAction::triggered, this, &TForm1::CopyCode1Click);
}

void TForm1::TodaysBoard1Click()
{
    const DailyBoard board = MakeDailyBoard(DecodeDate(board_->Now()));
    GivenBoardPlay play;
    play.date = board.date;
    play.grade = board.grade;
    PlayGivenBoard(board.cells, play);
}

void TForm1::OpenCode1Click()
{
    if (const auto cells = AskForBoardCode(this))
        OpenCodeInViewer(*cells);
}

void TForm1::OpenCodeInViewer(const std::vector<int>& cells)
{
    ShowCodeViewer(cells, this, [this](const std::vector<int>& shown) {
        if (shown.empty()) {
            Nuovapartita1Click(); // the empty board is an ordinary game
            return;
        }
        PlayGivenBoard(shown, GivenBoardPlay{});
    });
}

void TForm1::CopyCode1Click()
{
    if (game_.MoveCount == 0) {
        board_->InformationMessage(GameIsEmptyMessage);
        return;
    }
    CopyBoardCode(GameCells(game_));
}

void TForm1::PlayGivenBoard(const std::vector<int>& cells, GivenBoardPlay play)
{
    // As "New game" first: the game on the board is left the way F2 leaves it.
    Nuovapartita1Click();
    std::vector<BoardCell> given;
    for (const int cell : cells)
        given.push_back(BoardCell::FromIndex(cell));
    // Known before the board tells the keeper of its numbers: it is kept with them.
    givenPlay_ = play;
    StartGivenBoard(game_, *board_, given);
    givenPlay_->given = game_.GivenCount;
}

void TForm1::finishGivenBoard()
{
    const GivenBoardPlay play = givenPlay_.value_or(GivenBoardPlay{std::nullopt, 0, game_.GivenCount, 0, 0});
    const int seconds = board_->ClockEnabled() ? static_cast<int>(std::lround(board_->ClockElapsed() * 86'400.0)) : 0;
    // The board as it ended, with its time, reaches the keeper before the clock stops.
    GameChanged();
    endedBefore_ = false;
    board_->SetClockEnabled(false);
    GivenBoardEndDialog dialog(QString::fromStdString(GivenBoardTitle(play)),
                               QString::fromStdString(GivenBoardEndText(play, game_.MoveCount, seconds)),
                               QString::fromStdString(GivenBoardResultText(play, game_.MoveCount, seconds)), this);
    CentreOnScreen(&dialog);
    dialog.exec();
    // Into the history with no name, as it is not ranked. Until the window closes the game stays
    // in progress, so one killed in it ends again at the next start.
    if (keeper_)
        keeper_->Finished({});
    Nuovapartita1Click();
}
