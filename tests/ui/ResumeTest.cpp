// The game in progress outlives the window: closed with numbers on the board, the next start
// shows the same board and a clock that goes on; a finished game, a new game and another
// copy's game are not resumed.
#include "EndOfGameTestSupport.h"
#include "ModalWatch.h"

#include "gamestore/GameDatabase.h"
#include "gamestore/GameKeeper.h"
#include "ui/ClockText.h"
#include "ui/Unit1.h"
#include "ui/UnitFinePartita.h"
#include "ui/UnitMigliori.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QLabel>
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
        game.MoveHistory[++game.MoveCount] = ShortGame[i];
        game.LastCell = ShortGame[i];
    }
    GameKeeper keeper(GameDatabaseFileName, std::nullopt);
    keeper.Begin(GameState(), std::nullopt);
    keeper.Close(game, 1000);
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
        QTest::newRow("new game") << "new game" << "abandoned";
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
