#pragma once
// Play from the keyboard: a cursor on the board of the main window. Hidden until the first
// arrow (or Home, End, Page Up, Page Down) key since the program started, which shows it on the
// last number (the top-left cell before any); later keys move it and it stops at the edges.
// Space or Enter on it is a left press and release of the cell, the context-menu key or
// Shift+F10 a right one: exactly what the mouse does there, so the game sees the same events.
#include "core/GameState.h"

#include <QObject>
#include <QString>

#include <vector>

class KeyboardCursorFrame;
class QKeyEvent;
class QWidget;
class TFlatSpeedButton;

class BoardCursor : public QObject {
    Q_OBJECT

public:
    // Watches the keys that reach `window`. `cells` are the 100 cells in reading order (row 1
    // left to right, then row 2 ...), children of one board widget. Hears of every change of
    // `game` for as long as it lives.
    BoardCursor(QWidget* window, std::vector<TFlatSpeedButton*> cells, tovra::GameState& game);

    // The cell under the cursor, or null while it is hidden.
    TFlatSpeedButton* Cell() const;
    // Surrounds its cell again after the cells moved (a zoom).
    void Refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleKey(const QKeyEvent& key);
    // The cursor's next place for a movement key; false for any other key.
    bool target(const QKeyEvent& key, int& row, int& column) const;
    void showAtStart();
    void moveTo(int row, int column);
    // Frame, focus flag and screen-reader report for the cell now under the cursor.
    void settle();
    // After a change of the board: a cursor left on a cell an undo emptied goes to the last
    // number, where the game goes on; a new number (or none) under the cursor is reported
    // again, so a screen reader says what Space or Enter just did.
    void boardChanged();

    std::vector<TFlatSpeedButton*> cells_;
    const tovra::GameState& game_;
    KeyboardCursorFrame* frame_;
    bool shown_ = false;
    int row_ = 1;
    int column_ = 1;
    QString reported_; // the caption of the cell last reported
    tovra::BoardChanges::Subscription changes_;
};
