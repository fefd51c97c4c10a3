#pragma once
// A BoardView over a plain table of 100 cells, for running the rules without any window:
// tests and benchmarks. Message boxes, pauses and event dispatches are recorded, not shown,
// and a test can hook the dispatch to play input in the middle of an undo animation.
#include "BoardView.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace tovra {

class InMemoryBoard : public BoardView {
public:
    struct CellState {
        std::string caption;
        Color color = FreeColor;
        bool bold = false;
        bool given = false;
    };

    InMemoryBoard();

    Cell FindCell(const std::string& id) override;
    std::string CellId(Cell cell) override;
    std::string Caption(Cell cell) override;
    void SetCaption(Cell cell, const std::string& text) override;
    Color CellColor(Cell cell) override;
    void SetCellColor(Cell cell, Color color) override;
    void SetBold(Cell cell, bool bold) override;
    void SetGiven(Cell cell, bool given) override;
    void SetPanelText(Panel panel, const std::string& text) override;
    bool ClockEnabled() override { return clockEnabled_; }
    void SetClockEnabled(bool enabled) override { clockEnabled_ = enabled; }
    DateTime Now() override { return now; }
    void InformationMessage(const std::string& text) override { messages.push_back(text); }
    void Pause(int milliseconds) override { pauses.push_back(milliseconds); }
    void DispatchPendingEvents() override;

    // Inspection for tests.
    const CellState& At(const std::string& id) const;
    const CellState& At(int row, int column) const;
    const std::string& PanelText(Panel panel) const;
    // Ten lines of ten columns: the number, "." for a free cell; a suffix '*' marks MarkColor,
    // '+' HintColor. Meant for failure messages.
    std::string ToText() const;

    DateTime now = 0;
    std::vector<std::string> messages;
    std::vector<int> pauses;
    std::function<void()> onDispatch; // runs inside DispatchPendingEvents
    int dispatches = 0;

private:
    static int SlotOf(const std::string& id);
    CellState& state(Cell cell);

    std::array<CellState, 100> cells_{};
    std::string scorePanel_;
    std::string timePanel_;
    bool clockEnabled_ = false;
};

} // namespace tovra
