#include "StatisticsWindow.h"

#include "BoardCodeCommands.h"
#include "DailyCalendar.h"
#include "GameViewer.h"
#include "HistoryTableModel.h"
#include "WindowLook.h"
#include "WindowZoom.h"
#include "core/Colors.h"
#include "core/DateTime.h"
#include "core/GameReplay.h"
#include "gamestore/HistoryText.h"
#include "ui/widgets/HistogramChart.h"
#include "ui/widgets/ScoreTimelineChart.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>


using namespace tovra;

namespace {
// The pictures' colours are the board's: the orange of the numbered cells for every bar, the
// green of the hints for the 100s, the red of the mark for where 100 was lost.
const QColor BarColor(255, 165, 0);

QString GamesText(int count) { return count == 1 ? QStringLiteral("1 game") : QStringLiteral("%1 games").arg(count); }

QString Decimal(double value) { return QLocale().toString(value, 'f', value == static_cast<int>(value) ? 0 : 1); }

QLabel* Caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}
} // namespace

DailyContext DailyContextNow() { return {DecodeDate(LocalNow()), {}}; }

StatisticsWindow::StatisticsWindow(std::vector<HistoryGame> newestFirst, const QString& problem, QWidget* parent,
                                   const DailyContext& daily)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
    , stats_(ComputeStatistics(newestFirst))
    , days_(ComputeDailyStatistics(newestFirst, daily.today, daily.playingNow))
{
    ApplyWindowLook(this);
    setWindowTitle(QStringLiteral("Statistics"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    TFlatSpeedButton* close = makeButton("BtnClose", QStringLiteral("Close"));
    connect(close, &TFlatSpeedButton::OnClick, this, &QDialog::close);

    if (newestFirst.empty()) {
        emptyText_ = new QLabel(problem.isEmpty() ? QStringLiteral("No game yet. Every game you play will be counted here.")
                                                  : problem,
                                this);
        emptyText_->setObjectName(QStringLiteral("EmptyText"));
        emptyText_->setWordWrap(true);
        emptyText_->setMinimumWidth(300);
        layout->addWidget(emptyText_);
        layout->addWidget(close, 0, Qt::AlignRight);
        return;
    }

    auto* columns = new QHBoxLayout;
    layout->addLayout(columns);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left, 0);
    columns->addSpacing(12);
    columns->addLayout(right, 1);

    auto* figures = new QGridLayout;
    figures->setHorizontalSpacing(12);
    addFigures(figures);
    left->addLayout(figures);
    addDailySection(left, daily.today);
    left->addSpacing(8);
    left->addWidget(Caption(QStringLiteral("Games, newest first"), this));
    left->addWidget(buildGameList(std::move(newestFirst)), 1);

    TFlatSpeedButton* replay = makeButton("BtnReplay", QStringLiteral("Replay"));
    replay->setAccessibleDescription(QStringLiteral("Replays the selected game (Enter)"));
    connect(replay, &TFlatSpeedButton::OnClick, this, [this] { ReplaySelectedGame(); });

    // The pictures, each with its figures as text.
    addScoresChart(right);
    addRecentChart(right);
    addLossChart(right);

    TFlatSpeedButton* copy = makeButton("BtnCopyCode", QStringLiteral("Copy code"));
    copy->setAccessibleDescription(QStringLiteral("Copies the selected game's board code (Ctrl+C)"));
    connect(copy, &TFlatSpeedButton::OnClick, this, [this] { CopySelectedGameCode(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(replay);
    buttons->addWidget(copy);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    list_->setFocus();
}

TFlatSpeedButton* StatisticsWindow::makeButton(const char* name, const QString& caption)
{
    auto* button = new TFlatSpeedButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->SetCaption(caption);
    button->SetButtonStyle(TFlatSpeedButton::ubsWin40);
    button->setMinimumSize(78, 25);
    return button;
}

QTableView* StatisticsWindow::buildGameList(std::vector<HistoryGame> newestFirst)
{
    model_ = new HistoryTableModel(std::move(newestFirst), this);
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("GameList"));
    list_->setModel(model_);
    list_->setAccessibleName(QStringLiteral("Games"));
    list_->setAccessibleDescription(QStringLiteral("Enter or a double click replays the game"));
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setTabKeyNavigation(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int columnsWidth = sizeListToFont();
    const QFontMetrics metrics = list_->fontMetrics();
    list_->setSortingEnabled(true);
    list_->sortByColumn(HistoryTableModel::DateColumn, Qt::DescendingOrder);
    list_->setMinimumSize(columnsWidth + metrics.horizontalAdvance(QStringLiteral("Name")) * 3 +
                              list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4,
                          150);
    list_->selectRow(0);
    list_->installEventFilter(this);
    connect(list_, &QTableView::doubleClicked, this, [this] { ReplaySelectedGame(); });
    return list_;
}

void StatisticsWindow::addScoresChart(QVBoxLayout* column)
{
    scores_ = new HistogramChart(this);
    scores_->setObjectName(QStringLiteral("ScoresChart"));
    scores_->SetCounts({stats_.gamesByScore.begin() + 1, stats_.gamesByScore.end()}, 1);
    scores_->SetColors(BarColor, ToQColor(HintColor), 100);
    QString scoreList;
    for (int score = 100; score >= 1; --score) {
        if (const int count = stats_.gamesByScore[static_cast<std::size_t>(score)])
            scoreList += QStringLiteral("%1%2: %3").arg(scoreList.isEmpty() ? "" : "; ").arg(score).arg(GamesText(count));
    }
    addChart(column, QStringLiteral("Scores"), scores_,
             QStringLiteral("Scores of %1, from %2 to 100").arg(GamesText(stats_.gamesPlayed)).arg(1),
             QStringLiteral("Score: games. ") + scoreList);
}

void StatisticsWindow::addRecentChart(QVBoxLayout* column)
{
    recent_ = new ScoreTimelineChart(this);
    recent_->setObjectName(QStringLiteral("RecentChart"));
    recent_->SetScores(stats_.recentScores);
    recent_->SetColors(BarColor, ToQColor(HintColor));
    QStringList recentList;
    for (const int score : stats_.recentScores)
        recentList << QString::number(score);
    const int recentCount = static_cast<int>(stats_.recentScores.size());
    addChart(column, recentCount == 1 ? QStringLiteral("The last game") : QStringLiteral("The last %1 games").arg(recentCount),
             recent_, QStringLiteral("Scores of the last %1, oldest first").arg(GamesText(recentCount)),
             recentList.join(QStringLiteral(", ")));
}

void StatisticsWindow::addLossChart(QVBoxLayout* column)
{
    losses_ = new HistogramChart(this);
    losses_->setObjectName(QStringLiteral("LossChart"));
    losses_->SetCounts({stats_.gamesByLastReachable.begin() + 1, stats_.gamesByLastReachable.end()}, 1);
    losses_->SetColors(ToQColor(MarkColor));
    QString lossList;
    for (int number = 1; number < 100; ++number) {
        if (const int count = stats_.gamesByLastReachable[static_cast<std::size_t>(number)])
            lossList += QStringLiteral("%1after %2: %3").arg(lossList.isEmpty() ? "" : "; ").arg(number).arg(GamesText(count));
    }
    addChart(column, QStringLiteral("Where 100 was lost"), losses_,
             stats_.lossesKnown ? QStringLiteral("Where 100 was lost, in %1: the last number after which it could be reached")
                                      .arg(GamesText(stats_.lossesKnown))
                                : QStringLiteral("100 was not lost in any game worked out so far"),
             lossList);
}

StatisticsWindow::~StatisticsWindow() = default;

int StatisticsWindow::sizeListToFont()
{
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
    // Widths from the texts, not from every row: measuring 10,000 rows would slow the opening.
    const QFontMetrics metrics = list_->fontMetrics();
    const int dateWidth = metrics.horizontalAdvance(GameDateText(model_->GameAt(0))) + 14;
    const int endWidth = metrics.horizontalAdvance(QStringLiteral("No move left")) + 14;
    const int scoreWidth = metrics.horizontalAdvance(QStringLiteral("Score")) + 18;
    list_->setColumnWidth(HistoryTableModel::DateColumn, dateWidth);
    list_->setColumnWidth(HistoryTableModel::ScoreColumn, scoreWidth);
    list_->setColumnWidth(HistoryTableModel::EndColumn, endWidth);
    return dateWidth + scoreWidth + endWidth;
}

void StatisticsWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // At a zoom the list's rows and columns grow with the font.
    if (event->type() == QEvent::FontChange && list_)
        sizeListToFont();
}

void StatisticsWindow::addFigures(QGridLayout* grid)
{
    const HistoryStatistics& s = stats_;
    const QString share = QLocale().toString(100.0 * s.hundredsShare, 'f', 0) + QLatin1Char('%');
    const std::vector<std::tuple<const char*, QString, QString>> rows = {
        {"GamesPlayed", QStringLiteral("Games played"), QString::number(s.gamesPlayed)},
        {"Hundreds", QStringLiteral("100 reached"), QStringLiteral("%1 (%2)").arg(s.hundreds).arg(share)},
        {"BestScore", QStringLiteral("Best score"), QString::number(s.bestScore)},
        {"AverageScore", QStringLiteral("Average score"), Decimal(s.averageScore)},
        {"MedianScore", QStringLiteral("Median score"), Decimal(s.medianScore)},
        {"CurrentRun", QStringLiteral("100s in a row now"), QString::number(s.currentRunOfHundreds)},
        {"LongestRun", QStringLiteral("Most 100s in a row"), QString::number(s.longestRunOfHundreds)},
        {"TotalTime", QStringLiteral("Time played"), QString::fromStdString(PlayedTimeText(s.totalPlayedMs))},
        {"AverageTime", QStringLiteral("Time per game"), QString::fromStdString(PlayedTimeText(s.averagePlayedMs))},
    };
    int row = 0;
    for (const auto& [name, caption, value] : rows) {
        auto* label = new QLabel(caption + QLatin1Char(':'), this);
        auto* figure = new QLabel(value, this);
        figure->setObjectName(QString::fromLatin1(name));
        figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        figure->setAccessibleName(caption + QStringLiteral(": ") + value);
        label->setBuddy(figure);
        grid->addWidget(label, row, 0);
        grid->addWidget(figure, row, 1);
        ++row;
    }
}

void StatisticsWindow::addDailySection(QVBoxLayout* column, const CivilDate& today)
{
    if (days_.daysPlayed == 0)
        return; // a player who never plays today's board sees the window as it always was
    column->addSpacing(8);
    column->addWidget(Caption(QStringLiteral("Today's boards"), this));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    const std::vector<std::pair<const char*, std::pair<QString, int>>> rows = {
        {"DaysPlayed", {QStringLiteral("Days played"), days_.daysPlayed}},
        {"DaysAt100", {QStringLiteral("Days brought to 100"), days_.daysBroughtTo100}},
        {"CurrentDayRun", {QStringLiteral("Days to 100 in a row now"), days_.currentRun}},
        {"LongestDayRun", {QStringLiteral("Most days to 100 in a row"), days_.longestRun}},
    };
    int row = 0;
    for (const auto& [name, figureRow] : rows) {
        const auto& [caption, value] = figureRow;
        auto* label = new QLabel(caption + QLatin1Char(':'), this);
        auto* figure = new QLabel(QString::number(value), this);
        figure->setObjectName(QString::fromLatin1(name));
        figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        figure->setAccessibleName(caption + QStringLiteral(": ") + QString::number(value));
        label->setBuddy(figure);
        grid->addWidget(label, row, 0);
        grid->addWidget(figure, row, 1);
        ++row;
    }
    column->addLayout(grid);
    column->addSpacing(4);
    calendar_ = new DailyCalendar(days_, today, this);
    column->addWidget(calendar_);
}

QWidget* StatisticsWindow::addChart(QVBoxLayout* column, const QString& caption, QWidget* chart, const QString& summary,
                                    const QString& details)
{
    column->addWidget(Caption(caption, this));
    chart->setAccessibleName(summary);
    chart->setAccessibleDescription(details);
    chart->setToolTip(details.size() > 400 ? details.left(400) + QStringLiteral("...") : details);
    // Keyboard users reach each picture with Tab; a screen reader then reads its figures.
    chart->setFocusPolicy(Qt::TabFocus);
    column->addWidget(chart, 1);
    return chart;
}

QLabel* StatisticsWindow::Figure(const QString& name) const { return findChild<QLabel*>(name); }

QString StatisticsWindow::EmptyText() const { return emptyText_ ? emptyText_->text() : QString(); }

void StatisticsWindow::ReplaySelectedGame()
{
    if (!list_ || !list_->currentIndex().isValid())
        return;
    const HistoryGame& game = model_->GameAt(list_->currentIndex().row());
    QString title = QStringLiteral("Game of %1: %2").arg(GameDateText(game)).arg(game.Score());
    if (!game.name.empty())
        title += QStringLiteral(", ") + QString::fromStdString(game.name);
    ShowGameViewer(GameReplay(game.cells, -1, game.lastReachable), title, this);
}

void StatisticsWindow::CopySelectedGameCode()
{
    if (list_ && list_->currentIndex().isValid())
        CopyBoardCode(model_->GameAt(list_->currentIndex().row()).cells);
}

bool StatisticsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
            CopySelectedGameCode();
            return true;
        }
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ReplaySelectedGame();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

std::vector<HistoryGame> LoadHistory(const std::string& path, QString& problem)
{
    std::string error;
    std::vector<HistoryGame> games = ReadHistoryFile(path, error);
    if (!error.empty())
        problem = QStringLiteral("The history cannot be read: %1").arg(QString::fromStdString(error));
    return games;
}

void ShowStatistics(std::vector<HistoryGame> games, const QString& problem, QWidget* parent, const DailyContext& daily)
{
    const QString line = problem.isEmpty() ? problem : QStringLiteral("The history cannot be read: %1").arg(problem);
    StatisticsWindow window(std::move(games), line, parent, daily);
    ZoomDialog(&window);
    window.adjustSize();
    ScrollWhenTooLarge(&window);
    CentreOnScreen(&window);
    window.exec();
    if (parent)
        parent->activateWindow();
}
