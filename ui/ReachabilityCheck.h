#pragma once
// "Can 100 still be reached?": the question about the game on the board, thought over on a
// worker thread while the window stays live, and answered in a message box.
#include "SolverTask.h"
#include "core/GameState.h"
#include "core/ReachabilityAnswer.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

class QMessageBox;
class QWidget;
class WidgetBoardView;

// The question, as the menu asks it and the answer box's title repeats it.
inline QString ReachabilityQuestion() { return QStringLiteral("Can 100 still be reached?"); }

class ReachabilityCheck : public QObject {
    Q_OBJECT

public:
    using Solve = std::function<tovra::ReachabilityAnswer(const std::vector<int>&, std::stop_token)>;

    // Hears of every change of `game` for as long as it lives.
    ReachabilityCheck(tovra::GameState& game, WidgetBoardView& board, QWidget* window);
    ~ReachabilityCheck() override;

    // Starts thinking about the game on the board (a question still open is dropped). The
    // answer box opens when the answer is there; "No answer yet." after the patience runs out.
    void Ask();
    // Drops the open question, if any.
    void Cancel();

    bool Thinking() const { return thinking_; }
    // The cell the last answer suggested, while its ring shows; nullptr otherwise.
    TFlatSpeedButton* SuggestedCell() const { return suggested_; }

signals:
    // An answer came back from a worker and was told, or dropped as out of date.
    void AnswerHandled();

public:
    // For tests: another solver, a shorter wait before "No answer yet.".
    void SetSolver(Solve solve) { solve_ = std::move(solve); }
    void SetPatience(int milliseconds) { patience_.setInterval(milliseconds); }

private:
    // After a change of the game: the suggested cell loses its ring, and a question about a
    // position that is gone is dropped.
    void boardChanged();
    void answerArrived(const tovra::ReachabilityAnswer& answer);
    void questionEnded(bool answered);
    void patienceRanOut();
    void stopThinking();
    void tell(const tovra::ReachabilityAnswer& answer);
    void suggest(int cell);
    void forgetSuggestion();

    tovra::GameState& game_;
    WidgetBoardView& board_;
    QWidget* window_;
    Solve solve_;
    QTimer patience_;
    QTimer busyLook_;
    bool thinking_ = false;
    QPointer<QMessageBox> waitingBox_;
    std::optional<tovra::ReachabilityAnswer> arrivedWhileWaiting_;
    QPointer<TFlatSpeedButton> suggested_;
    tovra::BoardChanges::Subscription changes_;
    // Last: its workers end before anything they report to goes.
    SolverTask task_;
};
