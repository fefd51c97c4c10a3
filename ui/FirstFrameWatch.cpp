#include "FirstFrameWatch.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

FirstFrameWatch::FirstFrameWatch(QWidget* window, std::function<void()> step, std::chrono::milliseconds longest)
    : QObject(window)
    , window_(window)
    , step_(std::move(step))
{
    window->installEventFilter(this);
    QTimer::singleShot(longest, this, &FirstFrameWatch::runStep);
}

bool FirstFrameWatch::eventFilter(QObject* watched, QEvent* event)
{
    // The platform window exists once the widget is shown; its exposure is what draws the
    // first frame, right after this filter, within the same event.
    if (watched == window_ && event->type() == QEvent::Show && window_->windowHandle())
        window_->windowHandle()->installEventFilter(this);
    else if (watched == window_->windowHandle() && event->type() == QEvent::Expose && window_->windowHandle()->isExposed())
        QTimer::singleShot(0, this, &FirstFrameWatch::runStep);
    return false;
}

void FirstFrameWatch::runStep()
{
    if (!step_)
        return;
    const std::function<void()> step = std::move(step_);
    step_ = nullptr;
    window_->removeEventFilter(this);
    if (QWindow* platformWindow = window_->windowHandle())
        platformWindow->removeEventFilter(this);
    step();
}
