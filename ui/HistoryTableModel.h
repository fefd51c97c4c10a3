#pragma once
// The games of the history as rows for the statistics window's list: date, score, how the game
// ended, name. Sorts by date or score (and by the other columns too) without copying games.
#include "gamestore/GameHistory.h"

#include <QAbstractTableModel>

#include <vector>

class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { DateColumn, ScoreColumn, EndColumn, NameColumn, ColumnCount };

    explicit HistoryTableModel(std::vector<tovra::HistoryGame> newestFirst, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const tovra::HistoryGame& GameAt(int row) const;

private:
    std::vector<tovra::HistoryGame> games_;
    std::vector<int> order_; // row -> index into games_
};

// When it ended, in the user's short date format (and time, for games played here).
QString GameDateText(const tovra::HistoryGame& game);
// The name it went into the best 20 under; for a game on a given board, which board it was.
QString GameNameText(const tovra::HistoryGame& game);
