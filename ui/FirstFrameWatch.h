#pragma once
// Work that can wait for the window (the game keeper's checks of its file) should not share the
// processor with the making of the window's first frame. This runs a step once, on the turn of
// the event loop after that frame was drawn and sent to the screen; a window that is never
// shown on screen (started minimised) lets it run after `longest` all the same.
#include <QObject>

#include <chrono>
#include <functional>

class QWidget;

class FirstFrameWatch : public QObject {
public:
    // Owned by `window`; made before the window is shown.
    FirstFrameWatch(QWidget* window, std::function<void()> step, std::chrono::milliseconds longest);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void runStep();

    QWidget* window_;
    std::function<void()> step_;
};
