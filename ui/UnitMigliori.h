#pragma once
// The "Best 20" window: the stored games in rank order, and the final board of the selected
// one drawn on 10 x 10 small labels (the 1 in bold, the last number in red, and with its bar
// when the player asks for shapes). Reads the table only.
#include "records/BestRecord.h"
#include "ui/widgets/SchemeCell.h"

#include <QDialog>

#include <array>
#include <memory>

namespace Ui {
class TFormMigliori;
}
class QLabel;

class TFormMigliori : public QDialog {
    Q_OBJECT

public:
    explicit TFormMigliori(const tovra::BestTable& table, QWidget* parent = nullptr);
    ~TFormMigliori() override;

    // Sets the grid's column widths.
    void FormCreate();
    // Fills the grid from the table, selects the first row and draws its game. Runs once per
    // showing.
    void FormActivate();
    // Any selection by mouse or keys, including a click on the row already selected.
    void SgMiglioriClick();
    // Esc closes the window whichever control has the focus; true when the key was used.
    bool FormKeyDown(int key);
    void BtnEsciClick();
    // Opens the selected record's game in the viewer (Enter or a double click on its row);
    // a record without a game opens nothing.
    void ReplaySelectedGame();
    // Ctrl+C: the code of the selected record's game on the clipboard.
    void CopySelectedGameCode();

    // The scheme label of row and column 1..10 ("lb" + RR + CC).
    SchemeCell* SchemeLabel(int row, int column) const;

protected:
    // At a zoom the grid's rows and columns grow with the window's font.
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sizeGrid();
    void createLabels();
    // Draws the scheme of the selected row's record.
    void ShowScheme();

    std::unique_ptr<Ui::TFormMigliori> ui;
    const tovra::BestTable& table_;
    std::array<SchemeCell*, 100> schemeLabels_{};
    bool setUpDone_ = false;
    bool gridMade_ = false; // the grid exists, and is sized again when the font changes
};
