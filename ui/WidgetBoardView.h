#pragma once
// The game's BoardView over the main window's widgets: the 100 cell buttons, the two status
// panels and the clock timer.
#include "core/BoardView.h"

#include <QHash>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QTimer;
class QWidget;
class TFlatSpeedButton;

// What a screen reader says of a cell: "row 3, column 10: 27", or "…: empty" for a free cell.
QString CellAccessibleName(const QString& id, const QString& caption);
// Gives a cell the shapes of the states its colour and bold tell: where the next number may go
// (or, in the viewer, a number of the way to 100), the mark, the last number.
void UpdateStateShapes(TFlatSpeedButton* button);

class WidgetBoardView : public tovra::BoardView {
public:
    WidgetBoardView(std::vector<TFlatSpeedButton*> cells, QLabel* scorePanel, QLabel* timePanel, QTimer* clock,
                    QWidget* messageParent);

    // The cell a button event came from.
    tovra::Cell CellOf(const TFlatSpeedButton* button) const;
    TFlatSpeedButton* Button(tovra::Cell cell) const;

    // Time since the clock timer last started, as a day fraction, on a monotonic clock.
    tovra::DateTime ClockElapsed() const;
    // The monotonic clock to measure with (tests step it by hand).
    using MonotonicClock = std::function<std::chrono::steady_clock::time_point()>;
    void SetMonotonicClock(MonotonicClock clock) { monotonic_ = std::move(clock); }
    // Starts the clock as if it had been running for `elapsed` (a resumed game's time).
    void ResumeClock(tovra::DateTime elapsed);
    // Holds the clock where it stands (a paused game) and lets it go on from there. A held
    // clock counts as enabled: the game is still going.
    void HoldClock();
    void ReleaseClock();
    bool ClockHeld() const { return held_.has_value(); }

    tovra::Cell FindCell(const std::string& id) override;
    std::string CellId(tovra::Cell cell) override;
    std::string Caption(tovra::Cell cell) override;
    void SetCaption(tovra::Cell cell, const std::string& text) override;
    tovra::Color CellColor(tovra::Cell cell) override;
    void SetCellColor(tovra::Cell cell, tovra::Color color) override;
    void SetBold(tovra::Cell cell, bool bold) override;
    // Given numbers are written in italics, in grey: told apart by their shape as well as their shade.
    void SetGiven(tovra::Cell cell, bool given) override;
    void SetPanelText(tovra::Panel panel, const std::string& text) override;
    bool ClockEnabled() override;
    void SetClockEnabled(bool enabled) override;
    tovra::DateTime Now() override;
    void InformationMessage(const std::string& text) override;
    void Pause(int milliseconds) override;
    void DispatchPendingEvents() override;

private:
    std::vector<TFlatSpeedButton*> cells_;
    QHash<QString, int> slotByName_;
    QLabel* scorePanel_;
    QLabel* timePanel_;
    QTimer* clock_;
    QWidget* messageParent_;
    MonotonicClock monotonic_ = [] { return std::chrono::steady_clock::now(); };
    std::chrono::steady_clock::time_point clockStarted_{};
    std::optional<tovra::DateTime> held_;
};
