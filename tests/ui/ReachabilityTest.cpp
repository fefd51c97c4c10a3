// "Can 100 still be reached?" in the real window: the four answers to F3, the ring on the
// suggested cell, "Undo to N", and questions dropped when the board changes meanwhile.
#include "core/Colors.h"
#include "core/Solver.h"
#include "ModalWatch.h"
#include "ui/ApplicationTitle.h"
#include "ui/GameViewer.h"
#include "ui/ReachabilityCheck.h"
#include "ui/Unit1.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

using namespace tovra;

namespace {
// The three targets of the corner bt0101 are numbered at number 5, with bt0101 still free:
// from then on no path can cover the board.
const QStringList CornerCutOff = {"bt0104", "bt0306", "bt0303", "bt0603", "bt0401"};

// Answers the message boxes as they come: records each one's title and text, then clicks
// the button with the next caption of `clicks` (the default or only button when the list
// runs out).
// The box numbered `leaveOpen` (from 0) is left for the program to close, after `whileOpen`
// has run: a test waiting for it would wait inside the box's own event loop. Polling stops
// when the answerer goes.
struct BoxAnswerer {
    QStringList clicks;
    QStringList titles;
    QStringList texts;
    QList<QRect> places; // each box's frame on the screen
    int leaveOpen = -1;
    std::function<void()> whileOpen;
    QPointer<QMessageBox> seen;
    QObject polls; // the polls' receiver: destroying it cancels them

    void arm()
    {
        QTimer::singleShot(10, &polls, [this] { answer(); });
    }
    void answer()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box == seen) {
            arm();
            return;
        }
        seen = box;
        titles << box->windowTitle();
        texts << box->text();
        places << box->frameGeometry();
        if (texts.size() - 1 == leaveOpen) {
            if (whileOpen)
                whileOpen();
            arm();
            return;
        }
        QAbstractButton* button = box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
        if (!clicks.isEmpty()) {
            const QString caption = clicks.takeFirst();
            for (QAbstractButton* candidate : box->buttons())
                if (candidate->text() == caption)
                    button = candidate;
        }
        button->click();
        arm();
    }
};

// A solver that thinks until it is stopped, or until `release` lets it answer.
struct SlowSolver {
    std::shared_ptr<std::atomic<bool>> stopped = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> release = std::make_shared<std::atomic<bool>>(false);

    ReachabilityCheck::Solve solve() const
    {
        return [stopped = stopped, release = release](const std::vector<int>&, std::stop_token stop) {
            while (!stop.stop_requested() && !release->load())
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            stopped->store(stop.stop_requested());
            return release->load() ? ReachabilityAnswer{ReachabilityAnswer::Kind::Reached} : ReachabilityAnswer{};
        };
    }
};

SolverPosition PositionOf(const TForm1& form)
{
    const std::vector<int> cells = GameCells(const_cast<TForm1&>(form).Game());
    return PositionAfter(cells, static_cast<int>(cells.size()));
}
} // namespace

class ReachabilityTest : public QObject {
    Q_OBJECT

    // The file layer the windows of these tests read and write record.dat through.
    tovra::PosixFileSystem files_;

    QTemporaryDir dir;
    QString previousDir;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<BoxAnswerer> answerer;
    BoxAnswerer& boxes() { return *answerer; }

    void play(const QStringList& ids)
    {
        for (const QString& id : ids)
            QTest::mouseClick(form->CellButton(id), Qt::LeftButton);
        QCOMPARE(int(form->Game().MoveCount), int(ids.size()));
    }
    void pressF3()
    {
        QTest::keyClick(form.get(), Qt::Key_F3);
    }

private slots:
    void init()
    {
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        for (const char* kept : {"games.db", "games.db-wal", "games.db-shm"}) // the game in progress of an earlier test
            QFile::remove(QString::fromLatin1(kept));
        form = std::make_unique<TForm1>(files_);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        answerer = std::make_unique<BoxAnswerer>();
        answerer->arm();
    }
    void cleanup()
    {
        form.reset();
        answerer.reset();
        QDir::setCurrent(previousDir);
    }

    void f3AnswersEachKindOfPosition_data()
    {
        QTest::addColumn<QStringList>("moves");
        QTest::addColumn<bool>("slowSolver");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty board, every first cell tried") << QStringList() << false
                                                           << "^100 can be reached from any first cell\\.$";
        QTest::newRow("two numbers") << QStringList{"bt0505", "bt0805"} << false
                                     << "^100 can still be reached\\.\\nNext: row \\d+, column \\d+$";
        QTest::newRow("a corner cut off at number 5")
            << CornerCutOff << false << "^100 can no longer be reached\\. It could until number 4\\.$";
        QTest::newRow("still thinking after the patience")
            << QStringList{"bt0505"} << true << "^No answer yet\\.$";
    }
    void f3AnswersEachKindOfPosition()
    {
        QFETCH(QStringList, moves);
        QFETCH(bool, slowSolver);
        QFETCH(QString, expected);
        SlowSolver slow;
        if (slowSolver) {
            form->Reachability().SetSolver(slow.solve());
            form->Reachability().SetPatience(50);
            boxes().clicks = {"Close"};
        }
        play(moves);
        pressF3();
        QTRY_COMPARE_WITH_TIMEOUT(int(boxes().texts.size()), 1, 20000);
        QVERIFY2(QRegularExpression(expected).match(boxes().texts[0]).hasMatch(), qPrintable(boxes().texts[0]));
        QCOMPARE(boxes().titles[0], ReachabilityQuestion());
        // The board it talks about stays in sight, and the box stays on the screen.
        QVERIFY(!boxes().places[0].intersects(form->frameGeometry()));
        QVERIFY(form->screen()->availableGeometry().contains(boxes().places[0]));
        QVERIFY(form->Clock().isActive() || moves.isEmpty());
        if (slowSolver)
            QTRY_VERIFY(slow.stopped->load()); // "Close" stops the thinking
        QTRY_VERIFY(!form->Reachability().Thinking());
    }

    void showAWayReplaysTheGameThenACompletionAndLeavesTheGameAsItWas()
    {
        play({"bt0505", "bt0805"});
        boxes().clicks = {"Show a way"};
        int played = -1;
        int length = -1;
        ModalWatch watch;
        watch.WhenModal<GameViewer>([&](GameViewer* viewer) {
            // The way may have been found before this look at the window.
            if (QTest::qWaitFor([viewer] { return viewer->Replay().Length() > 2; }, 20000)) {
                played = viewer->Replay().Played();
                length = viewer->Replay().Length();
            }
            viewer->close();
        });
        pressF3();
        QTRY_COMPARE_WITH_TIMEOUT(length, 100, 30000);
        QCOMPARE(played, 2);
        QCOMPARE(int(form->Game().MoveCount), 2);
        QCOMPARE(form->CellButton("bt0805")->Caption(), QString("2"));
    }

    void suggestedCellIsRingedUntilTheNextActionAndKeepsTheGoalReachable()
    {
        play({"bt0505", "bt0805", "bt0802"});
        pressF3();
        QTRY_COMPARE(int(boxes().texts.size()), 1);
        const QRegularExpressionMatch next =
            QRegularExpression("row (\\d+), column (\\d+)").match(boxes().texts[0]);
        QVERIFY(next.hasMatch());
        const QString id = QString("bt%1%2").arg(next.captured(1).toInt(), 2, 10, QChar('0'))
                               .arg(next.captured(2).toInt(), 2, 10, QChar('0'));
        TFlatSpeedButton* cell = form->CellButton(id);
        QCOMPARE(form->Reachability().SuggestedCell(), cell);
        QVERIFY(cell->Suggested());
        // A ring over an unchanged face: the rule colour still fills the middle.
        const QImage image = cell->grab().toImage();
        QCOMPARE(QColor(image.pixel(1, 9)), SuggestionRingColor());
        QCOMPARE(QColor(image.pixel(9, 9)), cell->Color());

        QTest::mouseClick(cell, Qt::LeftButton);
        QCOMPARE(cell->Caption(), QString("4")); // a legal next number
        QVERIFY(!cell->Suggested());
        QCOMPARE(form->Reachability().SuggestedCell(), nullptr);
        QCOMPARE(SolveCompletion(PositionOf(*form)).answer, Reachability::Reachable);
    }

    void undoToNTakesNumbersBackAsUndo1AndLeavesAReachablePosition()
    {
        play(CornerCutOff);
        QTest::mouseClick(form->CellButton("bt0401"), Qt::RightButton); // marks number 5
        QTest::mouseClick(form->findChild<TFlatSpeedButton*>("BtnMosse"), Qt::LeftButton);
        boxes().clicks = {"Undo to 4"};
        pressF3();
        QTRY_COMPARE(form->Game().MoveCount, std::uint8_t(4));
        QCOMPARE(form->CellButton("bt0401")->Caption(), QString());
        QCOMPARE(form->CellButton("bt0401")->Color(), QColor(RedOf(FreeColor), GreenOf(FreeColor), BlueOf(FreeColor)));
        QVERIFY(form->Game().MarkedCell.Id().empty()); // the mark went with its number
        QVERIFY(form->CellButton("bt0603")->Bold());
        const QColor reset(RedOf(ResetColor), GreenOf(ResetColor), BlueOf(ResetColor));
        QCOMPARE(form->CellButton("bt0101")->Color(), reset); // the hints were cleared as by Undo 1
        QCOMPARE(SolveCompletion(PositionOf(*form)).answer, Reachability::Reachable);
    }

    void aChangedBoardDropsTheQuestion_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("a placement") << "bt0805";
        QTest::newRow("Undo 1") << "BtnUndo1";
        QTest::newRow("new game") << "F2";
        QTest::newRow("closing the window") << "Esc";
    }
    void aChangedBoardDropsTheQuestion()
    {
        QFETCH(QString, action);
        SlowSolver slow;
        form->Reachability().SetSolver(slow.solve());
        QSignalSpy handled(&form->Reachability(), &ReachabilityCheck::AnswerHandled);
        play({"bt0505"});
        pressF3();
        QVERIFY(form->Reachability().Thinking());
        if (action == "F2")
            QTest::keyClick(form.get(), Qt::Key_F2);
        else if (action == "Esc")
            QTest::keyClick(form.get(), Qt::Key_Escape);
        else if (auto* cell = form->CellButton(action))
            QTest::mouseClick(cell, Qt::LeftButton);
        else
            QTest::mouseClick(form->findChild<TFlatSpeedButton*>(action), Qt::LeftButton);
        QVERIFY(!form->Reachability().Thinking());
        QTRY_VERIFY(slow.stopped->load());
        QTRY_COMPARE(handled.count(), 1); // the stopped worker's answer came back...
        QCOMPARE(boxes().texts, QStringList()); // ...and was dropped
    }

    void aMarkKeepsTheQuestionAndItsAnswerFollowsKeepTrying()
    {
        SlowSolver slow;
        form->Reachability().SetSolver(slow.solve());
        form->Reachability().SetPatience(50);
        play({"bt0505"});
        boxes().clicks = {"Keep trying"};
        boxes().leaveOpen = 1; // "No answer yet." again: the answer arrives while it is open
        boxes().whileOpen = [release = slow.release] { release->store(true); };
        pressF3();
        QTest::mouseClick(form->CellButton("bt0505"), Qt::RightButton); // the same position
        QTRY_COMPARE(int(boxes().texts.size()), 3);
        QCOMPARE(boxes().texts, QStringList({"No answer yet.", "No answer yet.", "100 has been reached."}));
        QVERIFY(!slow.stopped->load());
    }
};

QTEST_MAIN(ReachabilityTest)
#include "ReachabilityTest.moc"
