// A whole game through the real windows: mouse clicks on the cells, the end-of-game dialog
// answered, the Best 20 window closed, then record.dat checked byte by byte.
#include "EndOfGameTestSupport.h"
#include "ModalWatch.h"

#include "core/Colors.h"
#include "core/DateTime.h"
#include "records/RecordFile.h"
#include "ui/Unit1.h"
#include "ui/UnitFinePartita.h"
#include "ui/UnitMigliori.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <bit>

using namespace tovra;
using namespace endofgame;

namespace {
QByteArray FreshRecordBytes()
{
    QByteArray record(144, '\0');
    record[0] = 5;
    for (int i = 1; i <= 5; ++i)
        record[i] = '-';
    return record;
}
} // namespace

class EndOfGameTest : public QObject {
    Q_OBJECT

    // The file layer the windows of these tests read and write record.dat through.
    tovra::PosixFileSystem files_;

    RecordFolder folder;

    static void play(TForm1& form, int count = 12)
    {
        for (int i = 0; i < count; ++i)
            QTest::mouseClick(form.CellButton(ShortGame[i]), Qt::LeftButton);
    }

private slots:
    void init() { folder.Enter(); }
    void cleanup() { folder.Leave(); }

    void aRankedGameIsStoredByteForByteAndTheBoardResets()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        play(form, 11);
        QVERIFY(form.Clock().isActive());

        QStringList seen;
        QString bestRowName;
        QString bestRowScore;
        ModalWatch watch;
        watch.WhenModal<TFormFinePartita>([&](TFormFinePartita* dialog) {
            seen << "dialog";
            auto* name = dialog->findChild<QLineEdit*>("EditNome");
            QTest::keyClicks(name, "Zo");
            name->insert(QString::fromUtf8("ë")); // typed keys are ASCII only in the test harness
            watch.WhenModal<TFormMigliori>([&](TFormMigliori* best) {
                seen << "best20";
                auto* grid = best->findChild<QTableWidget*>("SgMigliori");
                bestRowName = grid->item(0, 0)->text();
                bestRowScore = grid->item(0, 1)->text();
                QTest::mouseClick(best->findChild<TFlatSpeedButton*>("BtnEsci"), Qt::LeftButton);
            });
            QTest::mouseClick(dialog->findChild<TFlatSpeedButton*>("BtnOk"), Qt::LeftButton);
        });
        const DateTime today = EncodeDate(QDate::currentDate().year(), QDate::currentDate().month(),
                                          QDate::currentDate().day());
        QTest::mouseClick(form.CellButton("bt0101"), Qt::LeftButton); // the last possible number

        QCOMPARE(seen, (QStringList{"dialog", "best20"}));
        QCOMPARE(bestRowName, QString::fromUtf8("Zoë"));
        QCOMPARE(bestRowScore, QString("12"));

        // Built here field by field, independently of the record code.
        QByteArray expected;
        QByteArray first(144, '\0');
        first[0] = 3;
        first[1] = 'Z';
        first[2] = 'o';
        first[3] = char(0xEB); // ë in the single-byte Western code page
        first[4] = first[5] = '-'; // past the name's length the slot keeps its fresh-record bytes
        first[31] = 12;
        const quint64 bits = std::bit_cast<quint64>(today);
        for (int i = 0; i < 8; ++i)
            first[32 + i] = char((bits >> (8 * i)) & 0xFF);
        for (int number = 1; number <= 12; ++number) {
            const QString id = ShortGame[number - 1];
            const int row = id.mid(2, 2).toInt();
            const int column = id.mid(4, 2).toInt();
            first[40 + 10 * (row - 1) + (column - 1)] = char(number);
        }
        expected += first;
        for (int i = 2; i <= 20; ++i)
            expected += FreshRecordBytes();
        QCOMPARE(ReadRecordFile().toHex(), expected.toHex());

        // A new game: every cell free in the reset colour, panels blank, clock stopped.
        for (TFlatSpeedButton* cell : form.findChildren<TFlatSpeedButton*>(QRegularExpression("^bt\\d{4}$"))) {
            QVERIFY(cell->Caption().isEmpty());
            QCOMPARE(cell->Color(), QColor(RedOf(ResetColor), GreenOf(ResetColor), BlueOf(ResetColor)));
        }
        QCOMPARE(form.ScorePanel()->text(), QString());
        QCOMPARE(form.TimePanel()->text(), QString());
        QVERIFY(!form.Clock().isActive());
        QCOMPARE(form.Game().MoveCount, std::uint8_t(0));
    }

    void aGameThatDoesNotRankStillPassesBothWindowsAndLeavesTheFile()
    {
        {
            // 20 stored games of score 50.
            QByteArray table;
            for (int i = 0; i < 20; ++i) {
                QByteArray record(144, '\0');
                record[31] = 50;
                const quint64 bits = std::bit_cast<quint64>(45000.0);
                for (int b = 0; b < 8; ++b)
                    record[32 + b] = char((bits >> (8 * b)) & 0xFF);
                table += record;
            }
            QFile file("record.dat");
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(table);
        }
        const QByteArray before = ReadRecordFile();
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        play(form, 11);
        bool nameRowHidden = false;
        bool bestShown = false;
        ModalWatch watch;
        watch.WhenModal<TFormFinePartita>([&](TFormFinePartita* dialog) {
            nameRowHidden = !dialog->findChild<QLineEdit*>("EditNome")->isVisible();
            watch.WhenModal<TFormMigliori>([&](TFormMigliori* best) {
                bestShown = true;
                QTest::keyClick(best, Qt::Key_Escape);
            });
            QTest::mouseClick(dialog->findChild<TFlatSpeedButton*>("BtnOk"), Qt::LeftButton);
        });
        QTest::mouseClick(form.CellButton("bt0101"), Qt::LeftButton);
        QVERIFY(nameRowHidden);
        QVERIFY(bestShown);
        QCOMPARE(ReadRecordFile(), before);
        QCOMPARE(form.Game().MoveCount, std::uint8_t(0));
    }

    void closingTheDialogByItsCloseBoxStoresNothing()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        play(form, 11);
        bool dialogShown = false;
        ModalWatch watch;
        watch.WhenModal<TFormFinePartita>([&](TFormFinePartita* dialog) {
            dialogShown = true;
            watch.WhenModal<TFormMigliori>([](TFormMigliori* best) { best->close(); });
            dialog->close();
        });
        QTest::mouseClick(form.CellButton("bt0101"), Qt::LeftButton);
        QVERIFY(dialogShown);
        QCOMPARE(ReadRecordFile().left(144), FreshRecordBytes());
        QCOMPARE(form.Game().MoveCount, std::uint8_t(0));
    }

    void aRightClickOnAFinishedBoardMarksThenEndsTheGame()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Numbers placed without any mouse release, so no end-of-game test has run yet.
        for (const char* id : ShortGame)
            form.btClick(form.CellButton(id));
        QColor colourDuringDialog;
        ModalWatch watch;
        watch.WhenModal<TFormFinePartita>([&](TFormFinePartita* dialog) {
            colourDuringDialog = form.CellButton("bt0505")->Color();
            watch.WhenModal<TFormMigliori>([](TFormMigliori* best) { best->close(); });
            dialog->close();
        });
        QTest::mouseClick(form.CellButton("bt0505"), Qt::RightButton);
        QCOMPARE(colourDuringDialog, QColor(RedOf(MarkColor), GreenOf(MarkColor), BlueOf(MarkColor)));
        QCOMPARE(form.Game().MoveCount, std::uint8_t(0));
    }

    void bestTwentyFromTheMenuLeavesTheGameAndClockAlone()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        play(form, 3);
        bool shown = false;
        ModalWatch watch;
        watch.WhenModal<TFormMigliori>([&](TFormMigliori* best) {
            shown = true;
            best->close();
        });
        form.Migliori201Click();
        QVERIFY(shown);
        QVERIFY(form.Clock().isActive());
        QCOMPARE(form.Game().MoveCount, std::uint8_t(3));
        QCOMPARE(form.CellButton("bt0108")->Caption(), QString("3"));
    }

    void gamesSavedByAnotherCopyAreShownAndKept()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Another copy of the game in the same folder saves a game of 50.
        BestTable theirs = FreshTable();
        InsertGame(theirs, 1, "Other", 50, EncodeDate(2024, 5, 6), {});
        QCOMPARE(SaveBestTable(theirs, "record.dat", files_), SaveOutcome::Saved);

        QStringList firstNames;
        const auto readNames = [&firstNames](TFormMigliori* best) {
            auto* grid = best->findChild<QTableWidget*>("SgMigliori");
            firstNames << grid->item(0, 0)->text() + " " + grid->item(1, 0)->text();
            best->close();
        };
        ModalWatch watch;
        watch.WhenModal<TFormMigliori>(readNames);
        form.Migliori201Click();

        play(form, 11);
        watch.WhenModal<TFormFinePartita>([&](TFormFinePartita* dialog) {
            QTest::keyClicks(dialog->findChild<QLineEdit*>("EditNome"), "Me");
            watch.WhenModal<TFormMigliori>(readNames);
            QTest::mouseClick(dialog->findChild<TFlatSpeedButton*>("BtnOk"), Qt::LeftButton);
        });
        QTest::mouseClick(form.CellButton("bt0101"), Qt::LeftButton);

        QCOMPARE(firstNames, (QStringList{"Other -----", "Other Me"}));
        const QByteArray saved = ReadRecordFile();
        QCOMPARE(saved.mid(0, 6), QByteArray("\x05Other"));
        QCOMPARE(saved.mid(144, 3), QByteArray("\x02Me"));
    }
};

QTEST_MAIN(EndOfGameTest)
#include "EndOfGameTest.moc"
