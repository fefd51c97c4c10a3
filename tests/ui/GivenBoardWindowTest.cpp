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

    // Until given boards are kept with what makes them given, a board with given numbers is
    // never taken up at the next start as an ordinary game, whose given numbers could be undone.
    void aGivenBoardIsNeverResumedAsAnOrdinaryGame()
    {
        {
            TForm1 form(files_);
            form.TodaysBoard1Click();
            form.FlushSaves();
        }
        TForm1 next(files_);
        QCOMPARE(int(next.Game().MoveCount), 0);
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
