#pragma once
// A logout or a plain `kill` ends the program with SIGTERM, which gives no window a chance to
// close. This runs one last step on the window's thread first (the game in progress is
// written), then ends the program by the same signal, as it would have ended without it.
#include <QObject>

#include <functional>

class QSocketNotifier;

class TerminationWatch : public QObject {
    Q_OBJECT

public:
    // One for the program, made in main once the application object exists: a signal has one
    // handler per process, so a second watch would only take the signal from the first and is
    // refused (it watches nothing). `lastStep` runs on this object's thread.
    explicit TerminationWatch(std::function<void()> lastStep, QObject* parent = nullptr);
    // The signal ends the program at once again.
    ~TerminationWatch() override;

private:
    void terminate();

    std::function<void()> lastStep_;
    QSocketNotifier* notifier_ = nullptr;
    int pipe_[2] = {-1, -1};
};
