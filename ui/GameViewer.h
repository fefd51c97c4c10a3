#pragma once
// The game viewer: any game replayed on a board drawn like the main one, number by number,
// with the number after which 100 was lost marked, and "can 100 still be reached?" answered
// for whatever position is shown. It has its own copy of the game: the game in progress is
// never touched.
#include "SolverTask.h"
#include "core/GameReplay.h"
#include "core/Solver.h"

#include <QDialog>
#include <QTimer>

#include <vector>

class QHBoxLayout;
class QLabel;
class QSlider;
class QVBoxLayout;
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
    // The constructor's parts: the widgets, the panel beside the board, the buttons below it,
    // and the background question about the whole game.
    void buildBoardAndTexts();
    QVBoxLayout* buildSidePanel();
    QHBoxLayout* buildControls();
    void startLossQuestion();
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
    // The last members, destroyed first: their workers end before anything they report to goes.
    SolverTask lossTask_{[this] { return replay_.PlayedCells(); }}; // where 100 was lost, or the way to 100
    SolverTask askTask_{[this] { return replay_.CellsShown(); }};   // "can 100 still be reached?" about the board shown
};

// Opens the viewer modally over `parent` and returns when it is closed.
void ShowGameViewer(tovra::GameReplay replay, const QString& title, QWidget* parent, bool showAWay = false);
