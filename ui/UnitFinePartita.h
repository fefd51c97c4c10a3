#pragma once
// The end-of-game dialog: shows the final score and, when the game ranks among the best 20,
// takes the player's name, enters the game into the table and writes "record.dat".
#include "core/BoardView.h"
#include "core/GameState.h"
#include "records/BestRecord.h"
#include "records/RecordFile.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace Ui {
class TFormFinePartita;
}

class TFormFinePartita : public QDialog {
    Q_OBJECT

public:
    TFormFinePartita(tovra::GameState& game, tovra::BoardView& board, tovra::BestTable& table,
                     tovra::RecordFile& file, QWidget* parent = nullptr);
    ~TFormFinePartita() override;

    // Rank 1..20 at which the finished game enters the table, 0 when it does not rank.
    // Set by FormActivate.
    int InsertPosition() const { return insertPosition_; }

    // Shows the score, empties the name, finds the rank and shows the name row only when the
    // game ranks. Runs once per showing, so leaving the dialog for another window and coming
    // back keeps a half-typed name.
    void FormActivate();
    // Enters the game (once) and saves the table; closes unless the save raised an error.
    void BtnOkClick();
    // Enter in the name box acts as "Ok"; true when the key was used.
    bool EditNomeKeyPress(QChar key);

    // The name as record.dat now holds it (UTF-8); empty until "Ok" saved the game there.
    const std::string& SavedName() const { return savedName_; }

    // The final board as stored in a record: row-major, 0 for a free cell.
    std::array<std::uint8_t, 100> FinalScheme() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setNameRowVisible(bool visible);
    // Tells the player which typed characters a name cannot keep, below the name box.
    void showNameHint(const QString& refused);

    std::unique_ptr<Ui::TFormFinePartita> ui;
    tovra::GameState& game_;
    tovra::BoardView& board_;
    tovra::BestTable& table_;
    tovra::RecordFile& file_;
    int insertPosition_ = 0;
    bool setUpDone_ = false;
    // The game stands in the table; after a failed save a further "Ok" only saves again.
    bool gameEntered_ = false;
    std::string savedName_;
};
