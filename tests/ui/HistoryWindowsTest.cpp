// The statistics window and the game viewer: what they say about a small history, the keys
// that step through a game, answers worked out off the window's thread, and the ways into the
// viewer (the statistics list, Best 20).
#include "ModalWatch.h"
#include "core/GameReplay.h"
#include "records/BestRecord.h"
#include "core/BoardCode.h"
#include "ui/GameViewer.h"
#include "ui/StatisticsWindow.h"
#include "ui/UnitMigliori.h"
#include "ui/widgets/HistogramChart.h"
#include "ui/widgets/ReplayBoard.h"
#include "ui/widgets/ScoreTimelineChart.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QClipboard>
#include <QtTest>

using namespace tovra;

namespace {
// The corner bt0101's three targets are numbered at number 5: 100 is lost after number 4.
const std::vector<int> CornerCutOff = {3, 25, 22, 52, 30};

HistoryGame Game(GameEnd end, std::vector<int> cells, std::optional<int> lastReachable, double endedAt)
{
    HistoryGame game;
    game.end = end;
    game.cells = std::move(cells);
    game.lastReachable = lastReachable;
    game.endedAt = endedAt;
    game.playedMs = 90000;
    return game;
}

std::vector<int> FullTour()
{
    SolverPosition start;
    start.numbered.set(0);
    start.lastCell = 0;
    std::vector<int> cells = {0};
    const SolverAnswer answer = SolveCompletion(start);
    cells.insert(cells.end(), answer.completion.begin(), answer.completion.end());
    return cells;
}

// Newest first: a game left at 2 numbers, one stuck at 5, and a 100.
std::vector<HistoryGame> SmallHistory()
{
    return {Game(GameEnd::Abandoned, {0, 3}, 2, 3000), Game(GameEnd::Stuck, CornerCutOff, 4, 2000),
            Game(GameEnd::Complete, FullTour(), 100, 1000)};
}
} // namespace

class HistoryWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void withNoGameTheWindowSaysSoPlainly()
    {
        const StatisticsWindow window({});
        QVERIFY(window.EmptyText().startsWith("No game yet."));
        QCOMPARE(window.GameList(), nullptr);
        QCOMPARE(window.ScoresChart(), nullptr);
    }

    void figuresAndPicturesOfASmallHistory_data()
    {
        QTest::addColumn<QString>("figure");
        QTest::addColumn<QString>("text");
        QTest::newRow("games played") << "GamesPlayed" << "3";
        QTest::newRow("100s and their share") << "Hundreds" << "1 (33%)";
        QTest::newRow("best") << "BestScore" << "100";
        QTest::newRow("average") << "AverageScore" << "35.7";
        QTest::newRow("median") << "MedianScore" << "5";
        QTest::newRow("current run") << "CurrentRun" << "0";
        QTest::newRow("longest run") << "LongestRun" << "1";
        QTest::newRow("time played") << "TotalTime" << "4:30";
        QTest::newRow("time per game") << "AverageTime" << "1:30";
    }
    void figuresAndPicturesOfASmallHistory()
    {
        QFETCH(QString, figure);
        QFETCH(QString, text);
        const StatisticsWindow window(SmallHistory());
        QLabel* value = window.Figure(figure);
        QVERIFY(value);
        QCOMPARE(value->text(), text);
        QVERIFY(value->accessibleName().endsWith(": " + text)); // read out with its caption
    }

    void everyPictureHasItsFiguresAsText()
    {
        const StatisticsWindow window(SmallHistory());
        QCOMPARE(window.ScoresChart()->Counts().at(99), 1); // the bar of 100
        QCOMPARE(window.ScoresChart()->Counts().at(4), 1);  // the bar of 5
        QCOMPARE(window.ScoresChart()->accessibleDescription(), QString("Score: games. 100: 1 game; 5: 1 game; 2: 1 game"));
        QCOMPARE(window.RecentChart()->Scores(), (std::vector<int>{100, 5, 2}));
        QCOMPARE(window.RecentChart()->accessibleDescription(), QString("100, 5, 2"));
        QCOMPARE(window.LossChart()->accessibleName(), QString("Where 100 was lost, in 1 game: the last number after which it could be reached"));
        QCOMPARE(window.LossChart()->accessibleDescription(), QString("after 4: 1 game"));
    }

    void enterOnTheListReplaysTheSelectedGameAndScoreSortingChoosesIt()
    {
        StatisticsWindow window(SmallHistory());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.GameList()->sortByColumn(1, Qt::DescendingOrder); // best score first
        window.GameList()->selectRow(0);
        int length = -1;
        ModalWatch watch;
        watch.WhenModal<GameViewer>([&](GameViewer* viewer) {
            length = viewer->Replay().Length();
            viewer->close();
        });
        QTest::keyClick(window.GameList(), Qt::Key_Return);
        QCOMPARE(length, 100);
    }

    void keysStepThroughTheGame_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("position");
        QTest::newRow("right twice") << QList<int>{Qt::Key_Right, Qt::Key_Right} << 2;
        QTest::newRow("end then left") << QList<int>{Qt::Key_End, Qt::Key_Left} << 4;
        QTest::newRow("home after end") << QList<int>{Qt::Key_End, Qt::Key_Home} << 0;
        QTest::newRow("L: the last board on which 100 could be reached") << QList<int>{Qt::Key_L} << 4;
    }
    void keysStepThroughTheGame()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, position);
        GameViewer viewer(GameReplay(CornerCutOff, -1, 4), "test");
        viewer.show();
        QVERIFY(QTest::qWaitForWindowActive(&viewer));
        for (const int key : keys)
            QTest::keyClick(&viewer, Qt::Key(key));
        QCOMPARE(viewer.Replay().Position(), position);
        QCOMPARE(viewer.Slider()->value(), position);
        // The board shows exactly the numbers up to the position, the last in bold.
        const TFlatSpeedButton* last = position ? viewer.Board()->Cell(CornerCutOff[position - 1]) : nullptr;
        QCOMPARE(position ? last->Caption() : QString(), position ? QString::number(position) : QString());
        QVERIFY(!last || last->Bold());
        QCOMPARE(viewer.Board()->Cell(CornerCutOff[4])->Caption(), position == 5 ? "5" : "");
    }

    void playRunsToTheEndAndStops()
    {
        GameViewer viewer(GameReplay(CornerCutOff, -1, 4), "test");
        viewer.SetStepInterval(1);
        viewer.PlayOrPause();
        QVERIFY(viewer.Playing());
        QTRY_VERIFY(viewer.Replay().AtEnd());
        QVERIFY(!viewer.Playing());
        QVERIFY(viewer.Board()->Cell(CornerCutOff[3])->Suggested()); // number 4, after which 100 was lost
    }

    void whereAGameLost100IsWorkedOutWhenNotKnown()
    {
        GameViewer viewer(GameReplay(CornerCutOff), "test");
        QSignalSpy shown(&viewer, &GameViewer::AnswerShown);
        QVERIFY(shown.wait(20000));
        QCOMPARE(viewer.Replay().LossPosition(), std::optional<int>(4));
        QVERIFY(viewer.LossText()->text().startsWith("100 could be reached until number 4"));
    }

    void canStillBeReachedIsAnsweredForThePositionShown()
    {
        GameViewer viewer(GameReplay(CornerCutOff, -1, 4), "test");
        viewer.Last();
        QSignalSpy shown(&viewer, &GameViewer::AnswerShown);
        viewer.AskReachability();
        QVERIFY(shown.wait(20000));
        QCOMPARE(viewer.ReachabilityText()->text(), QString("100 can no longer be reached. It could until number 4."));
        viewer.StepBack();
        QVERIFY(viewer.ReachabilityText()->text().isEmpty()); // the answer was about another board
    }

    // Pausing redraws the board, and so does the loss's answer arriving: neither is another
    // board, so the answer stays.
    void anAnswerSurvivesAPauseAndTheLossBeingWorkedOut()
    {
        GameViewer viewer(GameReplay(CornerCutOff), "test");
        viewer.Last();
        viewer.AskReachability();
        const QString answer("100 can no longer be reached. It could until number 4.");
        QTRY_VERIFY_WITH_TIMEOUT(viewer.Replay().LossPosition().has_value(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(viewer.ReachabilityText()->text(), answer, 20000);
        viewer.Pause();
        QCOMPARE(viewer.ReachabilityText()->text(), answer);
        viewer.PlayOrPause(); // from the end, play starts again at the empty board
        QVERIFY(viewer.ReachabilityText()->text().isEmpty());
    }

    void showAWayPlaysTheGameThenOneCompletionTo100()
    {
        GameViewer viewer(GameReplay({44, 74}), "test", true);
        viewer.SetStepInterval(1);
        QSignalSpy shown(&viewer, &GameViewer::AnswerShown);
        QVERIFY(shown.wait(20000));
        QCOMPARE(viewer.Replay().Played(), 2);
        QCOMPARE(viewer.Replay().Length(), 100);
        QTRY_VERIFY(viewer.Replay().AtEnd());
        QCOMPARE(viewer.Board()->Cell(viewer.Replay().CellOf(100))->Caption(), QString("100"));
    }

    void best20OpensTheSelectedRecordsGameOnEnterOrADoubleClick()
    {
        BestTable table = FreshTable();
        BestRecord& record = table.ByRank(2);
        record.Score = 5;
        record.SetDate(46000);
        for (std::size_t i = 0; i < CornerCutOff.size(); ++i)
            record.SchemeBytes[static_cast<std::size_t>(CornerCutOff[i])] = static_cast<std::uint8_t>(i + 1);
        TFormMigliori best(table);
        best.show();
        QVERIFY(QTest::qWaitForWindowActive(&best));
        auto* grid = best.findChild<QTableWidget*>("SgMigliori");
        QTest::keyClick(grid, Qt::Key_Down);
        std::vector<int> opened;
        ModalWatch watch;
        watch.WhenModal<GameViewer>([&](GameViewer* viewer) {
            viewer->Last();
            opened = viewer->Replay().CellsShown();
            viewer->close();
        });
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(opened, CornerCutOff);
        QVERIFY(best.isVisible()); // Enter does not close Best 20
        // Ctrl+C puts the selected game's code on the clipboard; an empty record leaves it be.
        QApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(EncodeBoardCode(CornerCutOff)));
        QTest::keyClick(grid, Qt::Key_Down);
        QApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    }
};

QTEST_MAIN(HistoryWindowsTest)
#include "HistoryWindowsTest.moc"
