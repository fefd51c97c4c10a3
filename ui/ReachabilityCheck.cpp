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
{
    patience_.setSingleShot(true);
    patience_.setInterval(PatienceMs);
    connect(&patience_, &QTimer::timeout, this, &ReachabilityCheck::patienceRanOut);
    busyLook_.setSingleShot(true);
    busyLook_.setInterval(BusyLookMs);
    // Busy, but the board still takes clicks.
    connect(&busyLook_, &QTimer::timeout, this, [this] { window_->setCursor(Qt::BusyCursor); });
}

ReachabilityCheck::~ReachabilityCheck()
{
    // Each worker posts its answer to this object: all of them end before it goes.
    for (Worker& worker : workers_)
        worker.thread.request_stop();
    workers_.clear();
}

void ReachabilityCheck::Ask()
{
    Cancel();
    forgetSuggestion();
    joinFinishedWorkers();
    askedGame_ = game_.GameNumber;
    askedCells_ = GameCells(game_);
    const quint64 question = ++question_;
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::jthread thread([this, question, cells = askedCells_, solve = solve_, done](std::stop_token stop) {
        ReachabilityAnswer answer;
        try {
            answer = solve(cells, stop);
        } catch (const std::exception&) {
            answer = {}; // no answer rather than a wrong one; the question just ends
        }
        QMetaObject::invokeMethod(
            this,
            [this, question, answer] {
                answerArrived(question, answer);
                emit AnswerHandled();
            },
            Qt::QueuedConnection);
        done->store(true);
    });
    workers_.push_back({std::move(thread), std::move(done)});
    thinking_ = true;
    busyLook_.start();
    patience_.start();
}

void ReachabilityCheck::BoardChanged()
{
    forgetSuggestion();
    if (thinking_ && !positionIsUnchanged())
        Cancel();
}

void ReachabilityCheck::Cancel()
{
    if (!thinking_)
        return;
    ++question_;
    for (Worker& worker : workers_)
        worker.thread.request_stop();
    stopThinking();
    if (waitingBox_)
        waitingBox_->reject();
}

bool ReachabilityCheck::positionIsUnchanged() const
{
    return game_.GameNumber == askedGame_ && GameCells(game_) == askedCells_;
}

void ReachabilityCheck::answerArrived(quint64 question, const ReachabilityAnswer& answer)
{
    joinFinishedWorkers();
    if (question != question_ || !thinking_)
        return; // an answer to a question that was dropped
    stopThinking();
    if (!positionIsUnchanged() || answer.kind == ReachabilityAnswer::Kind::Stopped) {
        if (waitingBox_)
            waitingBox_->reject(); // nothing left to wait for
        return;
    }
    if (waitingBox_) {
        // "No answer yet." is open: it closes, and the answer follows it.
        arrivedWhileWaiting_ = answer;
        waitingBox_->accept();
        return;
    }
    tell(answer);
}

void ReachabilityCheck::patienceRanOut()
{
    if (!thinking_)
        return;
    const quint64 question = question_;
    const bool keepTrying = ShowAnswerBox(window_, QStringLiteral("No answer yet."), QStringLiteral("Keep trying"),
                                          true, &waitingBox_);
    if (arrivedWhileWaiting_) {
        const ReachabilityAnswer answer = *arrivedWhileWaiting_;
        arrivedWhileWaiting_.reset();
        tell(answer);
        return;
    }
    if (question != question_ || !thinking_)
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
    switch (answer.kind) {
    case Kind::FromAnyFirstCell:
        ShowAnswerBox(window_, QStringLiteral("100 can be reached from any first cell."));
        break;
    case Kind::Reached:
        ShowAnswerBox(window_, QStringLiteral("100 has been reached."));
        break;
    case Kind::Reachable:
        // The ring shows while the box is open, so the player sees the cell it names.
        suggest(answer.nextCell);
        // "OK" stays the default, so Enter and Esc close the box as before.
        if (ShowAnswerBox(window_, QStringLiteral("100 can still be reached.\nNext: row %1, column %2")
                                       .arg(answer.nextCell / BoardSize + 1)
                                       .arg(answer.nextCell % BoardSize + 1),
                          QStringLiteral("Show a way"), false, nullptr, QStringLiteral("OK")))
            ShowGameViewer(GameReplay(askedCells_), QStringLiteral("A way to 100"), window_, true);
        break;
    case Kind::Unreachable: {
        const QString number = QString::number(answer.lastReachable);
        const bool undo = ShowAnswerBox(
            window_, QStringLiteral("100 can no longer be reached. It could until number %1.").arg(number),
            QStringLiteral("Undo to ") + number);
        if (undo && positionIsUnchanged())
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

void ReachabilityCheck::joinFinishedWorkers()
{
    // A finished worker's last step is to say so, so joining it takes no time.
    std::erase_if(workers_, [](const Worker& worker) { return worker.done->load(); });
}
