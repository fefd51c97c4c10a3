// Boards that come with their first numbers, through the main window: today's board drawn as
// given, undo refused below it, an end that ranks nothing and shares no cell, and board codes
// through the viewer.
#include "ModalWatch.h"

#include "core/BoardCode.h"
#include "core/CellId.h"
#include "core/DailyBoard.h"
#include "core/Game.h"
#include "core/Solver.h"
#include "ui/BoardCodeCommands.h"
#include "ui/GameViewer.h"
#include "ui/GivenBoardEndDialog.h"
#include "ui/ReachabilityCheck.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace tovra;

namespace {
QByteArray FileBytes(const char* name)
{
    QFile file(QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TFlatSpeedButton* ButtonCaptioned(QWidget* window, const QString& caption)
{
    for (TFlatSpeedButton* button : window->findChildren<TFlatSpeedButton*>())
        if (button->Caption() == caption)
            return button;
    return nullptr;
}

TFlatSpeedButton* CellButtonAt(TForm1& form, int index) { return form.CellButton(QString::fromStdString(CellIdOf(index))); }
} // namespace

class GivenBoardWindowTest : public QObject {
    Q_OBJECT

    // The file layer the windows of these tests read and write record.dat through.
    tovra::PosixFileSystem files_;

private:
    QTemporaryDir dir;
    QString previousDir;

private slots:
    void initTestCase() { PrepareApplication(); }
    void init()
    {
        QVERIFY(dir.isValid());
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        for (const char* file : {"record.dat", "games.db", "games.db-wal", "games.db-shm"})
            QFile::remove(QString::fromLatin1(file));
    }
    void cleanup() { QDir::setCurrent(previousDir); }

    void todaysBoardIsDrawnAsGiven()
    {
        TForm1 form(files_);
        form.TodaysBoard1Click();
        const DailyBoard today = MakeDailyBoard(DecodeDate(LocalNow()));
        QCOMPARE(int(form.Game().GivenCount), int(today.cells.size()));
        QCOMPARE(int(form.Game().MoveCount), int(today.cells.size()));
        QVERIFY(form.GivenPlay());
        QCOMPARE(form.GivenPlay()->grade, today.grade);
        for (int number = 1; number <= int(today.cells.size()); ++number) {
            TFlatSpeedButton* cell = CellButtonAt(form, today.cells[std::size_t(number - 1)]);
            QCOMPARE(cell->Caption(), QString::number(number));
            // Told apart by the shape of the figures, not by a colour alone.
            QVERIFY(cell->font().italic());
            QCOMPARE(cell->Bold(), number == int(today.cells.size()));
        }
        QVERIFY(!form.Clock().isActive()); // the clock waits for the player's first number
        // A new game is an ordinary game again, drawn as one.
        form.Nuovapartita1Click();
        QCOMPARE(int(form.Game().GivenCount), 0);
        QVERIFY(!form.GivenPlay());
        QVERIFY(!CellButtonAt(form, today.cells[0])->font().italic());
    }

    void undoBelowTheGivenNumbersIsRefused()
    {
        TForm1 form(files_);
        form.TodaysBoard1Click();
        const int given = form.Game().GivenCount;
        QString told;
        ModalWatch watch;
        watch.WhenModal<QMessageBox>([&](QMessageBox* box) {
            told = box->text();
            box->close();
        });
        form.BtnUndo1Click();
        QCOMPARE(told, QString::fromStdString(GivenNumbersStayMessage));
        QCOMPARE(int(form.Game().MoveCount), given);
        // Nor can a given number be marked.
        QTest::mouseClick(CellButtonAt(form, MakeDailyBoard(DecodeDate(LocalNow())).cells[0]), Qt::RightButton);
        QVERIFY(form.Game().MarkedCell.Id().empty());
    }

    // The last number of a board from a code: its own end, "Copy result" with no cell in it,
    // nothing in record.dat, and an ordinary empty board after.
    void theEndRanksNothingAndSharesNoCell()
    {
        std::vector<int> tour = SolveCompletion(SolverPosition{}).completion;
        QCOMPARE(int(tour.size()), 100);
        const int last = tour.back();
        tour.pop_back();
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QByteArray recordBefore = FileBytes("record.dat");
        form.PlayGivenBoard(tour, GivenBoardPlay{});
        QApplication::clipboard()->clear();
        QString endText;
        ModalWatch watch;
        watch.WhenModal<GivenBoardEndDialog>([&](GivenBoardEndDialog* dialog) {
            endText = dialog->Text()->text();
            dialog->CopyButton()->PressAndRelease(Qt::LeftButton);
            dialog->accept();
        });
        QTest::mouseClick(CellButtonAt(form, last), Qt::LeftButton);
        QVERIFY2(endText.contains(QStringLiteral("to 100")), qPrintable(endText));
        QVERIFY2(endText.contains(QStringLiteral("does not go into the best 20")), qPrintable(endText));
        const QString result = QApplication::clipboard()->text();
        QVERIFY2(result.contains(QStringLiteral("100/100")), qPrintable(result));
        QVERIFY(!result.contains(QStringLiteral("row")) && !result.contains(QStringLiteral("column")));
        QVERIFY(!result.contains(QString::fromStdString(EncodeBoardCode(tour)).left(8)));
        QCOMPARE(FileBytes("record.dat"), recordBefore);
        QCOMPARE(int(form.Game().MoveCount), 0);
        QCOMPARE(int(form.Game().GivenCount), 0);
    }

    // A board with given numbers comes back at the next start as it was left, never as an
    // ordinary game: its given numbers still given (no undo reaches them, no mark goes on them),
    // its date, grade and the help used still counted for the result, and nothing in record.dat.
    void aGivenBoardIsNeverResumedAsAnOrdinaryGame_data()
    {
        QTest::addColumn<bool>("today");
        QTest::addColumn<int>("placed");      // numbers of the player's own
        QTest::addColumn<bool>("markLast");   // the last of them marked
        QTest::addColumn<int>("askedF3");
        QTest::addColumn<int>("askedMoves");
        QTest::newRow("today's board as it came") << true << 0 << false << 0 << 0;
        QTest::newRow("today's board with numbers, a mark and help") << true << 3 << true << 2 << 1;
        QTest::newRow("a board from a code, played on") << false << 2 << false << 0 << 1;
    }
    void aGivenBoardIsNeverResumedAsAnOrdinaryGame()
    {
        QFETCH(bool, today);
        QFETCH(int, placed);
        QFETCH(bool, markLast);
        QFETCH(int, askedF3);
        QFETCH(int, askedMoves);
        const DailyBoard daily = MakeDailyBoard(DecodeDate(LocalNow()));
        const std::vector<int> given = today ? daily.cells : std::vector<int>{0, 3, 6, 36, 66, 63};
        const std::vector<int> onward = SolveCompletion(PositionAfter(given, int(given.size()))).completion;
        QVERIFY(int(onward.size()) >= placed);
        QByteArray recordBefore;
        {
            TForm1 form(files_);
            recordBefore = FileBytes("record.dat"); // a fresh table, made at the start
            if (today)
                form.TodaysBoard1Click();
            else
                form.PlayGivenBoard(given, GivenBoardPlay{});
            for (int step = 0; step < placed; ++step)
                QTest::mouseClick(CellButtonAt(form, onward[std::size_t(step)]), Qt::LeftButton);
            if (markLast)
                QTest::mouseClick(CellButtonAt(form, onward[std::size_t(placed - 1)]), Qt::RightButton);
            for (int press = 0; press < askedMoves; ++press)
                form.BtnMosseClick();
            for (int press = 0; press < askedF3; ++press)
                form.Raggiungibile1Click();
            form.Reachability().Cancel();
            form.FlushSaves();
        }
        TForm1 next(files_);
        const int givenCount = int(given.size());
        QCOMPARE(int(next.Game().MoveCount), givenCount + placed);
        QCOMPARE(int(next.Game().GivenCount), givenCount);
        QVERIFY(next.GivenPlay());
        QCOMPARE(next.GivenPlay()->given, givenCount);
        QCOMPARE(next.GivenPlay()->date.has_value(), today);
        if (today) {
            QVERIFY(*next.GivenPlay()->date == daily.date);
            QCOMPARE(next.GivenPlay()->grade, daily.grade);
        }
        QCOMPARE(next.GivenPlay()->reachabilityAsked, askedF3);
        QCOMPARE(next.GivenPlay()->movesShown, askedMoves);
        QCOMPARE(QString::fromStdString(next.Game().MarkedCell.Id()),
                 markLast ? QString::fromStdString(CellIdOf(onward[std::size_t(placed - 1)])) : QString());
        for (int number = 1; number <= givenCount; ++number)
            QVERIFY(CellButtonAt(next, given[std::size_t(number - 1)])->font().italic());
        // No mark goes on a given number.
        QTest::mouseClick(CellButtonAt(next, given[0]), Qt::RightButton);
        QCOMPARE(QString::fromStdString(next.Game().MarkedCell.Id()),
                 markLast ? QString::fromStdString(CellIdOf(onward[std::size_t(placed - 1)])) : QString());
        // Undo takes back the player's numbers and stops at the given ones.
        QString told;
        ModalWatch watch;
        watch.WhenModal<QMessageBox>([&](QMessageBox* box) {
            told = box->text();
            box->close();
        });
        for (int undo = 0; undo <= placed; ++undo)
            next.BtnUndo1Click();
        QCOMPARE(told, QString::fromStdString(GivenNumbersStayMessage));
        QCOMPARE(int(next.Game().MoveCount), givenCount);
        next.FlushSaves();
        QCOMPARE(FileBytes("record.dat"), recordBefore);
    }

    void aBadCodeIsRefusedWithItsMessage()
    {
        TForm1 form(files_);
        QString told;
        ModalWatch watch;
        watch.WhenModal<QInputDialog>([&](QInputDialog* dialog) {
            dialog->setTextValue(QStringLiteral("1ABC!"));
            dialog->accept();
            watch.WhenModal<QMessageBox>([&](QMessageBox* box) {
                told = box->text();
                box->close();
            });
        });
        QVERIFY(!AskForBoardCode(&form));
        QVERIFY2(told.contains(QStringLiteral("\"!\"")), qPrintable(told));
    }

    void theViewerCopiesTheCodeAndPlaysFromTheBoardShown()
    {
        const std::vector<int> cells{0, 3, 6, 36, 66};
        TForm1 form(files_);
        QApplication::clipboard()->clear();
        int shownAtOpening = -1;
        ModalWatch watch;
        watch.WhenModal<GameViewer>([&](GameViewer* viewer) {
            shownAtOpening = viewer->Replay().Position();
            ButtonCaptioned(viewer, QStringLiteral("Copy code"))->PressAndRelease(Qt::LeftButton);
            viewer->StepBack(); // plays from the board shown: four numbers
            ButtonCaptioned(viewer, QStringLiteral("Play from here"))->PressAndRelease(Qt::LeftButton);
        });
        form.OpenCodeInViewer(cells);
        QCOMPARE(shownAtOpening, 5);
        QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(EncodeBoardCode(cells)));
        QCOMPARE(int(form.Game().GivenCount), 4);
        QCOMPARE(CellButtonAt(form, 36)->Caption(), QStringLiteral("4"));
        QVERIFY(CellButtonAt(form, 66)->Caption().isEmpty());
        QVERIFY(form.GivenPlay() && !form.GivenPlay()->date);
        // The player's numbers look like any game's: upright, black, on the numbered colour.
        QTest::mouseClick(CellButtonAt(form, 66), Qt::LeftButton);
        QCOMPARE(CellButtonAt(form, 66)->Caption(), QStringLiteral("5"));
        QVERIFY(!CellButtonAt(form, 66)->font().italic());
        QCOMPARE(CellButtonAt(form, 66)->Color(), CellButtonAt(form, 36)->Color());
        QCOMPARE(CellButtonAt(form, 66)->grab().toImage().pixelColor(3, 3),
                 CellButtonAt(form, 36)->grab().toImage().pixelColor(3, 3));
    }

    // Numbers placed with the mouse after the given ones keep the numbered colour once the
    // pointer has moved on.
    void thePlayersNumbersKeepTheirColourAfterThePointerLeaves()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.PlayGivenBoard({0, 3, 6}, GivenBoardPlay{});
        const QColor numbered = CellButtonAt(form, 6)->Color();
        for (const int cell : {36, 66, 96}) {
            QTest::mouseMove(CellButtonAt(form, cell));
            QTest::mouseClick(CellButtonAt(form, cell), Qt::LeftButton);
        }
        QTest::mouseMove(&form, QPoint(1, 1));
        QApplication::processEvents();
        for (const int cell : {36, 66, 96})
            QCOMPARE(CellButtonAt(form, cell)->Color(), numbered);
    }

    void copyCodeCopiesTheBoardInFront()
    {
        TForm1 form(files_);
        form.TodaysBoard1Click();
        QApplication::clipboard()->clear();
        form.CopyCode1Click();
        QCOMPARE(QApplication::clipboard()->text(),
                 QString::fromStdString(EncodeBoardCode(MakeDailyBoard(DecodeDate(LocalNow())).cells)));
    }
};

QTEST_MAIN(GivenBoardWindowTest)
#include "GivenBoardWindowTest.moc"
