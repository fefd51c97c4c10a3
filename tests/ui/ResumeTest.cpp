// The game in progress outlives the window: closed with numbers on the board, the next start
// shows the same board and a clock that goes on; a finished game, a new game and another
// copy's game are not resumed.
#include "EndOfGameTestSupport.h"
#include "ModalWatch.h"

#include "gamestore/GameDatabase.h"
#include "gamestore/GameKeeper.h"
#include "ui/ClockText.h"
#include "ui/KeptGamesDialog.h"
#include "ui/Unit1.h"
#include "ui/UnitFinePartita.h"
#include "ui/UnitMigliori.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QLabel>
#include <QTreeWidget>
#include <QLineEdit>
#include <QtTest>

#include <memory>

using namespace tovra;
using namespace endofgame;

namespace {
// Every cell as the player sees it, and the two panels.
QStringList Looks(TForm1& form)
{
    QStringList looks;
    for (int row = 1; row <= 10; ++row) {
        for (int column = 1; column <= 10; ++column) {
            const TFlatSpeedButton* cell = form.CellButton(QString::asprintf("bt%02d%02d", row, column));
            looks << QStringLiteral("%1/%2/%3").arg(cell->Caption(), cell->Color().name()).arg(cell->Bold());
        }
    }
    looks << form.ScorePanel()->text();
    return looks;
}

void Play(TForm1& form, int count)
{
    for (int i = 0; i < count; ++i)
        QTest::mouseClick(form.CellButton(ShortGame[i]), Qt::LeftButton);
}

// The first `count` numbers of the short game, kept in progress as a run killed there leaves them.
void KeepShortGame(int count)
{
    GameState game;
    for (int i = 0; i < count; ++i) {
        game.MoveHistory[++game.MoveCount] = BoardCell::FromId(ShortGame[i]);
        game.LastCell = game.MoveHistory[game.MoveCount];
    }
    GameKeeper keeper(GameDatabaseFileName, std::nullopt);
    keeper.Begin(GameState(), std::nullopt);
    keeper.Close(game, 1000);
}

// The numbers column of the list of kept games, row by row.
QStringList Offered(KeptGamesDialog* dialog)
{
    QStringList numbers;
    QTreeWidget* list = dialog->GameList();
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        numbers << list->topLevelItem(row)->text(0);
    return numbers;
}

// Opens "Continue a kept game", notes what it offers, and continues the game of `row` (-1:
// cancels).
QStringList ContinueKept(TForm1& form, int row)
{
    QStringList offered;
    bool answered = false;
    ModalWatch watch;
    watch.WhenModal<KeptGamesDialog>([&](KeptGamesDialog* dialog) {
        offered = Offered(dialog);
        answered = true;
        if (row < 0 || row >= dialog->GameList()->topLevelItemCount()) {
            dialog->reject(); // the offered games tell what went wrong
            return;
        }
        dialog->GameList()->setCurrentItem(dialog->GameList()->topLevelItem(row));
        QTest::mouseClick(dialog->findChild<TFlatSpeedButton*>("BtnContinue"), Qt::LeftButton);
    });
    form.ContinueKept1Click();
    if (!QTest::qWaitFor([&] { return answered; }, 20000))
        qWarning("the list of kept games never came");
    return offered;
}

// Every row as "state:score", by id.
std::string ScoresInDatabase()
{
    Connection db(GameDatabaseFileName, OpenFor::Reading);
    Statement query(db, "SELECT group_concat(state || ':' || score, ' ') FROM (SELECT * FROM games ORDER BY id)");
    return query.Step() ? query.Text(0) : std::string();
}

std::string StatesInDatabase()
{
    auto database = OpenGameDatabase().database;
    Statement query(database->Sql(), "SELECT group_concat(state || ifnull(':' || name, '')) FROM (SELECT * FROM games ORDER BY id)");
    return query.Step() ? query.Text(0) : std::string();
}
} // namespace

class ResumeTest : public QObject {
    Q_OBJECT

    // The file layer the windows of these tests read and write record.dat through.
    tovra::PosixFileSystem files_;

    RecordFolder folder;

private slots:
    void init() { folder.Enter(); }
    void cleanup() { folder.Leave(); }

    void closedWithNumbersTheSameBoardComesBackWithItsClock()
    {
        QFETCH(int, numbers);
        QFETCH(int, marked);
        QFETCH(int, undone);
        QStringList before;
        {
            auto now = std::chrono::steady_clock::now();
            TForm1 form(files_);
            form.SetMonotonicClock([&] { return now; });
            Play(form, numbers);
            if (marked > 0)
                QTest::mouseClick(form.CellButton(ShortGame[marked - 1]), Qt::RightButton);
            for (int i = 0; i < undone; ++i)
                form.BtnUndo1Click();
            now += std::chrono::seconds(83); // looked at the board for a while, then closed it
            before = Looks(form);
            form.close();
        }
        TForm1 again(files_);
        QCOMPARE(Looks(again), before);
        QCOMPARE(int(again.Game().MoveCount), numbers - undone);
        QVERIFY(again.Clock().isActive());
        QCOMPARE(again.TimePanel()->text(), QStringLiteral(" Time: ") + ClockText(83.0 / 86400));
        // The clock goes on from there: one more second is 0.01.24.
        auto later = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        again.SetMonotonicClock([&] { return later; });
        again.TimerTempoTimer();
        QCOMPARE(again.TimePanel()->text(), QStringLiteral(" Time: ") + ClockText(84.0 / 86400));
    }
    void closedWithNumbersTheSameBoardComesBackWithItsClock_data()
    {
        QTest::addColumn<int>("numbers");
        QTest::addColumn<int>("marked");
        QTest::addColumn<int>("undone");
        QTest::newRow("one number") << 1 << 0 << 0;
        QTest::newRow("marked in the middle") << 8 << 3 << 0;
        QTest::newRow("marked, then numbers taken back") << 9 << 4 << 2;
    }

    void undoingToTheMarkKeepsEachStep()
    {
        QStringList before;
        {
            TForm1 form(files_);
            Play(form, 9);
            QTest::mouseClick(form.CellButton(ShortGame[2]), Qt::RightButton);
            form.BtnUndoMarcatoClick(); // six steps, each saved
            QCOMPARE(int(form.Game().MoveCount), 3);
            before = Looks(form);
        }
        TForm1 again(files_);
        QCOMPARE(Looks(again), before);
    }

    void nothingIsResumedAfterTheEndANewGameOrWithoutANumber()
    {
        QFETCH(QString, how);
        {
            TForm1 form(files_);
            Play(form, 5);
            if (how == "new game") {
                form.Nuovapartita1Click();
            } else if (how == "all taken back") {
                for (int i = 0; i < 5; ++i)
                    form.BtnUndo1Click();
            } else {
                for (int i = 5; i < 11; ++i)
                    QTest::mouseClick(form.CellButton(ShortGame[i]), Qt::LeftButton);
                ModalWatch watch;
                watch.WhenModal<TFormFinePartita>([&](TFormFinePartita* dialog) {
                    QTest::keyClicks(dialog->findChild<QLineEdit*>("EditNome"), "Ada");
                    watch.WhenModal<TFormMigliori>([](TFormMigliori* best) { best->close(); });
                    QTest::mouseClick(dialog->findChild<TFlatSpeedButton*>("BtnOk"), Qt::LeftButton);
                });
                QTest::mouseClick(form.CellButton("bt0101"), Qt::LeftButton); // the last possible number
            }
            form.close();
        }
        TForm1 again(files_);
        QCOMPARE(int(again.Game().MoveCount), 0);
        QCOMPARE(again.ScorePanel()->text(), QString());
        QVERIFY(!again.Clock().isActive());
        QTEST(QString::fromStdString(StatesInDatabase()), "rows");
    }
    void nothingIsResumedAfterTheEndANewGameOrWithoutANumber_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("rows");
        QTest::newRow("finished") << "finished" << "finished:Ada";
        QTest::newRow("new game") << "new game" << "playing"; // kept, to be chosen from the list
        QTest::newRow("all taken back") << "all taken back" << "";
    }

    // A game whose board ended but whose end-of-game windows were killed comes back with them at
    // the next start; one killed after its name went into record.dat is finished with that
    // name, without a second entry.
    void anEndedGameKilledInItsWindowsIsFinishedOnceAtTheNextStart()
    {
        KeepShortGame(12);
        {
            TForm1 form(files_);
            bool answered = false;
            ModalWatch watch;
            watch.WhenModal<TFormFinePartita>([&](TFormFinePartita* dialog) {
                QTest::keyClicks(dialog->findChild<QLineEdit*>("EditNome"), "Ada");
                watch.WhenModal<TFormMigliori>([&](TFormMigliori* best) {
                    answered = true;
                    best->close();
                });
                QTest::mouseClick(dialog->findChild<TFlatSpeedButton*>("BtnOk"), Qt::LeftButton);
            });
            QTRY_VERIFY_WITH_TIMEOUT(answered, 20000);
            QTRY_COMPARE(int(form.Game().MoveCount), 0);
            form.close();
        }
        QCOMPARE(QString::fromStdString(StatesInDatabase()), QStringLiteral("finished:Ada"));
        {
            Connection db(GameDatabaseFileName, OpenFor::Writing);
            db.Execute("UPDATE games SET state = 'playing', name = NULL, outcome = NULL, ended_at = NULL, "
                       "end_order = NULL, owner = NULL");
        }
        {
            TForm1 form(files_);
            QTRY_COMPARE(int(form.Game().MoveCount), 0);
            QVERIFY(!QApplication::activeModalWidget());
            form.close();
        }
        QCOMPARE(QString::fromStdString(StatesInDatabase()), QStringLiteral("finished:Ada"));
        QCOMPARE(ReadRecordFile().count("Ada"), 1);
    }

    // Games kept by earlier runs or left by F2 are offered newest first; the chosen one comes
    // to the board, the board's game is offered in its place, and the next start resumes the
    // game that was on the board at the end.
    void aChosenKeptGameComesToTheBoardAndTheBoardsGameIsKept()
    {
        QFETCH(QList<int>, keptByEarlierRuns);
        QFETCH(int, leftByF2);
        QFETCH(int, playedAfterF2);
        for (const int count : keptByEarlierRuns)
            KeepShortGame(count);
        {
            TForm1 form(files_);
            if (leftByF2 > 0) {
                Play(form, leftByF2);
                form.Nuovapartita1Click(); // F2
                QCOMPARE(int(form.Game().MoveCount), 0);
                Play(form, playedAfterF2);
            }
            QFETCH(int, chosenRow);
            QTEST(ContinueKept(form, chosenRow), "offered");
            QFETCH(int, shown);
            QTRY_COMPARE(int(form.Game().MoveCount), shown);
            QCOMPARE(form.CellButton(ShortGame[shown - 1])->Caption(), QString::number(shown));
            QCOMPARE(form.ScorePanel()->text(), QStringLiteral(" Score: %1").arg(shown));
            QTEST(ContinueKept(form, -1), "offeredAfter");
            form.close();
        }
        QFETCH(int, shown);
        TForm1 again(files_);
        QCOMPARE(int(again.Game().MoveCount), shown);
    }
    void aChosenKeptGameComesToTheBoardAndTheBoardsGameIsKept_data()
    {
        QTest::addColumn<QList<int>>("keptByEarlierRuns");
        QTest::addColumn<int>("leftByF2");
        QTest::addColumn<int>("playedAfterF2");
        QTest::addColumn<int>("chosenRow");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QStringList>("offeredAfter");
        // The start resumes the newest, 7; the list offers the other two.
        QTest::newRow("kept by earlier runs") << QList<int>{3, 5, 7} << 0 << 0 << 1 << QStringList{"5", "3"} << 3
                                              << QStringList{"7", "5"};
        QTest::newRow("left by F2") << QList<int>{} << 6 << 2 << 0 << QStringList{"6"} << 6 << QStringList{"2"};
    }

    // While the end-of-game window is open the game is still in progress in games.db, all of
    // it, so a kill there brings it back at the next start with its windows; it is finished,
    // with its name, once they close.
    void anEndedGameStaysInProgressWhileItsWindowsAreOpen()
    {
        std::string whileOpen;
        {
            TForm1 form(files_);
            Play(form, 11);
            bool answered = false;
            ModalWatch watch;
            watch.WhenModal<TFormFinePartita>([&](TFormFinePartita* dialog) {
                [[maybe_unused]] const bool settled = QTest::qWaitFor([] { return ScoresInDatabase() == "playing:12"; }, 5000);
                whileOpen = ScoresInDatabase();
                QTest::keyClicks(dialog->findChild<QLineEdit*>("EditNome"), "Ada");
                watch.WhenModal<TFormMigliori>([&](TFormMigliori* best) {
                    answered = true;
                    best->close();
                });
                QTest::mouseClick(dialog->findChild<TFlatSpeedButton*>("BtnOk"), Qt::LeftButton);
            });
            QTest::mouseClick(form.CellButton("bt0101"), Qt::LeftButton); // the last possible number
            QTRY_VERIFY_WITH_TIMEOUT(answered, 20000);
            form.close();
        }
        QCOMPARE(whileOpen, std::string("playing:12"));
        QCOMPARE(QString::fromStdString(StatesInDatabase()), QStringLiteral("finished:Ada"));
    }

    void aSecondCopyStartsEmptyAndLeavesTheFirstOnesGame()
    {
        auto first = std::make_unique<TForm1>(files_);
        Play(*first, 6);
        first->FlushSaves();
        const QStringList played = Looks(*first);
        {
            TForm1 second(files_);
            QCOMPARE(int(second.Game().MoveCount), 0);
            second.close();
        }
        first->close();
        first.reset();
        TForm1 third(files_);
        QCOMPARE(Looks(third), played);
    }
};

QTEST_MAIN(ResumeTest)
#include "ResumeTest.moc"
