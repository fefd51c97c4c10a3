#pragma once
// The game core's only window onto the board: the 100 cells, the two status panels, the
// game clock and the message box. The main window implements it over its widgets; the
// in-memory board implements it for tests and benchmarks.
#include "Colors.h"
#include "DateTime.h"

#include <string>

namespace tovra {

// A cell as the view hands it out; only the view that made it can read it.
struct Cell {
    int slot = -1;
    friend bool operator==(Cell, Cell) = default;
};

enum class Panel { ScorePanel, TimePanel };

class BoardView {
public:
    virtual ~BoardView() = default;

    // Every operation is synchronous and cannot fail for the 100 valid identifiers.
    virtual Cell FindCell(const std::string& id) = 0;
    virtual std::string CellId(Cell cell) = 0;
    virtual std::string Caption(Cell cell) = 0;
    virtual void SetCaption(Cell cell, const std::string& text) = 0; // empty text frees the cell
    virtual Color CellColor(Cell cell) = 0;
    virtual void SetCellColor(Cell cell, Color color) = 0;
    virtual void SetBold(Cell cell, bool bold) = 0;
    // Draws a number as one that came with the board rather than one the player placed.
    virtual void SetGiven(Cell, bool) {}

    virtual void SetPanelText(Panel panel, const std::string& text) = 0; // empty text blanks it

    virtual bool ClockEnabled() = 0;
    virtual void SetClockEnabled(bool enabled) = 0;
    virtual DateTime Now() = 0;

    // A modal information box with one OK button; returns when it is closed.
    virtual void InformationMessage(const std::string& text) = 0;
    virtual void Pause(int milliseconds) = 0;
    // Lets the event loop run every waiting event; other game handlers may run inside.
    virtual void DispatchPendingEvents() = 0;
};

} // namespace tovra
