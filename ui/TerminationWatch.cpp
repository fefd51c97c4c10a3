#include "TerminationWatch.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
// A signal handler reaches nothing but what the process holds for it: the write end of the one
// watch's pipe, whose read end is watched on the window's thread. Set and cleared by that watch
// alone.
volatile std::sig_atomic_t signalWriteEnd = -1;

void OnTerminationSignal(int)
{
    const char byte = 1;
    (void)!::write(signalWriteEnd, &byte, 1);
}
} // namespace

TerminationWatch::TerminationWatch(std::function<void()> lastStep, QObject* parent)
    : QObject(parent)
    , lastStep_(std::move(lastStep))
{
    if (signalWriteEnd >= 0 || ::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // another watch has the signal, or it keeps ending the program at once
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationWatch::terminate);
    signalWriteEnd = pipe_[1];
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
    signalWriteEnd = -1;
    delete notifier_;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void TerminationWatch::terminate()
{
    std::signal(SIGTERM, SIG_DFL);
    notifier_->setEnabled(false);
    if (lastStep_)
        lastStep_();
    ::raise(SIGTERM);
}
