#include "DailyCalendar.h"

#include "WindowLook.h"
#include "core/Colors.h"
#include "ui/widgets/Look.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

using namespace tovra;

namespace {
const char* const WeekdayNames[] = {"Mo", "Tu", "We", "Th", "Fr", "Sa", "Su"};
constexpr int WeekCount = 6; // the most weeks a month touches

QString MonthTitle(int year, int month)
{
    return QStringLiteral("%1 %2").arg(QLocale(QLocale::English).standaloneMonthName(month)).arg(year);
}

QString DayWord(DayResult result)
{
    switch (result) {
    case DayResult::Hundred:
        return QStringLiteral("brought to 100");
    case DayResult::Played:
        return QStringLiteral("played");
    case DayResult::NotPlayed:
        break;
    }
    return QStringLiteral("not played");
}
} // namespace

DailyCalendar::DailyCalendar(DailyStatistics statistics, const CivilDate& today, QWidget* parent)
    : QWidget(parent)
    , statistics_(std::move(statistics))
    , today_(today)
    , year_(today.year)
    , month_(today.month)
{
    setObjectName(QStringLiteral("DailyCalendar"));
    setFocusPolicy(Qt::TabFocus);
    // As tall as its month: the room left in the column goes to the list of games.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    const auto arrow = [this](const char* name, const QString& caption, const QString& what) {
        auto* button = new TFlatSpeedButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->SetCaption(caption);
        button->SetButtonStyle(TFlatSpeedButton::ubsWin40);
        button->setMinimumSize(25, 21);
        button->setAccessibleName(what);
        return button;
    };
    earlier_ = arrow("BtnEarlierMonth", QStringLiteral("<"), QStringLiteral("The month before (Page Up)"));
    later_ = arrow("BtnLaterMonth", QStringLiteral(">"), QStringLiteral("The month after (Page Down)"));
    connect(earlier_, &TFlatSpeedButton::OnClick, this, [this] { Step(-1); });
    connect(later_, &TFlatSpeedButton::OnClick, this, [this] { Step(1); });
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("MonthTitle"));
    title_->setAlignment(Qt::AlignCenter);
    grid_ = new MonthGrid(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* header = new QHBoxLayout;
    header->addWidget(earlier_);
    header->addWidget(title_, 1);
    header->addWidget(later_);
    layout->addLayout(header);
    layout->addWidget(grid_, 0, Qt::AlignHCenter);
    auto* legend = new QLabel(QStringLiteral("Ring: played. Filled: brought to 100. Square: today."), this);
    legend->setObjectName(QStringLiteral("CalendarLegend"));
    legend->setWordWrap(true);
    layout->addWidget(legend);
    showMonth();
}

bool DailyCalendar::Step(int months)
{
    int year = year_;
    int month = month_;
    StepMonth(year, month, months);
    if (!MonthHasDays(statistics_, today_, year, month))
        return false;
    year_ = year;
    month_ = month;
    showMonth();
    return true;
}

void DailyCalendar::showMonth()
{
    const CalendarMonth month = MonthOf(statistics_, year_, month_);
    grid_->SetMonth(month, year_ == today_.year && month_ == today_.month ? today_.day : 0);
    title_->setText(MonthTitle(year_, month_));
    int year = year_;
    int previous = month_;
    StepMonth(year, previous, -1);
    earlier_->setEnabled(MonthHasDays(statistics_, today_, year, previous));
    year = year_;
    int next = month_;
    StepMonth(year, next, 1);
    later_->setEnabled(MonthHasDays(statistics_, today_, year, next));
    // A screen reader reads the month as a list of the days that were played.
    QStringList days;
    for (std::size_t index = 0; index < month.days.size(); ++index) {
        if (month.days[index] != DayResult::NotPlayed)
            days << QStringLiteral("%1: %2").arg(index + 1).arg(DayWord(month.days[index]));
    }
    setAccessibleName(QStringLiteral("Today's boards in ") + MonthTitle(year_, month_));
    setAccessibleDescription(days.isEmpty() ? QStringLiteral("No day played") : days.join(QStringLiteral("; ")));
    grid_->setAccessibleName(accessibleName());
    grid_->setAccessibleDescription(accessibleDescription());
}

void DailyCalendar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        Step(event->key() == Qt::Key_PageUp ? -1 : 1);
        return;
    }
    QWidget::keyPressEvent(event);
}

MonthGrid::MonthGrid(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MonthGrid"));
}

void MonthGrid::SetMonth(CalendarMonth month, int today)
{
    month_ = std::move(month);
    today_ = today;
    update();
}

int MonthGrid::cellSize() const
{
    const QFontMetrics metrics = fontMetrics();
    return std::max({metrics.horizontalAdvance(QStringLiteral("Mo")), metrics.horizontalAdvance(QStringLiteral("00")),
                     metrics.height()}) +
           metrics.height() / 2 + 4;
}

QSize MonthGrid::sizeHint() const
{
    const int cell = cellSize();
    return {7 * cell + 1, (WeekCount + 1) * cell + 1};
}

QRect MonthGrid::DayRect(int day) const
{
    const int cell = cellSize();
    const int place = month_.leadingBlanks + day - 1;
    return {place % 7 * cell, (place / 7 + 1) * cell, cell, cell};
}

void MonthGrid::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Look& look = Appearance::Of(this);
    const QColor text = palette().color(QPalette::WindowText);
    const int cell = cellSize();
    const int line = std::max(1, look.Px(2));
    painter.setPen(text);
    for (int weekday = 0; weekday < 7; ++weekday)
        painter.drawText(QRect(weekday * cell, 0, cell, cell), Qt::AlignCenter, QString::fromLatin1(WeekdayNames[weekday]));
    const QColor played = look.Fill(ToQColor(NumberColor).darker(130));
    const QColor hundred = look.Fill(ToQColor(HintColor));
    for (int day = 1; day <= static_cast<int>(month_.days.size()); ++day) {
        const QRect place = DayRect(day);
        const QRect mark = place.adjusted(line + 1, line + 1, -line - 1, -line - 1);
        const DayResult result = month_.days[static_cast<std::size_t>(day - 1)];
        QFont font = this->font();
        if (result == DayResult::Hundred) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(hundred);
            painter.drawEllipse(mark);
            font.setBold(true);
        } else if (result == DayResult::Played) {
            painter.setPen(QPen(played, line));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(mark);
        }
        if (day == today_) {
            painter.setPen(QPen(text, 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(place).adjusted(0.5, 0.5, -0.5, -0.5));
        }
        painter.setFont(font);
        // Text on the filled disc is in the colour the board writes on its hint cells.
        painter.setPen(result == DayResult::Hundred ? look.Ink(Qt::black) : text);
        painter.drawText(place, Qt::AlignCenter, QString::number(day));
    }
}
