// The main window's wiring: start-up, real mouse input on the cells, keys, clock and help.
#include "ModalWatch.h"

#include "core/CellId.h"
#include "core/Colors.h"
#include "ui/ApplicationTitle.h"
#include "ui/ClockText.h"
#include "ui/FirstFrameWatch.h"
#include "ui/HelpWindow.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <chrono>

using namespace tovra;

namespace {
QColor Q(Color c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    // The file layer the windows of these tests read and write record.dat through.
    tovra::PosixFileSystem files_;

private:
    QTemporaryDir dir;
    QString previousDir;

    static void click(TForm1& form, const char* id, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(form.CellButton(QString::fromLatin1(id)), button);
    }
    static QByteArray recordBytes() { QFile f("record.dat"); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }

private slots:
    // The program's own start-up steps, which also tell assistive technology about the buttons.
    void initTestCase() { PrepareApplication(); }
    void init()
    {
        QVERIFY(dir.isValid());
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QFile::remove("record.dat");
        for (const char* kept : {"games.db", "games.db-wal", "games.db-shm"}) // the game in progress of an earlier test
            QFile::remove(QString::fromLatin1(kept));
    }
    void cleanup() { QDir::setCurrent(previousDir); }

    void startsWithAFreshTableAndABlankBoard()
    {
        TForm1 form(files_);
        QCOMPARE(recordBytes().size(), 2880);
        QCOMPARE(recordBytes().left(6), QByteArray("\x05-----"));
        QCOMPARE(form.ScorePanel()->text(), QString());
        QCOMPARE(form.TimePanel()->text(), QString());
        QVERIFY(!form.Clock().isActive());
        int free = 0;
        for (TFlatSpeedButton* cell : form.findChildren<TFlatSpeedButton*>())
            free += cell->Color() == Q(FreeColor) && cell->Caption().isEmpty();
        QCOMPARE(free, 100);
    }

    // The window icon is compiled in from bitmaps: each size holds the installed PNG's pixels.
    void windowIconHasTheInstalledPixels_data()
    {
        QTest::addColumn<int>("size");
        for (const int size : {16, 32, 48, 64, 128})
            QTest::addRow("%d px", size) << size;
    }
    void windowIconHasTheInstalledPixels()
    {
        QFETCH(int, size);
        const QIcon icon = QApplication::windowIcon();
        QCOMPARE(icon.availableSizes().size(), 5);
        const QImage installed(QStringLiteral(TOVRA_ICON_DIR "/%1x%1/apps/tovratovratovra.png").arg(size));
        QVERIFY(!installed.isNull());
        const QImage shown = icon.pixmap(QSize(size, size)).toImage();
        QCOMPARE(shown.size(), QSize(size, size));
        QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 installed.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    void cellsSitOnTheirGrid_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("top left") << 1 << 1;
        QTest::newRow("row 3 column 10") << 3 << 10;
        QTest::newRow("bottom right") << 10 << 10;
    }
    void cellsSitOnTheirGrid()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        TForm1 form(files_);
        const auto* cell = form.CellButton(QString::fromStdString(MakeCellId(row, column)));
        QVERIFY(cell);
        QCOMPARE(cell->geometry(), QRect(21 + 20 * (column - 1), 21 + 20 * (row - 1), 19, 19));
        QCOMPARE(form.centralWidget()->size(), QSize(241, 294));
    }

    void mouseClicksPlaceNumbersAndMark()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        click(form, "bt0505");
        QCOMPARE(form.CellButton("bt0505")->Caption(), QString("1"));
        QCOMPARE(form.ScorePanel()->text(), QString(" Score: 1"));
        QCOMPARE(form.TimePanel()->text(), QString(" Time: 0.00.00"));
        QVERIFY(form.Clock().isActive());
        click(form, "bt0506"); // not a legal step
        click(form, "bt0805");
        QCOMPARE(form.CellButton("bt0506")->Caption(), QString());
        QCOMPARE(form.CellButton("bt0805")->Caption(), QString("2"));
        QVERIFY(form.CellButton("bt0805")->Bold());
        QVERIFY(!form.CellButton("bt0505")->Bold());
        QCOMPARE(form.ScorePanel()->text(), QString(" Score: 2"));
        click(form, "bt0505", Qt::RightButton);
        QCOMPARE(form.CellButton("bt0505")->Color(), Q(MarkColor));
        QCOMPARE(QString::fromStdString(form.Game().MarkedCell.Id()), QString("bt0505"));
        // What a screen reader hears is the panel's own text.
        QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(form.ScorePanel());
        QVERIFY(panel);
        QCOMPARE(panel->text(QAccessible::Name), QString(" Score: 2"));
    }

    void screenReadersHearPositionsNumbersAndCaptions()
    {
        TForm1 form(files_);
        form.show();
        click(form, "bt0505");
        struct Expect { const char* object; QString name; };
        for (const Expect& e : {Expect{"bt0505", "row 5, column 5: 1"}, Expect{"bt0310", "row 3, column 10: empty"},
                                Expect{"BtnMosse", "Moves"}, Expect{"BtnUndoMarcato", "Undo->marked"}}) {
            QAccessibleInterface* button =
                QAccessible::queryAccessibleInterface(form.findChild<TFlatSpeedButton*>(e.object));
            QVERIFY(button);
            QCOMPARE(button->role(), QAccessible::Button);
            QCOMPARE(button->text(QAccessible::Name), e.name);
        }
        QTest::mouseClick(form.findChild<TFlatSpeedButton*>("BtnUndo1"), Qt::LeftButton);
        QCOMPARE(QAccessible::queryAccessibleInterface(form.CellButton("bt0505"))->text(QAccessible::Name),
                 QString("row 5, column 5: empty"));
    }

    void commandButtonsClickOnRelease()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        click(form, "bt0101");
        auto* moves = form.findChild<TFlatSpeedButton*>("BtnMosse");
        QTest::mouseClick(moves, Qt::LeftButton);
        for (const char* id : {"bt0104", "bt0303", "bt0401"})
            QCOMPARE(form.CellButton(id)->Color(), Q(HintColor));
        QTest::mouseClick(form.findChild<TFlatSpeedButton*>("BtnUndo1"), Qt::LeftButton);
        QCOMPARE(form.CellButton("bt0101")->Caption(), QString());
        QCOMPARE(form.CellButton("bt0104")->Color(), Q(ResetColor));
        QCOMPARE(form.ScorePanel()->text(), QString(" Score: 0"));
    }

    void newGameKeyResetsAndEscapeCloses()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        click(form, "bt0505");
        QTest::keyClick(&form, Qt::Key_F2);
        QCOMPARE(form.CellButton("bt0505")->Caption(), QString());
        QCOMPARE(form.CellButton("bt0505")->Color(), Q(ResetColor));
        QCOMPARE(form.ScorePanel()->text(), QString());
        QVERIFY(!form.Clock().isActive());
        const QByteArray before = recordBytes();
        click(form, "bt0505");
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(recordBytes(), before);
    }

    void closingTheWindowStopsAnUndoAnimation()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (const char* id : {"bt0505", "bt0805", "bt0802", "bt0502", "bt0202"})
            click(form, id);
        click(form, "bt0505", Qt::RightButton);
        QTimer::singleShot(0, &form, [&form] { form.close(); }); // runs inside the first step's dispatch
        QTest::mouseClick(form.findChild<TFlatSpeedButton*>("BtnUndoMarcato"), Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.Game().MoveCount, std::uint8_t(4));
    }

    void helpKeyOpensTheContents()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_F1);
        auto* help = form.findChild<HelpWindow*>();
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());
        QCOMPARE(help->Browser()->source().fileName(), QString("tovratovratovra.html"));
        QVERIFY(help->Browser()->toPlainText().contains("Contents"));
        // The picture of the eight jumps that opens it is compiled in beside it.
        const QVariant picture = help->Browser()->loadResource(QTextDocument::ImageResource, QUrl("jumps.png"));
        QCOMPARE(QImage::fromData(picture.toByteArray()).size(), QSize(306, 306));
    }

    void emptyRecordFileIsReportedAndTheGameStillPlays()
    {
        QFile empty("record.dat");
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QString title;
        QString text;
        ModalWatch watch;
        watch.WhenModal<QMessageBox>([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            box->accept();
        });
        TForm1 form(files_);
        QCOMPARE(text, QString("Read beyond end of file."));
        QCOMPARE(title, ApplicationTitle());
        QCOMPARE(form.ScorePanel()->text(), QString(" Score:"));
        QCOMPARE(form.TimePanel()->text(), QString(" Time:"));
        QCOMPARE(recordBytes().size(), 0);
        form.show();
        click(form, "bt0303");
        QCOMPARE(form.CellButton("bt0303")->Caption(), QString("1"));
    }

    void clockIgnoresChangesOfTheWallClock_data()
    {
        // Setting the wall clock between two ticks (daylight saving time, a time sync) is the
        // same as StartTime moving the other way.
        QTest::addColumn<double>("wallJumpHours");
        QTest::newRow("clock back 1 h") << -1.0;
        QTest::newRow("clock forward 1 h") << 1.0;
    }
    void clockIgnoresChangesOfTheWallClock()
    {
        QFETCH(double, wallJumpHours);
        TForm1 form(files_);
        auto now = std::chrono::steady_clock::time_point(std::chrono::hours(100));
        form.SetMonotonicClock([&now] { return now; });
        form.btClick(form.CellButton("bt0505")); // starts the clock
        QCOMPARE(form.TimePanel()->text(), QString(" Time: 0.00.00"));
        now += std::chrono::milliseconds(3725000);
        form.TimerTempoTimer();
        QCOMPARE(form.TimePanel()->text(), " Time: " + ClockText(3725.0 / 86400.0));
        form.Game().StartTime -= wallJumpHours / 24.0;
        now += std::chrono::seconds(1);
        form.TimerTempoTimer();
        QCOMPARE(form.TimePanel()->text(), " Time: " + ClockText(3726.0 / 86400.0));
    }

    void clockTextFollowsTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Finnish, dotted, no leading zero") << "fi_FI" << 3725 << "1.02.05";
        QTest::newRow("German, leading zero") << "de_DE" << 3725 << "01:02:05";
        QTest::newRow("Japanese, as before") << "ja_JP" << 3725 << "1\u664202\u520605\u79d2";
        QTest::newRow("a day later starts from 0") << "fi_FI" << 86400 + 5 << "0.00.05";
        // Twelve-hour locales count the hours of a duration as a 24-hour clock, without AM/PM.
        QTest::newRow("US English, 6 s") << "en_US" << 6 << "0:00:06";
        QTest::newRow("US English, 13 h") << "en_US" << 13 * 3600 + 125 << "13:02:05";
        QTest::newRow("Egyptian Arabic, its digits") << "ar_EG" << 6 << "\u0660:\u0660\u0660:\u0660\u0666";
        QTest::newRow("Korean, marker in front") << "ko_KR" << 13 * 3600 + 125 << "13\uc2dc 2\ubd84 5\ucd08";
    }
    void clockTextFollowsTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(int, seconds);
        QFETCH(QString, expected);
        QCOMPARE(ClockText(seconds / 86400.0, QLocale(locale)), expected);
    }

    void clockTextNeverShowsADayPeriodInAnyLocale()
    {
        for (const QLocale& locale :
             QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            const QString text = ClockText((13 * 3600 + 125) / 86400.0, locale);
            QVERIFY2(!locale.pmText().isEmpty() && !text.contains(locale.pmText()) && text.contains(locale.toString(13)),
                     qPrintable(locale.name() + ": '" + text + "'"));
        }
    }

    void clockTextNeverShowsZoneLeftoversInAnyLocale()
    {
        const QRegularExpression leftovers(QStringLiteral("[\\[\\]()]|,\\s*$|\\s$"));
        for (const QLocale& locale :
             QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            const QString text = ClockText(3725.0 / 86400.0, locale);
            QVERIFY2(!text.contains(leftovers), qPrintable(locale.name() + ": '" + text + "'"));
        }
    }

    // The keeper's checks of games.db must not share the processor with the window's making:
    // it makes the file only after the window is on screen.
    void theKeeperWaitsForTheWindow()
    {
        TForm1 form(files_);
        QTest::qWait(200);
        QVERIFY(!QFile::exists("games.db"));
        form.show();
        QTRY_VERIFY(QFile::exists("games.db"));
    }

    // Once, after the first frame; or after the longest wait for a window that never shows.
    void firstFrameStepRunsOnce_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("longestMs");
        QTest::newRow("shown, then hidden and shown again") << true << 3'600'000;
        QTest::newRow("never shown") << false << 50;
    }
    void firstFrameStepRunsOnce()
    {
        QFETCH(bool, shown);
        QFETCH(int, longestMs);
        QWidget window;
        int runs = 0;
        new FirstFrameWatch(&window, [&runs] { ++runs; }, std::chrono::milliseconds(longestMs));
        QCoreApplication::processEvents();
        QCOMPARE(runs, 0);
        if (shown) {
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QTRY_COMPARE(runs, 1);
            window.hide();
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
        }
        QTRY_COMPARE(runs, 1);
        QTest::qWait(100);
        QCOMPARE(runs, 1);
    }

    void applicationTitleIsTheFileNameUpToItsFirstDot_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("installed program") << "/usr/games/tovratovratovra" << "tovratovratovra";
        QTest::newRow("capitals after the first letter") << "/opt/TOVRA.EXE" << "Tovra";
        QTest::newRow("several dots") << "/tmp/Tovra.v2.bin" << "Tovra";
        QTest::newRow("dot in a folder name only") << "/home/a.b/Game" << "Game";
    }
    void applicationTitleIsTheFileNameUpToItsFirstDot()
    {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(ApplicationTitleFromPath(path), title);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
