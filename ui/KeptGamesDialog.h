#pragma once
// "Continue a kept game": the games in progress that no open copy of the game is playing (those
// left for a new game among them), the most recently played first. One is continued on the
// board, or given up into the history.
#include "gamestore/GameDatabase.h"

#include <QDialog>
#include <QLocale>
#include <QStringList>

#include <vector>

class QLabel;
class QTreeWidget;
class TFlatSpeedButton;

// A kept game's row: its numbers, when it was last played, the time played.
QStringList KeptGameTexts(const tovra::KeptGame& game, const QLocale& locale = QLocale());

class KeptGamesDialog : public QDialog {
    Q_OBJECT

public:
    enum class Choice { None, Continue, GiveUp };

    explicit KeptGamesDialog(std::vector<tovra::KeptGame> newestFirst, QWidget* parent = nullptr);

    // What the player chose, once the dialog has closed, and for which game.
    Choice Chosen() const { return choice_; }
    const tovra::KeptGame* ChosenGame() const;
    QTreeWidget* GameList() const { return list_; }
    // "Continue" and "Give up..." act on the current row.
    void ContinueSelected();
    void GiveUpSelected();

protected:
    void changeEvent(QEvent* event) override;

private:
    void choose(Choice choice);
    // The list as high as its rows (three to eight), in the dialog's font.
    void sizeListToRows();

    std::vector<tovra::KeptGame> games_;
    QTreeWidget* list_ = nullptr;
    TFlatSpeedButton* continue_ = nullptr;
    TFlatSpeedButton* giveUp_ = nullptr;
    Choice choice_ = Choice::None;
    int chosenRow_ = -1;
};
