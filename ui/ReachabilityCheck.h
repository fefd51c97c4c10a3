#pragma once
// "Can 100 still be reached?": the question about the game on the board, thought over on a
// worker thread while the window stays live, and answered in a message box.
#include "core/GameState.h"
#include "core/ReachabilityAnswer.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <thread>
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

    ReachabilityCheck(tovra::GameState& game, WidgetBoardView& board, QWidget* window);
    ~ReachabilityCheck() override;

    // Starts thinking about the game on the board (a question still open is dropped). The
    // answer box opens when the answer is there; "No answer yet." after the patience runs out.
    void Ask();
    // After an action on the board: the suggested cell loses its ring, and a question about a
    // position that is gone is dropped.
    void BoardChanged();
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
    struct Worker {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    bool positionIsUnchanged() const;
    void answerArrived(quint64 question, const tovra::ReachabilityAnswer& answer);
    void patienceRanOut();
    void stopThinking();
    void tell(const tovra::ReachabilityAnswer& answer);
    void suggest(int cell);
    void forgetSuggestion();
    void joinFinishedWorkers();

    tovra::GameState& game_;
    WidgetBoardView& board_;
    QWidget* window_;
    Solve solve_;
    QTimer patience_;
    QTimer busyLook_;
    bool thinking_ = false;
    // Numbers every question, so an answer to an older one is recognised and dropped.
    quint64 question_ = 0;
    // The position asked about: an answer is told only while the board still shows it.
    std::uint32_t askedGame_ = 0;
    std::vector<int> askedCells_;
    QPointer<QMessageBox> waitingBox_;
    std::optional<tovra::ReachabilityAnswer> arrivedWhileWaiting_;
    QPointer<TFlatSpeedButton> suggested_;
    // A dropped question's worker is asked to stop and left to finish on its own, so the
    // window never waits for it; the destructor joins them all.
    std::vector<Worker> workers_;
};
