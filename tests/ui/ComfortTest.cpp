// The comfort of the main window and the windows it opens: where F3's box opens, the player's
// look remembered, pause, zoom, colour schemes and the shapes of the cell states.
#include "ColourVision.h"
#include "EndOfGameTestSupport.h"
#include "ModalWatch.h"

#include "core/CellId.h"
#include "core/Colors.h"
#include "core/Solver.h"
#include "ui/BoardCursor.h"
#include "ui/GamePause.h"
#include "ui/GameViewer.h"
#include "ui/GivenBoardEndDialog.h"
#include "ui/HelpWindow.h"
#include "ui/LookSettings.h"
#include "ui/StatisticsWindow.h"
#include "ui/Startup.h"
#include "ui/ClockText.h"
#include "ui/Unit1.h"
#include "ui/UnitAbout.h"
#include "ui/UnitFinePartita.h"
#include "ui/UnitMigliori.h"
#include "ui/ViewMenu.h"
#include "ui/WindowLook.h"
#include "ui/WindowZoom.h"
#include "core/GameReplay.h"
#include "records/BestRecord.h"
#include "ui/widgets/KeyboardCursorFrame.h"
#include "ui/widgets/Look.h"
#include "ui/widgets/PauseCover.h"
#include "ui/widgets/ReplayBoard.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QTableView>
#include <QTextBlock>
#include <QTextBrowser>
#include <QMenuBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <map>
#include <tuple>

using namespace tovra;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(ColourScheme)

namespace {
QColor Q(Color c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

// The most common colour of `area`, and the contrast of the colour that stands out most from it:
// for text, the ink of its fully covered pixels against what it is written on.
double InkContrast(const QImage& image, QRect area)
{
    area &= image.rect();
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    if (counts.empty())
        return 21;
    const QRgb background =
        std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    double best = 1;
    for (const auto& [colour, count] : counts)
        best = std::max(best, vision::Contrast(QColor(colour), QColor(background)));
    return best;
}

// Every text of `window` with its place: labels, the cells' and buttons' captions, the menus,
// the boxes' texts, the rows and headers of tables, the pause's word, and each run of one
// format in a page of text (the part of it in sight).
QList<std::pair<QString, QRect>> TextsOf(QWidget* window)
{
    QList<std::pair<QString, QRect>> texts;
    const auto addArea = [&](QWidget* from, const QRect& area, const QString& name) {
        if (!area.isEmpty())
            texts.append({name, QRect(from->mapTo(window, area.topLeft()), area.size())});
    };
    // A control that cannot be used is greyed on purpose, and needs no contrast.
    // Nor does a text out of sight, under a widget in front of it (the pause's cover).
    const auto add = [&](QWidget* widget, const QString& name, int inset) {
        const QWidget* inFront = window->childAt(widget->mapTo(window, widget->rect().center()));
        const bool inSight = !inFront || inFront == widget || widget->isAncestorOf(inFront);
        if (widget->isVisibleTo(window) && widget->isEnabled() && inSight && widget->width() > 2 * inset &&
            widget->height() > 2 * inset)
            addArea(widget, widget->rect().adjusted(inset, inset, -inset, -inset), name);
    };
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->text().isEmpty())
            add(label, label->objectName() + ":" + label->text(), label->frameWidth() + 1);
    }
    for (TFlatSpeedButton* button : window->findChildren<TFlatSpeedButton*>()) {
        // Inside the outline and the suggestion's ring.
        if (!button->Caption().isEmpty())
            add(button, button->objectName() + ":" + button->Caption(), Appearance::Of(button).Px(3));
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->text().isEmpty())
            add(button, "button:" + button->text(), 3); // inside the bevel and the default button's frame
    }
    for (QLineEdit* edit : window->findChildren<QLineEdit*>()) {
        if (!edit->text().isEmpty())
            add(edit, edit->objectName() + ":" + edit->text(), 3);
    }
    for (QMenuBar* bar : window->findChildren<QMenuBar*>())
        add(bar, QStringLiteral("menu bar"), 1);
    for (PauseCover* cover : window->findChildren<PauseCover*>()) {
        if (cover->isVisibleTo(window))
            addArea(cover, cover->WordRect().adjusted(2, 2, -2, -2), "pause:" + PauseCover::Word());
    }
    for (QAbstractItemView* view : window->findChildren<QAbstractItemView*>()) {
        if (!view->isVisibleTo(window) || !view->model())
            continue;
        QWidget* viewport = view->viewport();
        if (auto* header = qobject_cast<QHeaderView*>(view)) {
            const bool across = header->orientation() == Qt::Horizontal;
            for (int section = 0; section < header->count(); ++section) {
                const QString text = header->model()->headerData(section, header->orientation()).toString();
                if (text.isEmpty() || header->isSectionHidden(section))
                    continue;
                const int at = header->sectionViewportPosition(section);
                const QRect cell = across ? QRect(at, 0, header->sectionSize(section), header->height())
                                          : QRect(0, at, header->width(), header->sectionSize(section));
                addArea(viewport, cell.adjusted(2, 2, -2, -2) & viewport->rect(), "header:" + text);
            }
            continue;
        }
        const QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            for (int column = 0; column < model->columnCount(); ++column) {
                const QModelIndex index = model->index(row, column);
                const QString text = index.data().toString();
                const QRect cell = view->visualRect(index).adjusted(1, 1, -1, -1);
                if (!text.isEmpty() && viewport->rect().contains(cell))
                    addArea(viewport, cell, QStringLiteral("row %1:%2").arg(row).arg(text));
            }
        }
    }
    for (QTextEdit* page : window->findChildren<QTextEdit*>()) {
        if (!page->isVisibleTo(window))
            continue;
        QWidget* viewport = page->viewport();
        const QPoint scrolled(page->horizontalScrollBar()->value(), page->verticalScrollBar()->value());
        QAbstractTextDocumentLayout* layout = page->document()->documentLayout();
        for (QTextBlock block = page->document()->begin(); block.isValid(); block = block.next()) {
            const QTextLayout* lines = block.layout();
            // Where the block's lines are placed in the page, table cells included.
            const QPointF origin = layout->blockBoundingRect(block).topLeft();
            for (auto run = block.begin(); !run.atEnd(); ++run) {
                const QTextFragment fragment = run.fragment();
                if (fragment.text().trimmed().isEmpty() || fragment.charFormat().isImageFormat())
                    continue;
                const int start = fragment.position() - block.position();
                const int end = start + fragment.length();
                for (int i = 0; i < lines->lineCount(); ++i) {
                    const QTextLine line = lines->lineAt(i);
                    const int from = std::max(start, line.textStart());
                    const int to = std::min(end, line.textStart() + line.textLength());
                    // A line's trailing space is no text.
                    if (from >= to || block.text().mid(from, to - from).trimmed().isEmpty())
                        continue;
                    const QRectF inPage(QPointF(line.cursorToX(from), line.y()), QPointF(line.cursorToX(to), line.y() + line.height()));
                    const QRect seen = inPage.translated(origin - scrolled).toAlignedRect();
                    if (viewport->rect().contains(seen))
                        addArea(viewport, seen, "page:" + fragment.text().left(40));
                }
            }
        }
    }
    return texts;
}

// Every text of `window` stands out at least 4.5 : 1 from what it is written on; `lowest`
// tells the least of them.
void CheckTextContrast(QWidget* window, std::pair<QString, double>* lowest = nullptr)
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QImage shot = window->grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    const auto texts = TextsOf(window);
    QVERIFY(!texts.isEmpty());
    for (const auto& [name, area] : texts) {
        const QRect device(QPoint(qRound(area.left() * ratio), qRound(area.top() * ratio)), area.size() * ratio);
        const double contrast = InkContrast(shot, device);
        if (lowest && (lowest->first.isEmpty() || contrast < lowest->second))
            *lowest = {name, contrast};
        QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("%1: %2 : 1").arg(name).arg(contrast)));
    }
}

HistoryGame PlayedGame(int score, double endedAt)
{
    HistoryGame game;
    game.end = score == 100 ? GameEnd::Complete : GameEnd::Stuck;
    for (int i = 0; i < score; ++i)
        game.cells.push_back(i);
    game.endedAt = endedAt;
    game.playedMs = 60000;
    return game;
}
} // namespace

class ComfortTest : public QObject {
    Q_OBJECT

    // The file layer the windows of these tests read and write record.dat through.
    tovra::PosixFileSystem files_;

private:
    QTemporaryDir dir;
    QTemporaryDir config;
    QString previousDir;

    static void click(TForm1& form, const char* id) { QTest::mouseClick(form.CellButton(QString::fromLatin1(id)), Qt::LeftButton); }
    static Look LookWith(int zoom, ColourScheme colours, bool shapes) { return Look{zoom, colours, shapes}; }

private slots:
    void initTestCase()
    {
        // The settings of this run alone, not the player's, nor another run's.
        QVERIFY(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        PrepareApplication();
    }
    void init()
    {
        QFile::remove(PlayerSettingsPath());
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        for (const char* file : {"record.dat", "games.db", "games.db-wal", "games.db-shm"})
            QFile::remove(QString::fromLatin1(file));
    }
    void cleanup()
    {
        ApplyColourScheme(ColourScheme::Classic);
        QDir::setCurrent(previousDir);
    }

    void answerBoxOpensBesideTheWindow_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QPoint>("expected");
        const QRect screen(0, 0, 1280, 800);
        QTest::newRow("room on the right") << QRect(100, 100, 240, 310) << QSize(300, 120) << QPoint(340, 100);
        QTest::newRow("right edge: on the left") << QRect(1000, 100, 240, 310) << QSize(300, 120) << QPoint(700, 100);
        QTest::newRow("wide window: below") << QRect(0, 100, 1200, 310) << QSize(300, 120) << QPoint(0, 410);
        QTest::newRow("wide and low: above") << QRect(0, 500, 1200, 300) << QSize(300, 120) << QPoint(0, 380);
        QTest::newRow("near the bottom: raised to fit") << QRect(100, 750, 240, 50) << QSize(300, 120) << QPoint(340, 680);
        QTest::newRow("no room anywhere: inside the screen") << QRect(0, 0, 1280, 800) << QSize(300, 120) << QPoint(980, 0);
    }
    void answerBoxOpensBesideTheWindow()
    {
        QFETCH(QRect, window);
        QFETCH(QSize, box);
        QFETCH(QPoint, expected);
        QCOMPARE(PlaceBeside(window, box, QRect(0, 0, 1280, 800)), expected);
    }

    void lookIsReadAsWritten_data()
    {
        QTest::addColumn<int>("zoom");
        QTest::addColumn<ColourScheme>("colours");
        QTest::addColumn<bool>("shapes");
        QTest::newRow("classic at the actual size") << 100 << ColourScheme::Classic << false;
        QTest::newRow("dark at 250 %, shapes") << 250 << ColourScheme::Dark << true;
        QTest::newRow("high contrast at 400 %") << 400 << ColourScheme::HighContrast << false;
    }
    void lookIsReadAsWritten()
    {
        QFETCH(int, zoom);
        QFETCH(ColourScheme, colours);
        QFETCH(bool, shapes);
        const Look look = LookWith(zoom, colours, shapes);
        {
            QSettings settings(PlayerSettingsPath(), QSettings::IniFormat);
            WriteLook(settings, look);
        }
        QVERIFY(PlayerSettingsPath().startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
        QCOMPARE(ReadLook(QSettings(PlayerSettingsPath(), QSettings::IniFormat)), look);
    }

    void damagedSettingsReadAsTheClassicLook_data()
    {
        QTest::addColumn<QString>("zoom");
        QTest::addColumn<QString>("colours");
        QTest::newRow("zoom between steps") << "137" << "dark";
        QTest::newRow("zoom not a number") << "big" << "sepia";
        QTest::newRow("zoom below the actual size") << "50" << "";
    }
    void damagedSettingsReadAsTheClassicLook()
    {
        QFETCH(QString, zoom);
        QFETCH(QString, colours);
        QSettings settings(PlayerSettingsPath(), QSettings::IniFormat);
        settings.setValue("View/Zoom", zoom);
        settings.setValue("View/Colours", colours);
        const Look read = ReadLook(settings);
        QCOMPARE(read.zoomPercent, 100);
        QCOMPARE(read.colours, colours == "dark" ? ColourScheme::Dark : ColourScheme::Classic);
    }

    void theLookSurvivesARestart()
    {
        {
            TForm1 form(files_);
            form.View().SetColours(ColourScheme::HighContrast);
            form.View().SetShapes(true);
            form.View().ZoomIn();
            form.View().ZoomIn();
        }
        // The settings are written off the window's thread; the window's end waited for them.
        TForm1 again(files_);
        QCOMPARE(again.PlayerLook().Current(), LookWith(150, ColourScheme::HighContrast, true));
        // Drawn in it from the start: the cells are zoomed before the first paint.
        QCOMPARE(again.CellButton("bt0101")->width(), Look{150}.Scaled(QRect(21, 21, 19, 19)).width());
    }

    void pauseHoldsTheClockAndHidesTheBoard()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto now = std::chrono::steady_clock::time_point(100h);
        form.SetMonotonicClock([&now] { return now; });
        click(form, "bt0505");
        now += 5s;
        QTest::keyClick(&form, Qt::Key_P);
        QVERIFY(form.Pause().Paused());
        now += 60s;
        form.TimerTempoTimer();
        QCOMPARE(form.TimePanel()->text(), " Time: " + ClockText(5.0 / 86400.0));
        QVERIFY(!form.Clock().isActive());

        // The cover takes the clicks: nothing is placed, and the numbers are out of sight.
        TFlatSpeedButton* target = form.CellButton("bt0805");
        QWidget* hit = target->parentWidget()->childAt(target->geometry().center());
        QCOMPARE(hit, form.Pause().Cover());
        QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(target->parentWidget(), target->geometry().center()));
        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(target->Caption(), QString());
        QCOMPARE(form.CellButton("bt0505")->Caption(), QString("1"));
        QCOMPARE(form.ScorePanel()->text(), QString(" Score: 1"));

        // A click on the word goes on, with the paused minute left out.
        PauseCover* cover = form.Pause().Cover();
        QTest::mouseClick(cover, Qt::LeftButton, {}, cover->WordRect().center());
        QVERIFY(!form.Pause().Paused());
        now += 2s;
        form.TimerTempoTimer();
        QCOMPARE(form.TimePanel()->text(), " Time: " + ClockText(7.0 / 86400.0));
        click(form, "bt0805");
        QCOMPARE(target->Caption(), QString("2"));
    }

    void aGameClosedWhilePausedComesBackPaused()
    {
        auto now = std::chrono::steady_clock::time_point(100h);
        const auto stepped = [&now] { return now; };
        for (const bool pauseBeforeClosing : {true, false}) {
            {
                TForm1 form(files_);
                form.SetMonotonicClock(stepped);
                form.show();
                form.Pause().Resume(); // the first run's game comes back paused in the second
                if (form.CellButton("bt0505")->Caption().isEmpty())
                    click(form, "bt0505");
                now += 3s;
                if (pauseBeforeClosing)
                    form.Pause().Pause();
                now += 60s;
                form.close();
            }
            TForm1 again(files_);
            QCOMPARE(again.CellButton("bt0505")->Caption(), QString("1"));
            QCOMPARE(again.Pause().Paused(), pauseBeforeClosing);
            if (pauseBeforeClosing)
                QCOMPARE(again.TimePanel()->text(), " Time: " + ClockText(3.0 / 86400.0));
        }
    }

    void minimisingPausesOnlyAGameInProgress_data()
    {
        QTest::addColumn<bool>("numbered");
        QTest::newRow("empty board") << false;
        QTest::newRow("a game in progress") << true;
    }
    void minimisingPausesOnlyAGameInProgress()
    {
        QFETCH(bool, numbered);
        TForm1 form(files_);
        form.show();
        if (numbered)
            click(form, "bt0505");
        form.showMinimized();
        QCOMPARE(form.Pause().Paused(), numbered);
        form.Nuovapartita1Click(); // a new game is never paused
        QVERIFY(!form.Pause().Paused());
        QVERIFY(!form.Pause().Cover()->isVisible());
    }

    void undoTakesTheKeyboardCursorOffTheCellItEmptied()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        for (const auto key : {Qt::Key_Down, Qt::Key_Space, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Space})
            QTest::keyClick(&form, key);
        QCOMPARE(form.CellButton("bt0104")->Caption(), QString("2"));
        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(form.CellButton("bt0104")->Caption(), QString());
        QCOMPARE(form.Cursor().Cell()->objectName(), QString("bt0101"));
        // A cursor moved onto an empty cell stays there.
        QTest::keyClick(&form, Qt::Key_Down);
        QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(form.Cursor().Cell()->objectName(), QString("bt0201"));
    }

    void zoomStepsDrawSharpCells_data()
    {
        QTest::addColumn<int>("zoom");
        for (const int step : ZoomSteps)
            QTest::newRow(qPrintable(QStringLiteral("%1 %").arg(step))) << step;
    }
    void zoomStepsDrawSharpCells()
    {
        QFETCH(int, zoom);
        TForm1 form(files_);
        const int menuAtActualSize = form.menuBar()->sizeHint().height();
        form.PlayerLook().Set(Look{zoom});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (const auto key : {Qt::Key_Down, Qt::Key_Space})
            QTest::keyClick(&form, key); // 1 on bt0101, under the keyboard cursor

        const Look look{zoom};
        TFlatSpeedButton* first = form.CellButton("bt0102");
        QWidget* board = first->parentWidget();
        QCOMPARE(first->geometry(), look.Scaled(QRect(41, 21, 19, 19)));
        const QImage shot = board->grab().toImage();
        // Along the middle of the first row, from the second cell on: the free cells' face and
        // the grid, and nothing between them.
        const int y = first->geometry().center().y();
        const QRgb free = Q(FreeColor).rgb();
        const QRgb grid = QColor(192, 192, 192).rgb();
        int edges = 0;
        for (int x = first->geometry().left(); x <= form.CellButton("bt0110")->geometry().right(); ++x) {
            const QRgb pixel = shot.pixel(x, y);
            QVERIFY2(pixel == free || pixel == grid, qPrintable(QStringLiteral("x %1: %2").arg(x).arg(pixel, 0, 16)));
            edges += x > first->geometry().left() && pixel != shot.pixel(x - 1, y);
        }
        QCOMPARE(edges, 2 * 8); // a grid line between each two of the nine cells
        // The keyboard cursor's ring, as wide as the zoom makes two pixels.
        const QRect cell = form.CellButton("bt0101")->geometry();
        const QRgb ring = KeyboardCursorFrame::RingColor.rgb();
        int ringWidth = 0;
        for (int x = cell.left() - look.Px(1); shot.pixel(x, cell.center().y()) == ring; ++x)
            ++ringWidth;
        QCOMPARE(ringWidth, look.Px(2));
        if (zoom >= 200)
            QVERIFY(form.menuBar()->height() >= menuAtActualSize * 3 / 2);
    }

    void zoomInStopsWhereTheWindowStillFits()
    {
        TForm1 form(files_);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (int i = 0; i < 12; ++i)
            form.View().ZoomIn();
        const QRect available = form.screen()->availableGeometry();
        QVERIFY(available.contains(form.frameGeometry()));
        QVERIFY(form.PlayerLook().Current().zoomPercent > 100);
        form.View().ActualSize();
        QCOMPARE(form.CellButton("bt0101")->geometry(), QRect(21, 21, 19, 19));
        QCOMPARE(form.CellButton("bt0101")->font().pixelSize(), 11);
    }

    void dialogsOpenAtTheLargestZoomThatFits()
    {
        TForm1 form(files_);
        form.PlayerLook().Set(Look{400});
        BestTable table = FreshTable();
        TFormMigliori best(table, &form);
        const QSize actual = best.size();
        ZoomDialog(&best);
        QVERIFY(best.width() > actual.width());
        QVERIFY(best.screen()->availableGeometry().size().shrunkBy(FrameMargins(&best)).boundedTo(best.size()) == best.size());
    }

    void darkAndHighContrastTextsStandOut_data()
    {
        QTest::addColumn<ColourScheme>("colours");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QString>("window");
        const std::tuple<ColourScheme, int, const char*> looks[] = {
            {ColourScheme::Dark, 100, "dark"}, {ColourScheme::HighContrast, 100, "high contrast"}, {ColourScheme::Dark, 200, "dark at 200 %"}};
        for (const auto& [colours, zoom, name] : looks)
            for (const char* window : {"main window", "paused board", "best 20", "statistics", "viewer", "about", "end of game",
                                       "daily end", "message box", "answer box", "help", "help open at the switch"})
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(window, name))) << colours << zoom << QString(window);
    }
    // The windows are opened the way the player opens them, those that wait for an answer too.
    void darkAndHighContrastTextsStandOut()
    {
        QFETCH(ColourScheme, colours);
        QFETCH(int, zoom);
        QFETCH(QString, window);
        TForm1 form(files_);
        // The help already open when the colours change takes them on where it is.
        const bool switchedLater = window == "help open at the switch";
        if (!switchedLater)
            form.PlayerLook().Set(LookWith(zoom, colours, true));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (switchedLater) {
            QTest::keyClick(&form, Qt::Key_F1);
            form.PlayerLook().Set(LookWith(zoom, colours, true));
        }
        std::pair<QString, double> lowest;
        bool seen = false;
        ModalWatch watch;
        const auto checkModal = [&](QWidget* modal) {
            CheckTextContrast(modal, &lowest);
            seen = true;
        };
        if (window == "main window") {
            // Numbers on every face: numbered, the last (bold), marked, and a suggestion's ring.
            for (const char* id : {"bt0505", "bt0805", "bt0802", "bt0502"})
                click(form, id);
            QTest::mouseClick(form.CellButton("bt0805"), Qt::RightButton);
            form.CellButton("bt0505")->SetSuggested(true);
            // A given number of a daily board: grey on a numbered face.
            TFlatSpeedButton* given = form.CellButton("bt0101");
            given->SetColor(Q(NumberColor));
            given->SetCaption("7");
            QPalette grey = given->palette();
            grey.setColor(QPalette::WindowText, QColor(0x60, 0x60, 0x60));
            given->setPalette(grey);
            CheckTextContrast(&form, &lowest);
        } else if (window == "paused board") {
            click(form, "bt0505");
            QTest::keyClick(&form, Qt::Key_P);
            QVERIFY(form.Pause().Cover()->isVisible());
            CheckTextContrast(&form, &lowest);
        } else if (window == "best 20") {
            // A game on its board: the first number bold, the last red.
            BestTable table = FreshTable();
            std::array<std::uint8_t, 100> scheme{};
            scheme[44] = 1;
            scheme[74] = 2;
            scheme[71] = 3;
            InsertGame(table, 1, "Zo", 3, 46000.5, scheme);
            TFormMigliori best(table, &form);
            ZoomDialog(&best);
            CheckTextContrast(&best, &lowest);
        } else if (window == "statistics") {
            StatisticsWindow statistics({PlayedGame(100, 46000.5), PlayedGame(37, 46000.2)}, {}, &form);
            ZoomDialog(&statistics);
            CheckTextContrast(&statistics, &lowest);
        } else if (window == "viewer") {
            GameViewer viewer(GameReplay({44, 74, 71, 41, 11, 14, 17, 47}), "A game", false, &form);
            ZoomDialog(&viewer);
            CheckTextContrast(&viewer, &lowest);
        } else if (window == "about") {
            TFormAbout about(&form);
            ZoomDialog(&about);
            CheckTextContrast(&about, &lowest);
        } else if (window == "end of game") {
            // A ranked game: the name row shows, with a name typed in it.
            watch.WhenModal<TFormFinePartita>([&](TFormFinePartita* dialog) {
                QTest::keyClicks(dialog->findChild<QLineEdit*>("EditNome"), "Zo");
                checkModal(dialog);
                watch.WhenModal<TFormMigliori>([](TFormMigliori* best) { best->reject(); });
                QTest::mouseClick(dialog->findChild<TFlatSpeedButton*>("BtnOk"), Qt::LeftButton);
            });
            for (const char* id : endofgame::ShortGame)
                click(form, id);
        } else if (window == "daily end") {
            std::vector<int> tour = SolveCompletion(SolverPosition{}).completion;
            const int last = tour.back();
            tour.pop_back();
            form.PlayGivenBoard(tour, GivenBoardPlay{});
            watch.WhenModal<GivenBoardEndDialog>([&](GivenBoardEndDialog* dialog) {
                checkModal(dialog);
                dialog->accept();
            });
            QTest::mouseClick(form.CellButton(QString::fromStdString(CellIdOf(last))), Qt::LeftButton);
        } else if (window == "message box") {
            watch.WhenModal<QMessageBox>([&](QMessageBox* box) {
                checkModal(box);
                box->accept();
            });
            form.CopyCode1Click(); // nothing to copy on an empty board
        } else if (window == "answer box") {
            for (const char* id : {"bt0505", "bt0805"})
                click(form, id);
            watch.WhenModal<QMessageBox>([&](QMessageBox* box) {
                checkModal(box);
                box->reject();
            });
            QTest::keyClick(&form, Qt::Key_F3);
            QTRY_VERIFY_WITH_TIMEOUT(seen, 20000);
        } else if (window.startsWith("help")) {
            if (window == "help")
                QTest::keyClick(&form, Qt::Key_F1);
            auto* help = form.findChild<HelpWindow*>();
            QVERIFY(help && help->isVisible());
            // Page by page, from the top to the end.
            QScrollBar* bar = help->Browser()->verticalScrollBar();
            for (int at = 0;; at += bar->pageStep()) {
                bar->setValue(at);
                if (at > 0 && TextsOf(help).isEmpty())
                    break; // blank room under the last line
                CheckTextContrast(help, &lowest);
                if (QTest::currentTestFailed() || at >= bar->maximum())
                    break;
            }
            help->close();
        }
        if (window == "end of game" || window == "daily end" || window == "message box")
            QVERIFY(seen);
        if (!QTest::currentTestFailed())
            qInfo().noquote() << QStringLiteral("lowest contrast: %1 : 1 (%2)").arg(lowest.second, 0, 'f', 2).arg(lowest.first);
    }

    void cellStatesStayApartForColourBlindPlayers_data()
    {
        QTest::addColumn<ColourScheme>("colours");
        QTest::addColumn<int>("simulation");
        QTest::addColumn<QString>("board");
        const std::pair<ColourScheme, const char*> schemes[] = {
            {ColourScheme::Classic, "classic"}, {ColourScheme::Dark, "dark"}, {ColourScheme::HighContrast, "high contrast"}};
        const char* simulations[] = {"protanopia", "deuteranopia", "tritanopia"};
        for (const char* board : {"main board", "viewer", "best 20"})
            for (const auto& [scheme, name] : schemes)
                for (int s = 0; s < 3; ++s)
                    QTest::newRow(qPrintable(QStringLiteral("%1, %2, %3").arg(board, name, simulations[s])))
                        << scheme << s << QString(board);
    }
    // Two states stay apart when their cells, seen through the simulation, differ by at least
    // 10 CIEDE2000 units on average (a colour told apart at a glance), or in at least 12 pixels
    // by 20 units or more (a shape).
    void cellStatesStayApartForColourBlindPlayers()
    {
        QFETCH(ColourScheme, colours);
        QFETCH(int, simulation);
        QFETCH(QString, board);
        const vision::Matrix& matrix =
            std::array{&vision::Protanopia, &vision::Deuteranopia, &vision::Tritanopia}[static_cast<std::size_t>(simulation)][0];

        TForm1 form(files_);
        form.PlayerLook().Set(LookWith(100, colours, true));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        std::vector<std::pair<const char*, QWidget*>> states;
        std::unique_ptr<GameViewer> shown;
        BestTable table = FreshTable();
        std::unique_ptr<TFormMigliori> best;
        if (board == "main board") {
            // Free bt0101; 1 on bt0505 (marked), 2 on bt0805, 3 on bt0802 (the last), reachable
            // bt0502 after Moves; a suggestion's ring on bt1010; the keyboard cursor on bt0110.
            for (const char* id : {"bt0505", "bt0805", "bt0802"})
                click(form, id);
            QTest::mouseClick(form.CellButton("bt0505"), Qt::RightButton);
            QTest::keyClick(&form, Qt::Key_H, Qt::ControlModifier);
            form.CellButton("bt1010")->SetSuggested(true);
            for (const auto key : {Qt::Key_Down, Qt::Key_Home, Qt::Key_PageUp, Qt::Key_End})
                QTest::keyClick(&form, key);
            QCOMPARE(form.Cursor().Cell()->objectName(), QString("bt0110"));
            form.CellButton("bt0805")->SetCaption("3"); // the same digit on every numbered cell
            form.CellButton("bt0505")->SetCaption("3");
            states = {{"free", form.CellButton("bt0101")}, {"reachable", form.CellButton("bt0502")},
                      {"numbered", form.CellButton("bt0805")}, {"last number", form.CellButton("bt0802")},
                      {"marked", form.CellButton("bt0505")}, {"suggested", form.CellButton("bt1010")},
                      {"keyboard cursor", form.CellButton("bt0110")}};
        } else if (board == "viewer") {
            // Four numbers played, 100 lost after the 2nd (its ring), then the way to 100 up to
            // its 6th number, the last shown.
            shown = std::make_unique<GameViewer>(GameReplay({44, 74, 71, 41, 11, 14, 17, 47}, 4, 2), "A game", false, &form);
            shown->JumpTo(6);
            shown->show();
            QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
            ReplayBoard* cells = shown->Board();
            for (const int cell : {44, 74, 71, 41, 11, 14})
                cells->Cell(cell)->SetCaption("3");
            states = {{"free", cells->Cell(0)}, {"numbered", cells->Cell(71)}, {"lost after", cells->Cell(74)},
                      {"way to 100", cells->Cell(11)}, {"last number", cells->Cell(14)}};
        } else {
            // A stored game of three numbers: the last one red.
            std::array<std::uint8_t, 100> scheme{};
            scheme[44] = 1;
            scheme[74] = 2;
            scheme[71] = 3;
            InsertGame(table, 1, "Zo", 3, 46000.5, scheme);
            best = std::make_unique<TFormMigliori>(table, &form);
            best->show();
            QVERIFY(QTest::qWaitForWindowExposed(best.get()));
            best->SchemeLabel(8, 5)->setText("3");
            states = {{"free", best->SchemeLabel(1, 1)}, {"numbered", best->SchemeLabel(8, 5)},
                      {"last number", best->SchemeLabel(8, 2)}};
        }
        QTest::qWait(50);

        const QImage shot = states.front().second->parentWidget()->grab().toImage();
        std::vector<std::vector<vision::Lab>> seen;
        for (const auto& [name, cell] : states) {
            const QRect around = cell->geometry().adjusted(-1, -1, 1, 1);
            std::vector<vision::Lab> pixels;
            for (int y = around.top(); y <= around.bottom(); ++y)
                for (int x = around.left(); x <= around.right(); ++x)
                    pixels.push_back(vision::ToLab(vision::Simulated(QColor(shot.pixel(x, y)), matrix)));
            seen.push_back(std::move(pixels));
        }
        for (std::size_t a = 0; a < seen.size(); ++a) {
            for (std::size_t b = a + 1; b < seen.size(); ++b) {
                double total = 0;
                int shapePixels = 0;
                for (std::size_t i = 0; i < seen[a].size(); ++i) {
                    const double difference = vision::Ciede2000(seen[a][i], seen[b][i]);
                    total += difference;
                    shapePixels += difference >= 20;
                }
                const double mean = total / static_cast<double>(seen[a].size());
                QVERIFY2(mean >= 10 || shapePixels >= 12,
                         qPrintable(QStringLiteral("%1 and %2: mean %3, %4 pixels apart")
                                        .arg(states[a].first, states[b].first)
                                        .arg(mean)
                                        .arg(shapePixels)));
            }
        }
    }

    void ciede2000MatchesPublishedPairs_data()
    {
        QTest::addColumn<double>("l1");
        QTest::addColumn<double>("a1");
        QTest::addColumn<double>("b1");
        QTest::addColumn<double>("l2");
        QTest::addColumn<double>("a2");
        QTest::addColumn<double>("b2");
        QTest::addColumn<double>("expected");
        // Pairs 1, 7 and 17 of Sharma, Wu and Dalal's test data.
        QTest::newRow("blue, chroma") << 50.0 << 2.6772 << -79.7751 << 50.0 << 0.0 << -82.7485 << 2.0425;
        QTest::newRow("grey and blue-grey") << 50.0 << 0.0 << 0.0 << 50.0 << -1.0 << 2.0 << 2.3669;
        QTest::newRow("large difference") << 50.0 << 2.5 << 0.0 << 73.0 << 25.0 << -18.0 << 27.1492;
    }
    void ciede2000MatchesPublishedPairs()
    {
        QFETCH(double, l1);
        QFETCH(double, a1);
        QFETCH(double, b1);
        QFETCH(double, l2);
        QFETCH(double, a2);
        QFETCH(double, b2);
        QFETCH(double, expected);
        QVERIFY(std::abs(vision::Ciede2000({l1, a1, b1}, {l2, a2, b2}) - expected) < 1e-3);
    }
};

QTEST_MAIN(ComfortTest)
#include "ComfortTest.moc"
