#pragma once
// The month calendar of today's boards in the statistics window: every day of a month, its
// board played, brought to 100 or not played, told apart by shape (a ring, a filled disc) as
// well as colour. The arrows, Page Up and Page Down step through the months that have days.
#include "gamestore/DailyStatistics.h"

#include <QWidget>

class QLabel;
class MonthGrid;
class TFlatSpeedButton;

class DailyCalendar : public QWidget {
    Q_OBJECT

public:
    // Opens on the month of `today`.
    DailyCalendar(tovra::DailyStatistics statistics, const tovra::CivilDate& today, QWidget* parent = nullptr);

    int Year() const { return year_; }
    int Month() const { return month_; }
    // The month before (-1) or after (+1), when it has days; false when it has none.
    bool Step(int months);
    QLabel* Title() const { return title_; }
    TFlatSpeedButton* EarlierButton() const { return earlier_; }
    TFlatSpeedButton* LaterButton() const { return later_; }
    MonthGrid* Grid() const { return grid_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showMonth();

    tovra::DailyStatistics statistics_;
    tovra::CivilDate today_;
    int year_;
    int month_;
    QLabel* title_ = nullptr;
    TFlatSpeedButton* earlier_ = nullptr;
    TFlatSpeedButton* later_ = nullptr;
    MonthGrid* grid_ = nullptr;
};

// The days of one month under the weekdays' names, Monday first.
class MonthGrid : public QWidget {
    Q_OBJECT

public:
    explicit MonthGrid(QWidget* parent = nullptr);
    // `today`: the day of the month to frame, 0 when today is in another month.
    void SetMonth(tovra::CalendarMonth month, int today);
    const tovra::CalendarMonth& Month() const { return month_; }
    // Where day `day` (1..) is drawn.
    QRect DayRect(int day) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int cellSize() const;

    tovra::CalendarMonth month_;
    int today_ = 0;
};
