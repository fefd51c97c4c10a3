#include "WidgetBoardView.h"

#include "ui/widgets/StateShapes.h"
#include "ui/widgets/TFlatSpeedButton.h"
#include "core/CellId.h"
#include "core/Colors.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <stdexcept>

using namespace tovra;

WidgetBoardView::WidgetBoardView(std::vector<TFlatSpeedButton*> cells, QLabel* scorePanel, QLabel* timePanel,
                                 QTimer* clock, QWidget* messageParent)
    : cells_(std::move(cells))
    , scorePanel_(scorePanel)
    , timePanel_(timePanel)
    , clock_(clock)
    , messageParent_(messageParent)
{
    for (int slot = 0; slot < static_cast<int>(cells_.size()); ++slot)
        slotByName_.insert(cells_[static_cast<std::size_t>(slot)]->objectName(), slot);
}

Cell WidgetBoardView::CellOf(const TFlatSpeedButton* button) const
{
    return Cell{slotByName_.value(button->objectName(), -1)};
}

TFlatSpeedButton* WidgetBoardView::Button(Cell cell) const
{
    if (cell.slot < 0 || cell.slot >= static_cast<int>(cells_.size()))
        throw std::invalid_argument("not a cell of the board");
    return cells_[static_cast<std::size_t>(cell.slot)];
}

Cell WidgetBoardView::FindCell(const std::string& id)
{
    const auto found = slotByName_.constFind(QString::fromStdString(id));
    if (found == slotByName_.constEnd())
        throw std::invalid_argument("no cell named '" + id + "'");
    return Cell{found.value()};
}

std::string WidgetBoardView::CellId(Cell cell) { return Button(cell)->objectName().toStdString(); }
std::string WidgetBoardView::Caption(Cell cell) { return Button(cell)->Caption().toStdString(); }
QString CellAccessibleName(const QString& id, const QString& caption)
{
    return QStringLiteral("row %1, column %2: %3")
        .arg(CellRow(id.toStdString()))
        .arg(CellColumn(id.toStdString()))
        .arg(caption.isEmpty() ? QStringLiteral("empty") : caption);
}

void WidgetBoardView::SetCaption(Cell cell, const std::string& text)
{
    TFlatSpeedButton* button = Button(cell);
    const QString caption = QString::fromStdString(text);
    button->SetCaption(caption);
    button->setAccessibleName(CellAccessibleName(button->objectName(), caption));
}

Color WidgetBoardView::CellColor(Cell cell)
{
    const QColor color = Button(cell)->Color();
    return ColorFromRgb(color.red(), color.green(), color.blue());
}

void UpdateStateShapes(TFlatSpeedButton* button)
{
    const QColor color = button->Color();
    const Color state = ColorFromRgb(color.red(), color.green(), color.blue());
    button->SetStateShapes((state == HintColor ? ReachableShape : 0) | (state == MarkColor ? MarkedShape : 0) |
                           (button->Bold() ? LastNumberShape : 0));
}

void WidgetBoardView::SetCellColor(Cell cell, Color color)
{
    TFlatSpeedButton* button = Button(cell);
    button->SetColor(QColor(RedOf(color), GreenOf(color), BlueOf(color)));
    UpdateStateShapes(button);
}

void WidgetBoardView::SetBold(Cell cell, bool bold)
{
    TFlatSpeedButton* button = Button(cell);
    button->SetBold(bold);
    UpdateStateShapes(button);
}

void WidgetBoardView::SetGiven(Cell cell, bool given)
{
    TFlatSpeedButton* button = Button(cell);
    QFont font = button->font();
    if (font.italic() == given)
        return;
    font.setItalic(given);
    QPalette palette = button->palette();
    const QColor text = given ? QColor(0x60, 0x60, 0x60) : QColor(Qt::black);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::WindowText, text);
    button->setPalette(palette);
    button->setFont(font); // schedules the repaint itself
}

void WidgetBoardView::SetPanelText(Panel panel, const std::string& text)
{
    (panel == Panel::ScorePanel ? scorePanel_ : timePanel_)->setText(QString::fromStdString(text));
}

bool WidgetBoardView::ClockEnabled() { return clock_->isActive() || held_; }

void WidgetBoardView::SetClockEnabled(bool enabled)
{
    if (!enabled)
        held_.reset();
    if (enabled == clock_->isActive())
        return; // restarting would shift the ticks
    if (enabled) {
        clockStarted_ = monotonic_(); // the same moment as the game's StartTime
        clock_->start();
    } else {
        clock_->stop();
    }
}

void WidgetBoardView::ResumeClock(DateTime elapsed)
{
    held_.reset();
    clock_->stop();
    clockStarted_ = monotonic_() - std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                       std::chrono::duration<double, std::ratio<86400>>(elapsed));
    clock_->start();
}

DateTime WidgetBoardView::Now() { return LocalNow(); }

void WidgetBoardView::HoldClock()
{
    if (held_ || !clock_->isActive())
        return;
    held_ = ClockElapsed();
    clock_->stop();
}

void WidgetBoardView::ReleaseClock()
{
    if (!held_)
        return;
    const DateTime elapsed = *held_;
    held_.reset();
    ResumeClock(elapsed);
}

DateTime WidgetBoardView::ClockElapsed() const
{
    if (held_)
        return *held_;
    const std::chrono::duration<double, std::ratio<86400>> elapsed = monotonic_() - clockStarted_;
    return elapsed.count();
}

void WidgetBoardView::InformationMessage(const std::string& text)
{
    QMessageBox::information(messageParent_, QStringLiteral("Information"), QString::fromStdString(text));
    messageParent_->activateWindow(); // the keys (F2, Esc) work again, with or without a window manager
}

void WidgetBoardView::Pause(int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); }

void WidgetBoardView::DispatchPendingEvents() { QApplication::processEvents(); }
