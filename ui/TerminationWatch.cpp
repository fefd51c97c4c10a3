#include "TerminationWatch.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
// The handler may only write to a pipe; the window's thread reads it.
int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char byte = 1;
    (void)!::write(signalPipe[1], &byte, 1);
}
} // namespace

TerminationWatch::TerminationWatch(std::function<void()> lastStep, QObject* parent)
    : QObject(parent)
    , lastStep_(std::move(lastStep))
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signal keeps ending the program at once
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationWatch::terminate);
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
}

TerminationWatch::~TerminationWatch()
{
    if (!notifier_)
        return;
    std::signal(SIGTERM, SIG_DFL);
    delete notifier_;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void TerminationWatch::terminate()
{
    std::signal(SIGTERM, SIG_DFL);
    notifier_->setEnabled(false);
    if (lastStep_)
        lastStep_();
    ::raise(SIGTERM);
}
