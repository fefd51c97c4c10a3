#include "HistoryTableModel.h"

#include "core/DailyBoard.h"
#include "gamestore/HistoryText.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <numeric>

using namespace tovra;

QString GameDateText(const HistoryGame& game)
{
    if (!game.endedAt)
        return QString();
    const QDateTime when = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(*game.endedAt));
    const QLocale locale;
    if (game.imported)
        return locale.toString(when.date(), QLocale::ShortFormat);
    return locale.toString(when, QLocale::ShortFormat);
}

HistoryTableModel::HistoryTableModel(std::vector<HistoryGame> newestFirst, QObject* parent)
    : QAbstractTableModel(parent)
    , games_(std::move(newestFirst))
    , order_(games_.size())
{
    std::iota(order_.begin(), order_.end(), 0);
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

const HistoryGame& HistoryTableModel::GameAt(int row) const
{
    return games_.at(static_cast<std::size_t>(order_.at(static_cast<std::size_t>(row))));
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::TextAlignmentRole))
        return {};
    if (role == Qt::TextAlignmentRole)
        return index.column() == ScoreColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    const HistoryGame& game = GameAt(index.row());
    switch (index.column()) {
    case DateColumn:
        return GameDateText(game);
    case ScoreColumn:
        return game.Score();
    case EndColumn:
        return QString::fromStdString(GameEndText(game.end));
    case NameColumn:
        return GameNameText(game);
    default:
        return {};
    }
}

QString GameNameText(const HistoryGame& game)
{
    // Games on given boards have no name (they are not ranked): the board says what they were.
    if (!game.name.empty() || game.given == 0)
        return QString::fromStdString(game.name);
    if (game.boardDate)
        return QStringLiteral("Today's board of %1").arg(QString::fromStdString(IsoDateText(*game.boardDate)));
    return QStringLiteral("A board from a code");
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case DateColumn:
        return QStringLiteral("Date");
    case ScoreColumn:
        return QStringLiteral("Score");
    case EndColumn:
        return QStringLiteral("End");
    case NameColumn:
        return QStringLiteral("Name");
    default:
        return {};
    }
}

void HistoryTableModel::sort(int column, Qt::SortOrder order)
{
    // The history comes newest first: index order is date order, newest first, and ties in
    // any column keep it (stable sort).
    const auto key = [this, column](int i) -> std::pair<long long, QString> {
        const HistoryGame& game = games_[static_cast<std::size_t>(i)];
        switch (column) {
        case ScoreColumn:
            return {game.Score(), {}};
        case EndColumn:
            return {static_cast<long long>(game.end), {}};
        case NameColumn:
            return {0, GameNameText(game)};
        default:
            return {-i, {}}; // older games have higher indexes
        }
    };
    emit layoutAboutToBeChanged();
    std::iota(order_.begin(), order_.end(), 0);
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        return order == Qt::AscendingOrder ? key(a) < key(b) : key(b) < key(a);
    });
    emit layoutChanged();
}
