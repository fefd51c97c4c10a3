// The main window's kept games: the games in progress no copy of the game is playing, those
// left for a new game among them. One is continued in place of the board's game, which is kept
// in its turn, or given up into the history. The list is read by the keeper, off this thread.
#include "Unit1.h"

#include "ApplicationTitle.h"
#include "KeptGamesDialog.h"
#include "WindowLook.h"
#include "WindowZoom.h"
#include "gamestore/GameKeeper.h"

#include <QMessageBox>

using namespace tovra;

void TForm1::ContinueKept1Click()
{
    if (!keeper_)
        return;
    keeper_->ListKeptGames([this](std::vector<KeptGame> games, std::string problem) {
        QMetaObject::invokeMethod(
            this,
            [this, games = std::move(games), problem = QString::fromStdString(problem)]() mutable {
                chooseKeptGame(std::move(games), problem);
            },
            Qt::QueuedConnection);
    });
}

void TForm1::chooseKeptGame(std::vector<KeptGame> games, const QString& problem)
{
    if (!problem.isEmpty()) {
        QMessageBox::information(this, ApplicationTitle(), problem);
        return;
    }
    KeptGamesDialog dialog(std::move(games), this);
    ZoomDialog(&dialog);
    dialog.adjustSize();
    CentreOnScreen(&dialog);
    dialog.exec();
    const KeptGame* chosen = dialog.ChosenGame();
    if (!chosen)
        return;
    if (dialog.Chosen() == KeptGamesDialog::Choice::Continue) {
        continueKeptGame(chosen->stored);
        return;
    }
    const QString question =
        QStringLiteral("Give up the game of %1 numbers? It goes into the statistics as abandoned and cannot be continued.")
            .arg(chosen->stored.game.cells.size());
    if (QMessageBox::question(this, ApplicationTitle(), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
        QMessageBox::Yes) {
        ContinueKept1Click(); // back to the list
        return;
    }
    // The list comes back once the game is in the history, without it.
    keeper_->GiveUp(chosen->stored, [this](bool) {
        QMetaObject::invokeMethod(this, [this] { ContinueKept1Click(); }, Qt::QueuedConnection);
    });
}

void TForm1::continueKeptGame(const StoredGame& chosen)
{
    // As "New game" first: the board's game is left the way F2 leaves it, kept for later.
    Nuovapartita1Click();
    const std::optional<GameInProgress> shown = keeper_->Continue(game_.GameNumber, chosen);
    if (!shown) {
        QMessageBox::information(this, ApplicationTitle(),
                                 QStringLiteral("The game database is still busy with the last game: try again in a moment."));
        return;
    }
    showKeptGame(*shown);
    game_.Changes.Notify();
}
