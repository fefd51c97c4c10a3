// One contract for every BoardView: the same cases run over the in-memory board (on which the
// rule tests play) and the widget board (on which the player plays), so the two cannot drift apart.
#include "core/BoardTraversal.h"
#include "core/Colors.h"
#include "core/InMemoryBoard.h"
#include "ui/WidgetBoardView.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <memory>
#include <set>
#include <stdexcept>

using namespace tovra;

namespace {
// A board under test, with what BoardView itself does not read back: bold and the panel texts.
class Subject {
public:
    virtual ~Subject() = default;
    virtual BoardView& View() = 0;
    virtual bool Bold(Cell cell) = 0;
    virtual std::string PanelText(Panel panel) = 0;
};

class InMemorySubject : public Subject {
public:
    BoardView& View() override { return board_; }
    bool Bold(Cell cell) override { return board_.At(board_.CellId(cell)).bold; }
    std::string PanelText(Panel panel) override { return board_.PanelText(panel); }

private:
    InMemoryBoard board_;
};

// The kinds of widget the main window hands its board: 100 cell buttons named by their
// identifiers, two status labels and the clock timer.
class WidgetSubject : public Subject {
public:
    WidgetSubject()
        : scorePanel_(new QLabel(&window_))
        , timePanel_(new QLabel(&window_))
        , view_(MakeCells(window_), scorePanel_, timePanel_, &clock_, &window_)
    {
    }
    BoardView& View() override { return view_; }
    bool Bold(Cell cell) override { return view_.Button(cell)->Bold(); }
    std::string PanelText(Panel panel) override
    {
        return (panel == Panel::ScorePanel ? scorePanel_ : timePanel_)->text().toStdString();
    }

private:
    static std::vector<TFlatSpeedButton*> MakeCells(QWidget& parent)
    {
        std::vector<TFlatSpeedButton*> cells;
        ForEachCellId([&](const std::string& id, int, int) {
            auto* cell = new TFlatSpeedButton(&parent);
            cell->setObjectName(QString::fromStdString(id));
            cells.push_back(cell);
        });
        return cells;
    }

    QWidget window_;
    QLabel* scorePanel_;
    QLabel* timePanel_;
    QTimer clock_;
    WidgetBoardView view_;
};

std::unique_ptr<Subject> MakeSubject(const QString& board)
{
    if (board == QLatin1String("in memory"))
        return std::make_unique<InMemorySubject>();
    return std::make_unique<WidgetSubject>();
}
} // namespace

// Every case runs once per board (Qt Test's global data), on a fresh board.
class BoardViewContractTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Subject> subject;

    BoardView& view() { return subject->View(); }

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<QString>("board");
        QTest::newRow("in memory") << QString("in memory");
        QTest::newRow("widgets") << QString("widgets");
    }
    void init()
    {
        QFETCH_GLOBAL(QString, board);
        subject = MakeSubject(board);
    }
    void cleanup() { subject.reset(); }

    void everyIdentifierFindsItsOwnCell()
    {
        std::set<int> found;
        ForEachCellId([&](const std::string& id, int, int) {
            const Cell cell = view().FindCell(id);
            QCOMPARE(view().CellId(cell), id);
            found.insert(cell.slot);
        });
        QCOMPARE(found.size(), std::size_t(100));
    }

    void unknownIdentifiersAreRefused_data()
    {
        QTest::addColumn<QString>("id");
        for (const char* id : {"", "bt0000", "bt1101", "bt0111", "lb0101", "bt010", "bt01010"})
            QTest::addRow("'%s'", id) << QString::fromLatin1(id);
    }
    void unknownIdentifiersAreRefused()
    {
        QFETCH(QString, id);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, view().FindCell(id.toStdString()));
    }

    void captionsReadBackAsSetAndTouchNoOtherCell_data()
    {
        QTest::addColumn<QString>("caption");
        for (const char* caption : {"1", "27", "100", ""})
            QTest::addRow("'%s'", caption) << QString::fromLatin1(caption);
    }
    void captionsReadBackAsSetAndTouchNoOtherCell()
    {
        QFETCH(QString, caption);
        const Cell cell = view().FindCell("bt0310");
        const Cell neighbour = view().FindCell("bt0309");
        view().SetCaption(neighbour, "5");
        view().SetCaption(cell, "99"); // overwritten below
        view().SetCaption(cell, caption.toStdString());
        QCOMPARE(view().Caption(cell), caption.toStdString());
        QCOMPARE(view().Caption(neighbour), std::string("5"));
        QCOMPARE(view().CellColor(cell), view().CellColor(neighbour)); // a caption leaves the colour
        QVERIFY(!subject->Bold(cell));
    }

    void coloursReadBackExactly_data()
    {
        QTest::addColumn<quint32>("color");
        for (Color color :
             {FreeColor, ResetColor, NumberColor, HintColor, MarkColor, Color(0x010203), Color(0xFFFFFF), Color(0)})
            QTest::addRow("0x%06x", unsigned(color)) << quint32(color);
    }
    void coloursReadBackExactly()
    {
        QFETCH(quint32, color);
        const Cell cell = view().FindCell("bt0707");
        const Cell other = view().FindCell("bt1010");
        view().SetCellColor(other, HintColor);
        view().SetCaption(cell, "12");
        view().SetCellColor(cell, Color(color));
        QCOMPARE(quint32(view().CellColor(cell)), color);
        QCOMPARE(quint32(view().CellColor(other)), quint32(HintColor));
        QCOMPARE(view().Caption(cell), std::string("12")); // a colour leaves the caption
    }

    void boldIsPerCellAndLeavesCaptionAndColour()
    {
        const Cell last = view().FindCell("bt0805");
        const Cell before = view().FindCell("bt0505");
        view().SetCaption(last, "2");
        view().SetCellColor(last, NumberColor);
        view().SetBold(before, true);
        view().SetBold(last, true);
        view().SetBold(before, false);
        QVERIFY(subject->Bold(last));
        QVERIFY(!subject->Bold(before));
        QCOMPARE(view().Caption(last), std::string("2"));
        QCOMPARE(view().CellColor(last), NumberColor);
        view().SetBold(last, false);
        QVERIFY(!subject->Bold(last));
    }

    void panelsHoldTheirOwnText_data()
    {
        QTest::addColumn<int>("panel");
        QTest::addColumn<QString>("text");
        QTest::newRow("score") << int(Panel::ScorePanel) << QString(" Score: 42");
        QTest::newRow("time") << int(Panel::TimePanel) << QString(" Time: 1.02.05");
        QTest::newRow("blank score") << int(Panel::ScorePanel) << QString();
        QTest::newRow("blank time") << int(Panel::TimePanel) << QString();
    }
    void panelsHoldTheirOwnText()
    {
        QFETCH(int, panel);
        QFETCH(QString, text);
        const Panel set = Panel(panel);
        const Panel other = set == Panel::ScorePanel ? Panel::TimePanel : Panel::ScorePanel;
        view().SetPanelText(other, "other");
        view().SetPanelText(set, "before");
        view().SetPanelText(set, text.toStdString());
        QCOMPARE(subject->PanelText(set), text.toStdString());
        QCOMPARE(subject->PanelText(other), std::string("other"));
    }

    void clockStartsAndStops()
    {
        QVERIFY(!view().ClockEnabled());
        view().SetClockEnabled(true);
        view().SetClockEnabled(true);
        QVERIFY(view().ClockEnabled());
        view().SetClockEnabled(false);
        QVERIFY(!view().ClockEnabled());
    }
};

QTEST_MAIN(BoardViewContractTest)
#include "BoardViewContractTest.moc"
