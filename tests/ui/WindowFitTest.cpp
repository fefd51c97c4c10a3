// Windows on a screen too small for them: this test runs at scale factor 2, where the offscreen
// screen of 800 x 600 pixels holds 400 x 300 of the windows' own.
#include "ui/DailyCalendar.h"
#include "ui/HelpWindow.h"
#include "ui/StatisticsWindow.h"
#include "ui/WindowLook.h"

#include <QScreen>
#include <QScrollArea>
#include <QtTest>

using namespace tovra;

class WindowFitTest : public QObject {
    Q_OBJECT

    // Stands for the main window: shown, so its frame tells how large a window manager's frame is.
    QWidget opener;

private slots:
    void initTestCase()
    {
        opener.resize(100, 100);
        opener.show();
        QVERIFY(QTest::qWaitForWindowExposed(&opener));
    }

    void statisticsScrollsInsideTheScreen()
    {
        std::vector<HistoryGame> games(3);
        for (std::size_t i = 0; i < games.size(); ++i) {
            games[i].end = GameEnd::Stuck;
            games[i].cells = {0, 3, 6, 9};
            games[i].endedAt = 46000.0 - static_cast<double>(i);
        }
        StatisticsWindow window(std::move(games), {}, &opener);
        window.adjustSize();
        const QRect available = window.screen()->availableGeometry();
        QVERIFY(window.minimumSizeHint().height() > available.height()); // the case at hand
        ScrollWhenTooLarge(&window);
        CentreOnScreen(&window);
        window.show();
        QVERIFY2(available.contains(window.frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6").arg(window.frameGeometry().x()).arg(window.frameGeometry().y()).arg(window.frameGeometry().width()).arg(window.frameGeometry().height()).arg(available.width()).arg(available.height())));
        auto* scroll = window.findChild<QScrollArea*>(QStringLiteral("ScrolledContents"));
        QVERIFY(scroll);
        // The buttons are in the scrolled area, reached by scrolling.
        QWidget* close = window.findChild<QWidget*>(QStringLiteral("BtnClose"));
        QVERIFY(close && scroll->widget()->isAncestorOf(close));
    }

    // With today's boards, the calendar too is inside the scrolled area, reached by scrolling.
    void statisticsWithTodaysBoardsScrollsInsideTheScreen()
    {
        std::vector<HistoryGame> games(2);
        for (std::size_t i = 0; i < games.size(); ++i) {
            games[i].end = GameEnd::Stuck;
            games[i].cells = {0, 3, 6, 9};
            games[i].given = 2;
            games[i].boardDate = CivilDate{2026, 12, 7 - static_cast<int>(i)};
            games[i].endedAt = 46000.0 - static_cast<double>(i);
        }
        StatisticsWindow window(std::move(games), {}, &opener, DailyContext{{2026, 12, 8}, {}});
        window.adjustSize();
        ScrollWhenTooLarge(&window);
        CentreOnScreen(&window);
        window.show();
        QVERIFY(window.screen()->availableGeometry().contains(window.frameGeometry()));
        auto* scroll = window.findChild<QScrollArea*>(QStringLiteral("ScrolledContents"));
        QVERIFY(scroll && window.Calendar() && scroll->widget()->isAncestorOf(window.Calendar()));
    }

    void helpOpensWithinTheScreen()
    {
        HelpWindow help(&opener);
        help.ShowContents();
        QVERIFY(help.screen()->availableGeometry().contains(help.frameGeometry()));
    }
};

QTEST_MAIN(WindowFitTest)
#include "WindowFitTest.moc"
