#pragma once
// The game viewer: any game replayed on a board drawn like the main one, number by number,
// with the number after which 100 was lost marked, and "can 100 still be reached?" answered
// for whatever position is shown. It has its own copy of the game: the game in progress is
// never touched.
#include "core/GameReplay.h"
#include "core/Solver.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <stop_token>
#include <thread>
#include <vector>

class QLabel;
class QSlider;
class ReplayBoard;
class TFlatSpeedButton;

class GameViewer : public QDialog {
    Q_OBJECT

public:
    // `title` names the game in the window's caption. With `showAWay`, a completion to 100
    // from the game's last number is worked out and played after the game.
    GameViewer(tovra::GameReplay replay, const QString& title, bool showAWay = false, QWidget* parent = nullptr);
    ~GameViewer() override;

    const tovra::GameReplay& Replay() const { return replay_; }
    bool Playing() const { return playTimer_.isActive(); }
    int NumbersPerSecond() const;
    QLabel* PositionText() const { return positionText_; }
    QLabel* LossText() const { return lossText_; }
    QLabel* ReachabilityText() const { return reachText_; }
    ReplayBoard* Board() const { return board_; }
    QSlider* Slider() const { return slider_; }
    // For tests: playing steps at once instead of waiting between numbers.
    void SetStepInterval(int milliseconds);

    void PlayOrPause();
    void Pause();
    void StepForward();
    void StepBack();
    void First();
    void Last();
    void JumpToLoss();
    void JumpTo(int position);
    void Slower();
    void Faster();
    // Works out, off the window's thread, whether 100 can still be reached from the position shown.
    void AskReachability();
    // A command of the caller's, as a button below the viewer's own (its key works in the viewer).
    TFlatSpeedButton* AddCommand(const QString& caption, const QKeySequence& key, const QString& whatItDoes,
                                 std::function<void()> action);

signals:
    // Something worked out off the window's thread (the loss, the way, an answer) is shown.
    void AnswerShown();

private:
    TFlatSpeedButton* addButton(const QString& caption, const QKeySequence& key, const QString& whatItDoes,
                                void (GameViewer::*action)());
    void showPosition();
    void showLoss();
    void playTick();
    // Runs `work` on a thread of its own; the function it returns runs on the window's thread,
    // unless the window has gone by then.
    void offThread(std::jthread& worker, std::function<std::function<void()>(std::stop_token)> work);
    void showWay(const std::vector<int>& game, const tovra::SolverAnswer& answer);

    tovra::GameReplay replay_;
    bool showAWay_;
    ReplayBoard* board_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* positionText_ = nullptr;
    QLabel* lossText_ = nullptr;
    QLabel* reachText_ = nullptr;
    QLabel* speedText_ = nullptr;
    class QVBoxLayout* side_ = nullptr;
    TFlatSpeedButton* playButton_ = nullptr;
    TFlatSpeedButton* lossButton_ = nullptr;
    QTimer playTimer_;
    int speedIndex_ = 2;
    int stepIntervalOverride_ = -1;
    // Counts the positions shown, so an answer about a position no longer shown is dropped.
    quint64 positionSerial_ = 0;
    // Asked to stop when the window goes, and joined: the last members, destroyed first.
    std::jthread lossWorker_; // where 100 was lost, or the way to 100
    std::jthread askWorker_;  // "can 100 still be reached?" about the board shown
};

// Opens the viewer modally over `parent` and returns when it is closed.
void ShowGameViewer(tovra::GameReplay replay, const QString& title, QWidget* parent, bool showAWay = false);
