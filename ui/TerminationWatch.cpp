#include "TerminationWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
// The one thing the process holds for the watch: a signal handler is called with the signal's
// number alone, no object, so the write end of the single watch's pipe has to be reachable
// without one. Set by that watch while it exists and -1 otherwise; the watch owns the pipe.
// (signalfd would need no such slot, but it needs SIGTERM blocked in every thread, and programs
// opened from the game, such as the mail program, would inherit the block and ignore a logout.)
volatile std::sig_atomic_t signalWriteEnd = -1;

void OnTerminationSignal(int)
{
    // The interrupted code may be about to read errno: a failed write must not change it.
    const int savedErrno = errno;
    const char byte = 1;
    (void)!::write(signalWriteEnd, &byte, 1);
    errno = savedErrno;
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
