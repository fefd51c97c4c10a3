#pragma once
// Pausing the game: the clock holds, the board is covered (its cells blank, a word in their
// place) and the board's actions wait until the game goes on. Minimising the window pauses a
// game in progress.
#include <QObject>

#include <functional>

class PauseCover;
class QWidget;
class WidgetBoardView;

class GamePause : public QObject {
    Q_OBJECT

public:
    // `board` is the square behind the cells, which the cover takes the place of; `inProgress`
    // tells whether a game is going on (a number on the board, the clock running).
    GamePause(QWidget* window, QWidget* board, WidgetBoardView& view, std::function<bool()> inProgress);

    bool Paused() const { return paused_; }
    // Pauses a game in progress; nothing happens without one.
    void Pause();
    void Resume();
    void Toggle();
    PauseCover* Cover() const { return cover_; }

signals:
    void PausedChanged(bool paused);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    PauseCover* cover_;
    WidgetBoardView& view_;
    std::function<bool()> inProgress_;
    bool paused_ = false;
};
