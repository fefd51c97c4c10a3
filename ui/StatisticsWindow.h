#pragma once
// The statistics window: the figures of every game played, three pictures (the scores, the
// last games' scores over time, where 100 was lost), and the list of the games, from which any
// game opens in the viewer. Every picture also has its figures as text for screen readers.
#include "gamestore/DailyStatistics.h"
#include "gamestore/GameHistory.h"
#include "gamestore/HistoryStatistics.h"

#include <QDialog>

#include <optional>
#include <vector>

class DailyCalendar;

class HistogramChart;
class HistoryTableModel;
class QLabel;
class QTableView;
class ScoreTimelineChart;
class TFlatSpeedButton;

// What the window needs beyond the history for today's boards: today's date (the calendar opens
// on its month, and the current run ends there), and the dates of today's boards in progress with
// a number of the player's own (played, not ended yet).
struct DailyContext {
    tovra::CivilDate today;
    std::vector<tovra::CivilDate> playingNow;
};
// Today's date by this computer's clock, with nothing in progress.
DailyContext DailyContextNow();

class StatisticsWindow : public QDialog {
    Q_OBJECT

public:
    // `problem`: why the history could not be read, said in place of the figures.
    explicit StatisticsWindow(std::vector<tovra::HistoryGame> newestFirst, const QString& problem = {},
                              QWidget* parent = nullptr, const DailyContext& daily = DailyContextNow());
    ~StatisticsWindow() override;

    const tovra::HistoryStatistics& Statistics() const { return stats_; }
    const tovra::DailyStatistics& Days() const { return days_; }
    // The month calendar of today's boards; nullptr when none was ever played.
    DailyCalendar* Calendar() const { return calendar_; }
    // The value label of a figure ("GamesPlayed", "Hundreds", ...); nullptr without games.
    QLabel* Figure(const QString& name) const;
    HistogramChart* ScoresChart() const { return scores_; }
    ScoreTimelineChart* RecentChart() const { return recent_; }
    HistogramChart* LossChart() const { return losses_; }
    QTableView* GameList() const { return list_; }
    // What the window says when there is nothing to show; empty otherwise.
    QString EmptyText() const;

    // Opens the game of the list's current row in the viewer (Enter, a double click, "Replay").
    void ReplaySelectedGame();
    // Puts the code of the list's current game on the clipboard ("Copy code", Ctrl+C).
    void CopySelectedGameCode();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The constructor's parts.
    TFlatSpeedButton* makeButton(const char* name, const QString& caption);
    QTableView* buildGameList(std::vector<tovra::HistoryGame> newestFirst);
    void addScoresChart(class QVBoxLayout* column);
    void addRecentChart(class QVBoxLayout* column);
    void addLossChart(class QVBoxLayout* column);
    // Row height and column widths from the list's font; returns the three columns' width.
    int sizeListToFont();
    void addFigures(class QGridLayout* grid);
    // Today's boards: their figures and the calendar, when any was played.
    void addDailySection(class QVBoxLayout* column, const tovra::CivilDate& today);
    QWidget* addChart(class QVBoxLayout* column, const QString& caption, QWidget* chart, const QString& summary,
                      const QString& details);

    tovra::HistoryStatistics stats_;
    tovra::DailyStatistics days_;
    DailyCalendar* calendar_ = nullptr;
    HistoryTableModel* model_ = nullptr;
    HistogramChart* scores_ = nullptr;
    ScoreTimelineChart* recent_ = nullptr;
    HistogramChart* losses_ = nullptr;
    QTableView* list_ = nullptr;
    QLabel* emptyText_ = nullptr;
};

// The history in the database at `path`, newest first; none when there is no file yet.
// `problem` says why a file that is there could not be read.
std::vector<tovra::HistoryGame> LoadHistory(const std::string& path, QString& problem);
// Shows the window modally with the history as the keeper read it.
void ShowStatistics(std::vector<tovra::HistoryGame> games, const QString& problem, QWidget* parent,
                    const DailyContext& daily = DailyContextNow());
