#pragma once
// One question for the solver about the board a window shows, worked out on a thread of its
// own while the window stays live. The answer is handed over on the window's thread, and only
// while the board still shows the cells the question was about and no newer question has taken
// its place: whatever else the window redraws meanwhile (a pause, another answer) leaves it
// standing. A question dropped for a newer one, or cancelled, is asked to stop and left to end
// on its own, so the window never waits for it.
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>
#include <vector>

class SolverTask : public QObject {
    Q_OBJECT

public:
    // The cells the window shows now (cell indexes, in the order of their numbers).
    using ShownCells = std::function<std::vector<int>()>;
    // The question, run on the worker: returns what to do with its answer on the window's
    // thread, or an empty function when there is nothing to hand over.
    using Work = std::function<std::function<void()>(std::stop_token)>;

    explicit SolverTask(ShownCells shown, QObject* parent = nullptr);
    // Asks every worker to stop and waits for them: each ends within a solver step.
    ~SolverTask() override;

    // Starts `work` about the cells shown now; an open question is dropped.
    void Run(Work work);
    // Drops the open question, if any.
    void Cancel();

    bool Running() const { return running_; }
    // The cells of the last question.
    const std::vector<int>& AskedCells() const { return asked_; }
    // True while the window shows the cells of the last question.
    bool StillShown() const { return shown_() == asked_; }

signals:
    // A worker ended: its answer was handed over (`delivered`), or dropped as out of date.
    void Finished(bool delivered);

private:
    struct Worker {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void settle(quint64 question, const std::function<void()>& deliver);
    void joinFinishedWorkers();

    ShownCells shown_;
    std::vector<int> asked_;
    // Numbers every question, so an answer to an older one is recognised and dropped.
    quint64 question_ = 0;
    bool running_ = false;
    std::vector<Worker> workers_;
};
