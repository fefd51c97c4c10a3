#include "SolverTask.h"

#include <exception>

SolverTask::SolverTask(ShownCells shown, QObject* parent)
    : QObject(parent)
    , shown_(std::move(shown))
{
}

SolverTask::~SolverTask()
{
    // Each worker posts its end to this object: all of them end before it goes.
    for (Worker& worker : workers_)
        worker.thread.request_stop();
    workers_.clear();
}

void SolverTask::Run(Work work)
{
    Cancel();
    joinFinishedWorkers();
    asked_ = shown_();
    const quint64 question = ++question_;
    running_ = true;
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::jthread thread([this, question, work = std::move(work), done](std::stop_token stop) {
        std::function<void()> deliver;
        try {
            deliver = work(stop);
        } catch (const std::exception&) {
            deliver = {}; // no answer rather than a wrong one; the question just ends
        }
        QMetaObject::invokeMethod(this, [this, question, deliver] { settle(question, deliver); }, Qt::QueuedConnection);
        done->store(true);
    });
    workers_.push_back({std::move(thread), std::move(done)});
}

void SolverTask::Cancel()
{
    if (!running_)
        return;
    running_ = false;
    ++question_;
    for (Worker& worker : workers_)
        worker.thread.request_stop();
}

void SolverTask::settle(quint64 question, const std::function<void()>& deliver)
{
    joinFinishedWorkers();
    const bool current = running_ && question == question_;
    if (current)
        running_ = false;
    const bool delivered = current && deliver && StillShown();
    if (delivered)
        deliver();
    emit Finished(delivered);
}

void SolverTask::joinFinishedWorkers()
{
    // A finished worker's last step is to say so, so joining it takes no time.
    std::erase_if(workers_, [](const Worker& worker) { return worker.done->load(); });
}
