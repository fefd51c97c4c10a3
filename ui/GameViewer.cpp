#include "GameViewer.h"

#include "BoardCodeCommands.h"
#include "WidgetBoardView.h"
#include "WindowLook.h"
#include "WindowZoom.h"
#include "core/CellId.h"
#include "core/Colors.h"
#include "core/ReachabilityAnswer.h"
#include "core/Solver.h"
#include "ui/widgets/ReplayBoard.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include <array>

using namespace tovra;

namespace {
constexpr std::array<int, 6> Speeds = {1, 2, 4, 8, 16, 32}; // numbers a second

QString NumbersText(int count) { return count == 1 ? QStringLiteral("1 number") : QStringLiteral("%1 numbers").arg(count); }
} // namespace

GameViewer::GameViewer(GameReplay replay, const QString& title, bool showAWay, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
    , replay_(std::move(replay))
    , showAWay_(showAWay)
{
    ApplyWindowLook(this);
    setWindowTitle(title);
    buildBoardAndTexts();
    auto* top = new QHBoxLayout;
    top->addWidget(board_, 0, Qt::AlignTop);
    top->addLayout(buildSidePanel(), 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addLayout(top);
    layout->addWidget(slider_);
    layout->addLayout(buildControls());
    setMinimumWidth(520);

    playTimer_.setObjectName(QStringLiteral("PlayTimer"));
    connect(&playTimer_, &QTimer::timeout, this, &GameViewer::playTick);
    Faster(); // shows the speed
    Slower();

    showPosition();
    showLoss();
    startLossQuestion();
}

void GameViewer::buildBoardAndTexts()
{
    board_ = new ReplayBoard(this);
    for (int cell = 0; cell < CellCount; ++cell)
        board_->Cell(cell)->setObjectName(QString::fromStdString(CellIdOf(cell)));

    positionText_ = new QLabel(this);
    lossText_ = new QLabel(this);
    lossText_->setWordWrap(true);
    reachText_ = new QLabel(this);
    reachText_->setWordWrap(true);
    speedText_ = new QLabel(this);
    for (QLabel* text : {positionText_, lossText_, reachText_, speedText_})
        text->setTextFormat(Qt::PlainText);

    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setAccessibleName(QStringLiteral("Position"));
    // The keys are the window's (arrows, Home, End); the slider is for the mouse.
    slider_->setFocusPolicy(Qt::NoFocus);
    connect(slider_, &QSlider::valueChanged, this, [this](int value) { JumpTo(value); });
}

// Beside the board: where the game stands, where it lost 100, and the question about the board.
QVBoxLayout* GameViewer::buildSidePanel()
{
    auto* side = side_ = new QVBoxLayout;
    side->addWidget(positionText_);
    side->addSpacing(6);
    side->addWidget(lossText_);
    lossButton_ = addButton(QStringLiteral("Go to the last chance"), Qt::Key_L,
                            QStringLiteral("Shows the board on which 100 could be reached for the last time"),
                            &GameViewer::JumpToLoss);
    side->addWidget(lossButton_);
    side->addSpacing(6);
    side->addWidget(addButton(QStringLiteral("Can 100 still be reached?"), Qt::Key_F3,
                              QStringLiteral("Asks about the board shown"), &GameViewer::AskReachability));
    side->addWidget(reachText_);
    side->addStretch();
    return side;
}

// Below the board: stepping, playing, the speed and Close.
QHBoxLayout* GameViewer::buildControls()
{
    auto* controls = new QHBoxLayout;
    controls->addWidget(addButton(QStringLiteral("|<"), Qt::Key_Home, QStringLiteral("First: the empty board"),
                                  &GameViewer::First));
    controls->addWidget(addButton(QStringLiteral("<"), Qt::Key_Left, QStringLiteral("Back one number"),
                                  &GameViewer::StepBack));
    playButton_ = addButton(QStringLiteral("Play"), Qt::Key_Space, QStringLiteral("Play or pause"),
                            &GameViewer::PlayOrPause);
    controls->addWidget(playButton_);
    controls->addWidget(addButton(QStringLiteral(">"), Qt::Key_Right, QStringLiteral("Forward one number"),
                                  &GameViewer::StepForward));
    controls->addWidget(addButton(QStringLiteral(">|"), Qt::Key_End, QStringLiteral("Last: the whole game"),
                                  &GameViewer::Last));
    controls->addSpacing(10);
    controls->addWidget(addButton(QStringLiteral("-"), Qt::Key_Minus, QStringLiteral("Slower"), &GameViewer::Slower));
    controls->addWidget(speedText_);
    controls->addWidget(addButton(QStringLiteral("+"), Qt::Key_Plus, QStringLiteral("Faster"), &GameViewer::Faster));
    controls->addStretch();
    TFlatSpeedButton* close = addButton(QStringLiteral("Close"), {}, QStringLiteral("Closes the viewer"),
                                        &GameViewer::Pause);
    connect(close, &TFlatSpeedButton::OnClick, this, &QDialog::close);
    controls->addWidget(close);
    return controls;
}

void GameViewer::startLossQuestion()
{
    if (showAWay_) {
        lossText_->setText(QStringLiteral("Looking for a way to 100..."));
        lossTask_.Run([this, game = replay_.PlayedCells()](std::stop_token stop) -> std::function<void()> {
            const SolverAnswer answer = SolveCompletion(PositionAfter(game, static_cast<int>(game.size())), {0, stop});
            if (answer.answer == Reachability::Unknown)
                return {};
            return [this, game, answer] { showWay(game, answer); };
        });
    } else if (!replay_.LastReachable()) {
        // A game of record.dat, or one whose number is not worked out yet.
        lossTask_.Run([this, game = replay_.PlayedCells()](std::stop_token stop) -> std::function<void()> {
            const int last = LastReachableNumber(game, {0, stop});
            if (last < 0)
                return {};
            return [this, last] {
                replay_.SetLastReachable(last);
                showLoss();
                emit AnswerShown();
            };
        });
    }
}

void GameViewer::showWay(const std::vector<int>& game, const SolverAnswer& answer)
{
    std::vector<int> all = game;
    all.insert(all.end(), answer.completion.begin(), answer.completion.end());
    const int played = static_cast<int>(game.size());
    replay_ = GameReplay(all, played, played);
    lossText_->setText(answer.answer == Reachability::Reachable
                           ? QStringLiteral("Your %1, then one way to 100 in green.").arg(NumbersText(played))
                           : QStringLiteral("100 can no longer be reached from this game."));
    PlayOrPause();
    emit AnswerShown();
}

GameViewer::~GameViewer() = default;

TFlatSpeedButton* GameViewer::addButton(const QString& caption, const QKeySequence& key, const QString& whatItDoes,
                                        void (GameViewer::*action)())
{
    auto* button = new TFlatSpeedButton(this);
    button->SetCaption(caption);
    button->SetButtonStyle(TFlatSpeedButton::ubsWin40);
    button->setMinimumSize(button->sizeHint().expandedTo(QSize(caption.size() > 3 ? 0 : 28, 23)));
    button->SetShortcut(key);
    button->setAccessibleName(caption.size() > 3 ? caption : whatItDoes);
    button->setAccessibleDescription(key.isEmpty() ? whatItDoes
                                                   : whatItDoes + QStringLiteral(" (") +
                                                         key.toString(QKeySequence::NativeText) + QStringLiteral(")"));
    button->setToolTip(button->accessibleDescription());
    connect(button, &TFlatSpeedButton::OnClick, this, [this, action] { (this->*action)(); });
    return button;
}

int GameViewer::NumbersPerSecond() const { return Speeds.at(static_cast<std::size_t>(speedIndex_)); }

void GameViewer::SetStepInterval(int milliseconds)
{
    stepIntervalOverride_ = milliseconds;
    playTimer_.setInterval(milliseconds);
}

void GameViewer::PlayOrPause()
{
    if (Playing()) {
        Pause();
        return;
    }
    if (replay_.AtEnd())
        replay_.First();
    playTimer_.start(stepIntervalOverride_ >= 0 ? stepIntervalOverride_ : 1000 / NumbersPerSecond());
    showPosition();
}

void GameViewer::Pause()
{
    playTimer_.stop();
    showPosition();
}

void GameViewer::playTick()
{
    replay_.StepForward();
    if (replay_.AtEnd())
        playTimer_.stop();
    showPosition();
}

void GameViewer::StepForward()
{
    Pause();
    replay_.StepForward();
    showPosition();
}

void GameViewer::StepBack()
{
    Pause();
    replay_.StepBack();
    showPosition();
}

void GameViewer::First()
{
    Pause();
    replay_.First();
    showPosition();
}

void GameViewer::Last()
{
    Pause();
    replay_.Last();
    showPosition();
}

void GameViewer::JumpToLoss()
{
    Pause();
    replay_.JumpToLoss();
    showPosition();
}

void GameViewer::JumpTo(int position)
{
    if (position == replay_.Position())
        return;
    Pause();
    replay_.JumpTo(position);
    showPosition();
}

void GameViewer::Slower()
{
    speedIndex_ = std::max(0, speedIndex_ - 1);
    speedText_->setText(QStringLiteral("%1 a second").arg(NumbersText(NumbersPerSecond())));
    if (Playing() && stepIntervalOverride_ < 0)
        playTimer_.setInterval(1000 / NumbersPerSecond());
}

void GameViewer::Faster()
{
    speedIndex_ = std::min(static_cast<int>(Speeds.size()) - 1, speedIndex_ + 1);
    speedText_->setText(QStringLiteral("%1 a second").arg(NumbersText(NumbersPerSecond())));
    if (Playing() && stepIntervalOverride_ < 0)
        playTimer_.setInterval(1000 / NumbersPerSecond());
}

void GameViewer::AskReachability()
{
    reachText_->setText(QStringLiteral("Thinking..."));
    askTask_.Run([this, cells = replay_.CellsShown()](std::stop_token stop) -> std::function<void()> {
        const ReachabilityAnswer answer = AnswerReachability(cells, stop);
        if (answer.kind == ReachabilityAnswer::Kind::Stopped)
            return {};
        return [this, answer] {
            reachText_->setText(QString::fromStdString(AnswerText(answer)));
            emit AnswerShown();
        };
    });
}

TFlatSpeedButton* GameViewer::AddCommand(const QString& caption, const QKeySequence& key, const QString& whatItDoes,
                                         std::function<void()> action)
{
    TFlatSpeedButton* button = addButton(caption, key, whatItDoes, &GameViewer::Pause);
    connect(button, &TFlatSpeedButton::OnClick, this, [action = std::move(action)] { action(); });
    side_->insertWidget(side_->count() - 1, button); // above the stretch
    return button;
}

void GameViewer::showPosition()
{
    const int position = replay_.Position();
    const std::optional<int> loss = replay_.LossPosition();
    for (int cell = 0; cell < CellCount; ++cell) {
        TFlatSpeedButton* button = board_->Cell(cell);
        const int number = replay_.NumberOn(cell);
        const QString caption = number ? QString::number(number) : QString();
        button->SetCaption(caption);
        button->SetColor(ToQColor(number == 0                    ? FreeColor
                                  : replay_.IsCompletion(number) ? HintColor
                                                                 : NumberColor));
        // The last number is bold, as on the main board.
        button->SetBold(number != 0 && number == position);
        UpdateStateShapes(button);
        button->SetSuggested(loss && number != 0 && number == *loss);
        button->setAccessibleName(CellAccessibleName(button->objectName(), caption));
    }
    {
        const QSignalBlocker quiet(slider_);
        slider_->setRange(0, replay_.Length());
        slider_->setValue(position);
    }
    QString where = position == 0 ? QStringLiteral("The empty board")
                                  : QStringLiteral("Number %1 of %2").arg(position).arg(replay_.Length());
    if (position > replay_.Played())
        where += QStringLiteral(" (the way to 100)");
    positionText_->setText(where);
    slider_->setAccessibleDescription(where);
    playButton_->SetCaption(Playing() ? QStringLiteral("Pause") : QStringLiteral("Play"));
    // An answer, or a question still open, is about the board it was asked on: a redraw of that
    // board keeps it.
    if (!askTask_.StillShown()) {
        askTask_.Cancel();
        if (!reachText_->text().isEmpty())
            reachText_->clear();
    }
}

void GameViewer::showLoss()
{
    const std::optional<int> loss = replay_.LossPosition();
    lossButton_->setEnabled(loss.has_value());
    lossButton_->SetCaption(loss ? QStringLiteral("Go to number %1").arg(*loss) : QStringLiteral("Go to the last chance"));
    lossButton_->setAccessibleName(lossButton_->Caption());
    if (loss) {
        lossText_->setText(QStringLiteral("100 could be reached until number %1 (ringed); number %2 lost it.")
                               .arg(*loss)
                               .arg(*loss + 1));
    } else if (!replay_.LastReachable()) {
        lossText_->setText(showAWay_ ? QString() : QStringLiteral("Working out where 100 was lost..."));
    } else if (replay_.Played() == 100) {
        lossText_->setText(QStringLiteral("100 reached."));
    } else {
        lossText_->setText(QStringLiteral("100 could still be reached at the end of this game."));
    }
    showPosition();
}

void ShowGameViewer(GameReplay replay, const QString& title, QWidget* parent, bool showAWay)
{
    GameViewer viewer(std::move(replay), title, showAWay, parent);
    AddCopyCode(viewer);
    ZoomDialog(&viewer);
    viewer.adjustSize();
    ScrollWhenTooLarge(&viewer);
    CentreOnScreen(&viewer);
    viewer.exec();
    if (parent)
        parent->activateWindow();
}
