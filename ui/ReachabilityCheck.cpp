#include "ReachabilityCheck.h"

#include "WindowLook.h"
#include "GameViewer.h"
#include "WidgetBoardView.h"
#include "core/CellId.h"
#include "core/Game.h"
#include "core/GameReplay.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

using namespace tovra;

namespace {
constexpr int PatienceMs = 10000;
// Most answers take a few milliseconds: the busy pointer shows only for the slow ones, so
// the pointer does not flicker on every question.
constexpr int BusyLookMs = 300;

// Beside the window rather than over the board it talks about (and the ring it draws there).
void PlaceBesideWindow(QMessageBox& box, const QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    box.ensurePolished();
    const QMargins frame = FrameMargins(window);
    const QSize size = box.sizeHint().grownBy(frame);
    const QPoint place = PlaceBeside(window->frameGeometry(), size, screen->availableGeometry());
    box.move(place + QPoint(frame.left(), frame.top()));
}

// A box titled with the question it answers. With an action it has that button and "Close" and
// tells whether the action was chosen; without one it is a plain box with "OK". `openBox`
// points at the box while it is open, so it can be closed from outside.
bool ShowAnswerBox(QWidget* window, const QString& text, const QString& action = {}, bool actionIsDefault = false,
                   QPointer<QMessageBox>* openBox = nullptr, const QString& dismiss = QStringLiteral("Close"))
{
    QMessageBox box(QMessageBox::Information, ReachabilityQuestion(), text, QMessageBox::NoButton, window);
    QPushButton* chosen = nullptr;
    if (action.isEmpty()) {
        box.setStandardButtons(QMessageBox::Ok);
    } else {
        chosen = box.addButton(action, QMessageBox::AcceptRole);
        QPushButton* close = box.addButton(dismiss, QMessageBox::RejectRole);
        box.setDefaultButton(actionIsDefault ? chosen : close);
        box.setEscapeButton(close);
    }
    if (openBox)
        *openBox = &box;
    PlaceBesideWindow(box, window);
    box.exec();
    window->activateWindow(); // the keys work again, with or without a window manager
    return chosen && box.clickedButton() == chosen;
}
} // namespace

ReachabilityCheck::ReachabilityCheck(GameState& game, WidgetBoardView& board, QWidget* window)
    : game_(game)
    , board_(board)
    , window_(window)
    , solve_(AnswerReachability)
    , changes_(game.Changes.Subscribe([this] { boardChanged(); }))
    , task_([&game] { return GameCells(game); })
{
    patience_.setSingleShot(true);
    patience_.setInterval(PatienceMs);
    connect(&patience_, &QTimer::timeout, this, &ReachabilityCheck::patienceRanOut);
    busyLook_.setSingleShot(true);
    busyLook_.setInterval(BusyLookMs);
    // Busy, but the board still takes clicks.
    connect(&busyLook_, &QTimer::timeout, this, [this] { window_->setCursor(Qt::BusyCursor); });
    connect(&task_, &SolverTask::Finished, this, &ReachabilityCheck::questionEnded);
}

ReachabilityCheck::~ReachabilityCheck() = default;

void ReachabilityCheck::Ask()
{
    Cancel();
    forgetSuggestion();
    task_.Run([this, cells = GameCells(game_), solve = solve_](std::stop_token stop) -> std::function<void()> {
        const ReachabilityAnswer answer = solve(cells, stop);
        if (answer.kind == ReachabilityAnswer::Kind::Stopped)
            return {};
        return [this, answer] { answerArrived(answer); };
    });
    thinking_ = true;
    busyLook_.start();
    patience_.start();
}

void ReachabilityCheck::boardChanged()
{
    forgetSuggestion();
    if (thinking_ && !task_.StillShown())
        Cancel();
}

void ReachabilityCheck::Cancel()
{
    if (!thinking_)
        return;
    task_.Cancel();
    stopThinking();
    if (waitingBox_)
        waitingBox_->reject();
}

void ReachabilityCheck::answerArrived(const ReachabilityAnswer& answer)
{
    stopThinking();
    if (waitingBox_) {
        // "No answer yet." is open: it closes, and the answer follows it.
        arrivedWhileWaiting_ = answer;
        waitingBox_->accept();
        return;
    }
    tell(answer);
}

void ReachabilityCheck::questionEnded(bool answered)
{
    if (!answered && thinking_ && !task_.Running()) {
        // Dropped, or stopped without an answer: nothing left to wait for.
        stopThinking();
        if (waitingBox_)
            waitingBox_->reject();
    }
    emit AnswerHandled();
}

void ReachabilityCheck::patienceRanOut()
{
    if (!thinking_)
        return;
    const bool keepTrying = ShowAnswerBox(window_, QStringLiteral("No answer yet."), QStringLiteral("Keep trying"),
                                          true, &waitingBox_);
    if (arrivedWhileWaiting_) {
        const ReachabilityAnswer answer = *arrivedWhileWaiting_;
        arrivedWhileWaiting_.reset();
        tell(answer);
        return;
    }
    if (!thinking_)
        return;
    if (keepTrying)
        patience_.start();
    else
        Cancel();
}

void ReachabilityCheck::stopThinking()
{
    thinking_ = false;
    patience_.stop();
    busyLook_.stop();
    window_->unsetCursor();
}

void ReachabilityCheck::tell(const ReachabilityAnswer& answer)
{
    using Kind = ReachabilityAnswer::Kind;
    const QString text = QString::fromStdString(AnswerText(answer));
    switch (answer.kind) {
    case Kind::FromAnyFirstCell:
    case Kind::Reached:
        ShowAnswerBox(window_, text);
        break;
    case Kind::Reachable:
        // The ring shows while the box is open, so the player sees the cell it names.
        suggest(answer.nextCell);
        // "OK" stays the default, so Enter and Esc close the box as before.
        if (ShowAnswerBox(window_, text, QStringLiteral("Show a way"), false, nullptr, QStringLiteral("OK")))
            ShowGameViewer(GameReplay(task_.AskedCells()), QStringLiteral("A way to 100"), window_, true);
        break;
    case Kind::Unreachable: {
        const bool undo = ShowAnswerBox(window_, text, QStringLiteral("Undo to ") + QString::number(answer.lastReachable));
        if (undo && task_.StillShown())
            UndoToNumber(game_, board_, answer.lastReachable);
        break;
    }
    case Kind::Stopped:
        break;
    }
}

void ReachabilityCheck::suggest(int cell)
{
    forgetSuggestion();
    suggested_ = board_.Button(board_.FindCell(CellIdOf(cell)));
    suggested_->SetSuggested(true);
}

void ReachabilityCheck::forgetSuggestion()
{
    if (suggested_)
        suggested_->SetSuggested(false);
    suggested_ = nullptr;
}
