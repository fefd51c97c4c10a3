#include "GamePause.h"

#include "WidgetBoardView.h"
#include "ui/widgets/PauseCover.h"

#include <QEvent>
#include <QWidget>

GamePause::GamePause(QWidget* window, QWidget* board, WidgetBoardView& view, std::function<bool()> inProgress)
    : QObject(window)
    , window_(window)
    , cover_(new PauseCover(board, board->parentWidget()))
    , view_(view)
    , inProgress_(std::move(inProgress))
{
    connect(cover_, &PauseCover::ResumeAsked, this, &GamePause::Resume);
    window->installEventFilter(this);
}

void GamePause::Pause()
{
    if (paused_ || !inProgress_())
        return;
    paused_ = true;
    view_.HoldClock();
    // Over the cells, the keyboard cursor and the suggestion's ring alike.
    cover_->raise();
    cover_->show();
    emit PausedChanged(true);
}

void GamePause::Resume()
{
    if (!paused_)
        return;
    paused_ = false;
    cover_->hide();
    view_.ReleaseClock();
    emit PausedChanged(false);
}

void GamePause::Toggle()
{
    if (paused_)
        Resume();
    else
        Pause();
}

bool GamePause::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::WindowStateChange && window_->isMinimized())
        Pause();
    return QObject::eventFilter(watched, event);
}
