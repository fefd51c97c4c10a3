// The "Best 20" window: what each kind of record looks like in the grid, how the selected game's
// board is drawn, how the selection follows mouse and keys, and how the window closes.
#include "core/CellId.h"
#include "core/DateTime.h"
#include "ui/UnitMigliori.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QApplication>
#include <QDate>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

Q_DECLARE_METATYPE(tovra::BestRecord)

using namespace tovra;

namespace {
// A stored game with 1..score along a fixed walk over the board (one cell per number, starting
// at `firstSlot`), the other cells free.
BestRecord Game(const std::string& name, int score, DateTime date, int firstSlot = 0)
{
    BestRecord record;
    SetRecordName(record, name);
    record.Score = static_cast<std::uint8_t>(score);
    record.SetDate(date);
    for (int number = 1; number <= score; ++number) {
        const int slot = (firstSlot + 37 * (number - 1)) % 100; // 37 is prime to 100: no cell twice
        record.SetSchemeAt(slot / 10 + 1, slot % 10 + 1, static_cast<std::uint8_t>(number));
    }
    return record;
}

BestRecord Foreign(std::uint8_t fill, double date)
{
    BestRecord record;
    std::memset(static_cast<void*>(&record), fill, sizeof record);
    record.SetDate(date);
    return record;
}

QString ShortDate(int year, int month, int day)
{
    return QLocale().toString(QDate(year, month, day), QLocale::ShortFormat);
}

struct Window {
    BestTable table;
    TFormMigliori form;

    explicit Window(const BestTable& start)
        : table(start), form(table)
    {
    }
    bool open()
    {
        form.show();
        form.activateWindow();
        return QTest::qWaitForWindowActive(&form);
    }
    QTableWidget* grid() const { return form.findChild<QTableWidget*>(QStringLiteral("SgMigliori")); }
    QString cell(int row, int column) const { return grid()->item(row, column)->text(); }
    void clickRow(int row) const
    {
        const QRect rect = grid()->visualItemRect(grid()->item(row, 0));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

// Compares the 100 labels with the scheme of one record: the numbers, bold 1, red last number,
// empty free cells.
void VerifySchemeShown(const TFormMigliori& form, const BestRecord& record, int lastNumber)
{
    for (int r = 1; r <= 10; ++r)
        for (int c = 1; c <= 10; ++c) {
            const QLabel* label = form.SchemeLabel(r, c);
            const int v = record.SchemeAt(r, c);
            const QString where = QString::fromStdString(MakeCellId(r, c, "lb"));
            QVERIFY2(label->text() == (v == 0 ? QString() : QString::number(v)),
                     qPrintable(where + QStringLiteral(" reads '") + label->text() + QStringLiteral("'")));
            if (v == 0)
                continue;
            QVERIFY2(label->font().bold() == (v == 1), qPrintable(where));
            const QColor expected = v == lastNumber ? QColor(255, 0, 0) : QColor(0, 0, 0);
            QVERIFY2(label->palette().color(QPalette::WindowText) == expected, qPrintable(where));
        }
}

int NumberedLabels(const TFormMigliori& form)
{
    int count = 0;
    for (int r = 1; r <= 10; ++r)
        for (int c = 1; c <= 10; ++c)
            count += form.SchemeLabel(r, c)->text().isEmpty() ? 0 : 1;
    return count;
}
} // namespace

class MiglioriTest : public QObject {
    Q_OBJECT

private slots:
    void eachKindOfRecordReads_data()
    {
        QTest::addColumn<BestRecord>("record");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("score");
        QTest::addColumn<QString>("date");

        const QString none = QStringLiteral("-----");
        QTest::newRow("fresh") << FreshRecord() << none << none << none;
        QTest::newRow("zero") << ZeroRecord() << QString() << none << none;
        QTest::newRow("stored game") << Game("Ann", 57, EncodeDate(2024, 3, 5)) << QStringLiteral("Ann")
                                     << QStringLiteral("57") << ShortDate(2024, 3, 5);
        QTest::newRow("date without score") << Game("Nil", 0, EncodeDate(2001, 12, 31)) << QStringLiteral("Nil")
                                            << QStringLiteral("0") << ShortDate(2001, 12, 31);
        QTest::newRow("game dated 0 is no game") << Game("Zed", 40, 0) << QStringLiteral("Zed") << none << none;
        QTest::newRow("empty name") << Game("", 3, EncodeDate(2010, 6, 1)) << QString() << QStringLiteral("3")
                                    << ShortDate(2010, 6, 1);

        BestRecord longName = Game("", 9, EncodeDate(1999, 1, 2));
        longName.NameLength = 255;
        longName.NameChars.fill('A');
        QTest::newRow("length byte 255") << longName << QString(30, QLatin1Char('A')) << QStringLiteral("9")
                                         << ShortDate(1999, 1, 2);
        const QString thirtyY(30, QChar(0xFF)); // byte 0xFF is "ÿ"
        QTest::newRow("all bytes 0xFF") << Foreign(0xFF, std::numeric_limits<double>::quiet_NaN()) << thirtyY << none
                                        << none;
        QTest::newRow("negative date") << Foreign(0x41, -1000.0) << QString(30, QLatin1Char('A')) << none << none;
        QTest::newRow("huge date") << Foreign(0x41, 1e300) << QString(30, QLatin1Char('A')) << none << none;
        QTest::newRow("infinite date") << Foreign(0x41, std::numeric_limits<double>::infinity())
                                       << QString(30, QLatin1Char('A')) << none << none;
    }
    void eachKindOfRecordReads()
    {
        QFETCH(BestRecord, record);
        QFETCH(QString, name);
        QFETCH(QString, score);
        QFETCH(QString, date);
        // The record at rank 1 and at rank 20, so both ends of the grid are read.
        BestTable table = FreshTable();
        table.ByRank(1) = record;
        table.ByRank(20) = record;
        Window window(table);
        QVERIFY(window.open());
        for (int row : {0, 19}) {
            QCOMPARE(window.cell(row, 0), name);
            QCOMPARE(window.cell(row, 1), score);
            QCOMPARE(window.cell(row, 2), date);
        }
        for (int row = 1; row < 19; ++row)
            QCOMPARE(window.cell(row, 1), QStringLiteral("-----"));
        // Drawing a foreign board must not trip over its byte values either.
        window.clickRow(19);
        QCOMPARE(window.grid()->currentRow(), 19);
    }

    void openingSelectsTheFirstRowAndDrawsItsGame()
    {
        BestTable table = FreshTable();
        table.ByRank(1) = Game("Ann", 57, EncodeDate(2024, 3, 5), 3);
        Window window(table);
        QVERIFY(window.open());
        QCOMPARE(window.grid()->currentRow(), 0);
        QCOMPARE(window.grid()->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(QApplication::focusWidget(), window.grid());
        QCOMPARE(NumberedLabels(window.form), 57);
        VerifySchemeShown(window.form, table.ByRank(1), 57);
    }

    void selectedGameIsDrawn_data()
    {
        QTest::addColumn<int>("score");
        QTest::newRow("score 57") << 57;
        QTest::newRow("score 1: bold and red") << 1;
        QTest::newRow("complete board") << 100;
        QTest::newRow("score 2") << 2;
    }
    void selectedGameIsDrawn()
    {
        QFETCH(int, score);
        BestTable table = FreshTable();
        table.ByRank(1) = Game("Full", 100, EncodeDate(2023, 1, 1));
        table.ByRank(2) = Game("Pick", score, EncodeDate(2023, 1, 2), 11);
        Window window(table);
        QVERIFY(window.open());
        window.clickRow(1);
        QCOMPARE(NumberedLabels(window.form), score);
        VerifySchemeShown(window.form, table.ByRank(2), score);
        int bold = 0;
        int red = 0;
        for (int r = 1; r <= 10; ++r)
            for (int c = 1; c <= 10; ++c) {
                const QLabel* label = window.form.SchemeLabel(r, c);
                if (label->text().isEmpty())
                    continue;
                bold += label->font().bold() ? 1 : 0;
                red += label->palette().color(QPalette::WindowText) == QColor(255, 0, 0) ? 1 : 0;
            }
        QCOMPARE(bold, 1);
        QCOMPARE(red, 1);
    }

    void emptyRecordsDrawAnEmptyBoard_data()
    {
        QTest::addColumn<BestRecord>("record");
        QTest::newRow("fresh") << FreshRecord();
        QTest::newRow("zero") << ZeroRecord();
    }
    void emptyRecordsDrawAnEmptyBoard()
    {
        QFETCH(BestRecord, record);
        BestTable table = FreshTable();
        table.ByRank(1) = Game("Full", 100, EncodeDate(2023, 1, 1));
        table.ByRank(2) = record;
        Window window(table);
        QVERIFY(window.open());
        QCOMPARE(NumberedLabels(window.form), 100);
        window.clickRow(1);
        QCOMPARE(NumberedLabels(window.form), 0);
    }

    void keysMoveTheSelectionAndRedraw_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QList<int>>("rows"); // the selected row after each key
        QTest::newRow("down, down, up") << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Up} << QList<int>{1, 2, 1};
        QTest::newRow("end, home") << QList<int>{Qt::Key_End, Qt::Key_Home} << QList<int>{19, 0};
        QTest::newRow("page down, page up") << QList<int>{Qt::Key_PageDown, Qt::Key_PageUp} << QList<int>{19, 0};
        QTest::newRow("up at the top stays") << QList<int>{Qt::Key_Up, Qt::Key_Down} << QList<int>{0, 1};
    }
    void keysMoveTheSelectionAndRedraw()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QList<int>, rows);
        BestTable table;
        for (int rank = 1; rank <= 20; ++rank)
            table.ByRank(rank) = Game("P" + std::to_string(rank), 100 - 3 * rank, EncodeDate(2022, 1, rank), rank);
        Window window(table);
        QVERIFY(window.open());
        for (int i = 0; i < keys.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(keys[i]));
            QCOMPARE(window.grid()->currentRow(), rows[i]);
            const BestRecord& shown = table.ByRank(rows[i] + 1);
            VerifySchemeShown(window.form, shown, shown.Score);
        }
    }

    void clickOnTheSelectedRowRedraws()
    {
        BestTable table = FreshTable();
        table.ByRank(1) = Game("Ann", 20, EncodeDate(2024, 3, 5));
        Window window(table);
        QVERIFY(window.open());
        QLabel* label = window.form.SchemeLabel(1, 1);
        label->setText(QStringLiteral("x"));
        window.clickRow(0);
        QCOMPARE(label->text(), QStringLiteral("1"));
    }

    void escapeClosesWhicheverWidgetHasTheFocus_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("grid") << QStringLiteral("SgMigliori");
        QTest::newRow("window itself") << QString();
        QTest::newRow("exit button") << QStringLiteral("BtnEsci");
    }
    void escapeClosesWhicheverWidgetHasTheFocus()
    {
        QFETCH(QString, target);
        Window window(FreshTable());
        QVERIFY(window.open());
        QWidget* receiver = target.isEmpty() ? static_cast<QWidget*>(&window.form)
                                             : window.form.findChild<QWidget*>(target);
        QVERIFY(receiver);
        if (target.isEmpty())
            window.grid()->clearFocus();
        QTest::keyClick(receiver, Qt::Key_Escape);
        QVERIFY(!window.form.isVisible());
    }

    void exitButtonCloses()
    {
        Window window(FreshTable());
        QVERIFY(window.open());
        auto* exit = window.form.findChild<TFlatSpeedButton*>(QStringLiteral("BtnEsci"));
        QCOMPARE(exit->Caption(), QStringLiteral("Exit"));
        QVERIFY(exit->Bold());
        QTest::mouseClick(exit, Qt::LeftButton);
        QVERIFY(!window.form.isVisible());
    }

    void gridShowsAllTwentyRowsExactly()
    {
        Window window(FreshTable());
        QVERIFY(window.open());
        QTableWidget* grid = window.grid();
        QCOMPARE(grid->geometry(), QRect(19, 22, 301, 344));
        QCOMPARE(grid->rowCount(), 20);
        QCOMPARE(grid->columnCount(), 3);
        QVERIFY(grid->horizontalHeader()->isHidden());
        QVERIFY(grid->verticalHeader()->isHidden());
        QVERIFY(!grid->verticalScrollBar()->isVisible());
        QVERIFY(!grid->horizontalScrollBar()->isVisible());
        // Each rank label sits beside its row: 16 pixels of row and a 1-pixel grid line.
        const int viewportTop = grid->mapTo(&window.form, grid->viewport()->geometry().topLeft()).y();
        for (int row = 0; row < 20; ++row) {
            QCOMPARE(grid->rowViewportPosition(row), 17 * row);
            auto* rank = window.form.findChild<QLabel*>(QStringLiteral("Label%1").arg(row + 1));
            QCOMPARE(rank->geometry(), QRect(3, 25 + 17 * row, 15, 13));
            QCOMPARE(rank->text(), QString::number(row + 1) + QChar(0xB0));
            QVERIFY(rank->y() >= viewportTop + 17 * row && rank->geometry().bottom() < viewportTop + 17 * row + 17);
        }
        QCOMPARE(grid->viewport()->height(), 20 * 17);
        QCOMPARE(grid->columnWidth(0) + grid->columnWidth(1) + grid->columnWidth(2), grid->viewport()->width());
        QCOMPARE(QList<int>({grid->columnWidth(0), grid->columnWidth(1), grid->columnWidth(2)}),
                 QList<int>({181, 41, 75}));
        QCOMPARE(window.form.SchemeLabel(1, 1)->geometry(), QRect(332, 28, 19, 19));
        QCOMPARE(window.form.SchemeLabel(10, 10)->geometry(), QRect(521, 217, 19, 19));
        QCOMPARE(window.form.SchemeLabel(4, 7)->objectName(), QStringLiteral("lb0407"));
        QCOMPARE(window.form.size(), QSize(553, 376));
        QVERIFY(!(window.form.windowFlags() & Qt::WindowMaximizeButtonHint));
    }

    void rowsAreNeitherEditableNorMultiplySelected()
    {
        BestTable table = FreshTable();
        table.ByRank(3) = Game("Ann", 10, EncodeDate(2024, 3, 5));
        Window window(table);
        QVERIFY(window.open());
        window.clickRow(2);
        QTest::mouseDClick(window.grid()->viewport(), Qt::LeftButton, {},
                           window.grid()->visualItemRect(window.grid()->item(2, 0)).center());
        QTest::keyClick(window.grid(), Qt::Key_F2);
        QVERIFY(!window.grid()->findChild<QLineEdit*>());
        QTest::keyClick(window.grid(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(window.grid()->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(window.grid()->selectionModel()->selectedIndexes().size(), 3);
        QCOMPARE(window.cell(2, 0), QStringLiteral("Ann"));
    }
};

QTEST_MAIN(MiglioriTest)
#include "MiglioriTest.moc"
