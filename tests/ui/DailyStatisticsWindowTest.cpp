// Today's boards in the statistics window: their figures and the month calendar when any was
// played (and the window as it was when none was), the months the calendar steps to, what it
// tells a screen reader, and "Copy code" for the selected game.
#include "core/BoardCode.h"
#include "ui/DailyCalendar.h"
#include "ui/HistoryTableModel.h"
#include "ui/StatisticsWindow.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QTableView>
#include <QtTest>

using namespace tovra;

namespace {
// A game on the board of `date`: 20 given numbers, then the player's up to `score`.
HistoryGame DayGame(CivilDate date, int score)
{
    HistoryGame game;
    game.end = score == 100 ? GameEnd::Complete : GameEnd::Stuck;
    for (int cell = 0; cell < score; ++cell)
        game.cells.push_back(cell);
    game.given = 20;
    game.boardDate = date;
    game.endedAt = 1.8e9;
    return game;
}

HistoryGame OrdinaryGame()
{
    HistoryGame game;
    game.cells = {0, 3, 6, 36};
    game.endedAt = 1.8e9 + 100;
    return game;
}

const CivilDate Today{2026, 12, 8};
} // namespace

class DailyStatisticsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void figuresOfTheDays_data()
    {
        QTest::addColumn<QString>("figure");
        QTest::addColumn<QString>("text");
        QTest::newRow("days played, the day in progress too") << "DaysPlayed" << "4";
        QTest::newRow("days brought to 100, the one played twice once") << "DaysAt100" << "2";
        QTest::newRow("run up to yesterday, today still to come") << "CurrentDayRun" << "2";
        QTest::newRow("longest run") << "LongestDayRun" << "2";
    }
    void figuresOfTheDays()
    {
        QFETCH(QString, figure);
        QFETCH(QString, text);
        const StatisticsWindow window({DayGame({2026, 12, 7}, 100), DayGame({2026, 12, 6}, 100), DayGame({2026, 12, 6}, 64),
                                       DayGame({2026, 11, 30}, 71), OrdinaryGame()},
                                      {}, nullptr, DailyContext{Today, {Today}});
        QLabel* value = window.Figure(figure);
        QVERIFY(value);
        QCOMPARE(value->text(), text);
        QVERIFY(value->accessibleName().endsWith(": " + text));
    }

    // A player who never played today's board sees no trace of it.
    void withoutTodaysBoardsTheWindowIsAsItWas()
    {
        const StatisticsWindow window({OrdinaryGame()}, {}, nullptr, DailyContext{Today, {}});
        QCOMPARE(window.Calendar(), nullptr);
        QCOMPARE(window.Figure(QStringLiteral("DaysPlayed")), nullptr);
        QVERIFY(window.Figure(QStringLiteral("GamesPlayed")));
    }

    void theCalendarStepsThroughTheMonthsThatHaveDays_data()
    {
        QTest::addColumn<QList<int>>("steps"); // +1 later, -1 earlier
        QTest::addColumn<QString>("month");
        QTest::addColumn<bool>("earlier");      // the earlier arrow usable afterwards
        QTest::addColumn<bool>("later");
        QTest::newRow("opens on today's month") << QList<int>{} << "December 2026" << true << false;
        QTest::newRow("back to the first played month") << QList<int>{-1, -1} << "October 2026" << false << true;
        QTest::newRow("no further back than that") << QList<int>{-1, -1, -1} << "October 2026" << false << true;
        QTest::newRow("never past today's month") << QList<int>{1} << "December 2026" << true << false;
        QTest::newRow("back and forth") << QList<int>{-1, -1, 1} << "November 2026" << true << true;
    }
    void theCalendarStepsThroughTheMonthsThatHaveDays()
    {
        QFETCH(QList<int>, steps);
        QFETCH(QString, month);
        QFETCH(bool, earlier);
        QFETCH(bool, later);
        const StatisticsWindow window({DayGame({2026, 12, 7}, 100), DayGame({2026, 10, 31}, 50)}, {}, nullptr,
                                      DailyContext{Today, {}});
        DailyCalendar* calendar = window.Calendar();
        QVERIFY(calendar);
        for (const int step : steps)
            calendar->Step(step);
        QCOMPARE(calendar->Title()->text(), month);
        QCOMPARE(calendar->EarlierButton()->isEnabled(), earlier);
        QCOMPARE(calendar->LaterButton()->isEnabled(), later);
    }

    void pageKeysStepTheMonthsAndAScreenReaderHearsTheDays()
    {
        StatisticsWindow window({DayGame({2026, 12, 7}, 100), DayGame({2026, 12, 3}, 40), DayGame({2026, 11, 2}, 100)}, {},
                                nullptr, DailyContext{Today, {}});
        DailyCalendar* calendar = window.Calendar();
        QCOMPARE(calendar->accessibleDescription(), QStringLiteral("3: played; 7: brought to 100"));
        QTest::keyClick(calendar, Qt::Key_PageUp);
        QCOMPARE(calendar->Month(), 11);
        QCOMPARE(calendar->accessibleDescription(), QStringLiteral("2: brought to 100"));
        QTest::keyClick(calendar, Qt::Key_PageDown);
        QCOMPARE(calendar->Month(), 12);
        // Monday first: 1 December 2026 is a Tuesday, in the second column of the first week.
        QCOMPARE(calendar->Grid()->DayRect(1).left(), calendar->Grid()->DayRect(1).width());
        QCOMPARE(calendar->Grid()->DayRect(7).top(), calendar->Grid()->DayRect(1).bottom() + 1);
    }

    void theListNamesEachGivenBoard()
    {
        HistoryGame fromCode = DayGame({2026, 12, 7}, 30);
        fromCode.boardDate.reset();
        QCOMPARE(GameNameText(DayGame({2026, 12, 7}, 30)), QStringLiteral("Today's board of 2026-12-07"));
        QCOMPARE(GameNameText(fromCode), QStringLiteral("A board from a code"));
        QCOMPARE(GameNameText(OrdinaryGame()), QString());
    }

    void copyCodeCopiesTheSelectedGame_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("Ctrl+C on the list") << true;
        QTest::newRow("the Copy code button") << false;
    }
    void copyCodeCopiesTheSelectedGame()
    {
        QFETCH(bool, byKey);
        const HistoryGame ordinary = OrdinaryGame();
        StatisticsWindow window({ordinary, DayGame({2026, 12, 7}, 30)}, {}, nullptr, DailyContext{Today, {}});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.GameList()->selectRow(0); // the newest: the ordinary game
        QApplication::clipboard()->clear();
        if (byKey)
            QTest::keySequence(window.GameList(), QKeySequence::Copy);
        else
            window.findChild<TFlatSpeedButton*>(QStringLiteral("BtnCopyCode"))->PressAndRelease(Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(EncodeBoardCode(ordinary.cells)));
    }
};

QTEST_MAIN(DailyStatisticsWindowTest)
#include "DailyStatisticsWindowTest.moc"
