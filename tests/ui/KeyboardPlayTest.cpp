// Playing without a mouse: the board's keyboard cursor, the command keys, and the actions that
// assistive technology calls, held against what the mouse does.
#include "EndOfGameTestSupport.h"
#include "ModalWatch.h"

#include "core/CellId.h"
#include "core/Colors.h"
#include "ui/BoardCursor.h"
#include "ui/Startup.h"
#include "ui/Unit1.h"
#include "ui/UnitFinePartita.h"
#include "ui/UnitMigliori.h"
#include "ui/widgets/KeyboardCursorFrame.h"
#include "ui/widgets/TFlatSpeedButton.h"

#include <QAccessible>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace tovra;
using namespace endofgame;

namespace {
QColor Q(Color c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

// Keys as written in the help, one after the other: "Down Down Ctrl+End Space".
void Keys(QWidget* target, const QString& keys)
{
    for (const QString& name : keys.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QKeySequence sequence = QKeySequence::fromString(name, QKeySequence::PortableText);
        QVERIFY2(sequence.count() == 1, qPrintable(name));
        QTest::keyClick(target, sequence[0].key(), sequence[0].keyboardModifiers());
    }
}

// Arrow keys that take the cursor from (row, column) to the cell `id`; row and column follow.
QString ArrowsTo(int& row, int& column, const QString& id)
{
    QStringList keys;
    const int toRow = CellRow(id.toStdString());
    const int toColumn = CellColumn(id.toStdString());
    for (; row < toRow; ++row) keys << "Down";
    for (; row > toRow; --row) keys << "Up";
    for (; column < toColumn; ++column) keys << "Right";
    for (; column > toColumn; --column) keys << "Left";
    return keys.join(QLatin1Char(' '));
}

QAccessibleActionInterface* Actions(QObject* object)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->actionInterface() : nullptr;
}

// Runs the calls already queued on this thread, such as the press an accessibility action leaves
// for the event loop: a call queued the same way after them comes back after them. False when it
// has not come back within the usual five seconds.
bool RunQueuedCalls(QObject* context)
{
    bool ran = false;
    QTimer::singleShot(0, context, [&ran] { ran = true; });
    return QTest::qWaitFor([&ran] { return ran; });
}

// Writes what a button reports to its window into `log`, as "down(L)", "click", "up(R)".
void LogInto(QStringList& log, TFlatSpeedButton* button)
{
    auto which = [](Qt::MouseButton b) { return b == Qt::LeftButton ? QStringLiteral("L") : QStringLiteral("R"); };
    QObject::connect(button, &TFlatSpeedButton::OnMouseDown, button,
                     [&log, which](TFlatSpeedButton*, Qt::MouseButton b) { log << "down(" + which(b) + ")"; });
    QObject::connect(button, &TFlatSpeedButton::OnClick, button, [&log] { log << "click"; });
    QObject::connect(button, &TFlatSpeedButton::OnMouseUp, button,
                     [&log, which](TFlatSpeedButton*, Qt::MouseButton b) { log << "up(" + which(b) + ")"; });
}

enum class Driver { Mouse, Keys, Accessibility };

// A key event as the X server sends it, with its time in milliseconds.
void SendKey(QWidget* target, QEvent::Type type, int key, const QString& text, quint64 time)
{
    QKeyEvent event(type, key, Qt::NoModifier, text);
    event.setTimestamp(time);
    QApplication::sendEvent(target, &event);
}
// Notes whether each key press that reaches the watched widget is marked as a repeat.
class PressLog : public QObject {
public:
    QList<bool> repeats;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            repeats << static_cast<QKeyEvent*>(event)->isAutoRepeat();
        return false;
    }
};
} // namespace

Q_DECLARE_METATYPE(Driver)

class KeyboardPlayTest : public QObject {
    Q_OBJECT

    // The file layer the windows of these tests read and write record.dat through.
    tovra::PosixFileSystem files_;

    RecordFolder folder;

    static bool open(TForm1& form)
    {
        form.show();
        form.activateWindow();
        return QTest::qWaitForWindowActive(&form);
    }
    static TFlatSpeedButton* command(TForm1& form, const char* name) { return form.findChild<TFlatSpeedButton*>(name); }
    static KeyboardCursorFrame* frame(TForm1& form) { return form.findChild<KeyboardCursorFrame*>(); }
    // The cells assistive technology is told have the focus.
    static QStringList focusedCells(TForm1& form)
    {
        QStringList focused;
        for (TFlatSpeedButton* cell : form.findChildren<TFlatSpeedButton*>(QRegularExpression("^bt\\d{4}$")))
            if (QAccessible::queryAccessibleInterface(cell)->state().focused)
                focused << cell->objectName();
        return focused;
    }

private slots:
    // The program's own start-up steps: its key handling, and what assistive technology is told
    // of the buttons.
    void initTestCase() { PrepareApplication(); }
    void init() { folder.Enter(); }
    void cleanup() { folder.Leave(); }

    void cursorShowsOnTheFirstMoveKeyAndStopsAtTheEdges_data()
    {
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("at");
        QTest::newRow("first arrow, empty board: top-left") << QStringList{} << "Right" << "bt0101";
        QTest::newRow("first arrow: on the last number") << QStringList{"bt0505", "bt0805"} << "Up" << "bt0805";
        QTest::newRow("first Page Down only shows it") << QStringList{"bt0505"} << "PgDown" << "bt0505";
        QTest::newRow("stops at the top and the left") << QStringList{} << "Up Up Left Left Down" << "bt0201";
        QTest::newRow("stops at the right and the bottom") << QStringList{"bt1009"} << "Down Right Right Down Down"
                                                           << "bt1010";
        QTest::newRow("End, Page Down, Home") << QStringList{"bt0303"} << "Left End PgDown Home" << "bt1001";
        QTest::newRow("Ctrl+End, Page Up") << QStringList{} << "Down Ctrl+End PgUp" << "bt0110";
        QTest::newRow("Ctrl+Home") << QStringList{"bt0909"} << "Down Ctrl+Home" << "bt0101";
        QTest::newRow("Space alone shows nothing") << QStringList{} << "Space Return Menu" << "";
    }
    void cursorShowsOnTheFirstMoveKeyAndStopsAtTheEdges()
    {
        QFETCH(QStringList, numbers);
        QFETCH(QString, keys);
        QFETCH(QString, at);
        TForm1 form(files_);
        QVERIFY(open(form));
        for (const QString& id : numbers)
            QTest::mouseClick(form.CellButton(id), Qt::LeftButton);
        QVERIFY(!frame(form)->isVisible());

        Keys(&form, keys);

        QCOMPARE(form.Game().MoveCount, std::uint8_t(numbers.size())); // moving places nothing
        if (at.isEmpty()) {
            QVERIFY(!frame(form)->isVisible());
            QVERIFY(focusedCells(form).isEmpty());
            return;
        }
        QCOMPARE(form.Cursor().Cell()->objectName(), at);
        QCOMPARE(focusedCells(form), QStringList{at});
        QVERIFY(frame(form)->isVisible());
        // The ring lies on the grid line around the cell and on the cell's edge, in its own colour.
        const QRect cell = form.CellButton(at)->geometry();
        QCOMPARE(frame(form)->geometry(), cell.adjusted(-1, -1, 1, 1));
        const QImage shot = form.CellButton(at)->parentWidget()->grab().toImage();
        QCOMPARE(shot.pixelColor(cell.left() - 1, cell.center().y()), KeyboardCursorFrame::RingColor);
        QCOMPARE(shot.pixelColor(cell.right(), cell.center().y()), KeyboardCursorFrame::RingColor);
        QCOMPARE(shot.pixelColor(cell.left() + 2, cell.top() + 2), form.CellButton(at)->Color());
    }

    // Keys, accessibility actions and the mouse give a cell and a command button the same
    // handler calls; the mouse never shows the cursor.
    void everyWayOfPressingReportsWhatTheMouseDoes_data()
    {
        QTest::addColumn<Driver>("driver");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("expected");
        QTest::newRow("mouse, left") << Driver::Mouse << "L" << "bt0505" << "down(L),click,up(L)";
        QTest::newRow("mouse, right") << Driver::Mouse << "R" << "bt0505" << "down(R),up(R)";
        QTest::newRow("mouse, command") << Driver::Mouse << "L" << "BtnMosse" << "down(L),up(L),click";
        QTest::newRow("Space") << Driver::Keys << "Space" << "bt0505" << "down(L),click,up(L)";
        QTest::newRow("Return") << Driver::Keys << "Return" << "bt0505" << "down(L),click,up(L)";
        QTest::newRow("keypad Enter") << Driver::Keys << "Enter" << "bt0505" << "down(L),click,up(L)";
        QTest::newRow("context-menu key") << Driver::Keys << "Menu" << "bt0505" << "down(R),up(R)";
        QTest::newRow("Shift+F10") << Driver::Keys << "Shift+F10" << "bt0505" << "down(R),up(R)";
        QTest::newRow("Ctrl+H") << Driver::Keys << "Ctrl+H" << "BtnMosse" << "down(L),up(L),click";
        QTest::newRow("Ctrl+Z") << Driver::Keys << "Ctrl+Z" << "BtnUndo1" << "down(L),up(L),click";
        QTest::newRow("Ctrl+M") << Driver::Keys << "Ctrl+M" << "BtnUndoMarcato" << "down(L),up(L),click";
        QTest::newRow("press action") << Driver::Accessibility << "Press" << "bt0505" << "down(L),click,up(L)";
        QTest::newRow("menu action") << Driver::Accessibility << "ShowMenu" << "bt0505" << "down(R),up(R)";
        QTest::newRow("command press action") << Driver::Accessibility << "Press" << "BtnUndo1" << "down(L),up(L),click";
    }
    void everyWayOfPressingReportsWhatTheMouseDoes()
    {
        QFETCH(Driver, driver);
        QFETCH(QString, how);
        QFETCH(QString, button);
        QFETCH(QString, expected);
        QStringList log; // outlives the form and its buttons
        TForm1 form(files_);
        QVERIFY(open(form));
        // Marked, so that no command has a message box to show.
        QTest::mouseClick(form.CellButton("bt0505"), Qt::LeftButton);
        QTest::mouseClick(form.CellButton("bt0505"), Qt::RightButton);
        if (driver == Driver::Keys)
            Keys(&form, "Down"); // shows the cursor on the last number, bt0505
        auto* target = form.findChild<TFlatSpeedButton*>(button);
        LogInto(log, target);

        if (driver == Driver::Mouse) {
            QTest::mouseClick(target, how == "L" ? Qt::LeftButton : Qt::RightButton);
            QVERIFY(!frame(form)->isVisible());
            QVERIFY(focusedCells(form).isEmpty());
        } else if (driver == Driver::Keys) {
            Keys(&form, how);
        } else {
            QAccessibleActionInterface* actions = Actions(target);
            QVERIFY(actions);
            QVERIFY(actions->actionNames().contains(how));
            actions->doAction(how);
            QTRY_VERIFY(!log.isEmpty());
        }
        QCOMPARE(log.join(QLatin1Char(',')), expected);
    }

    void onlyCellsOfferTheRightPressAndCommandsTellTheirKeys()
    {
        TForm1 form(files_);
        QCOMPARE(Actions(form.CellButton("bt0707"))->actionNames(),
                 (QStringList{QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::showMenuAction()}));
        struct Expect { const char* name; const char* key; };
        for (const Expect& e : {Expect{"BtnUndo1", "Ctrl+Z"}, Expect{"BtnUndoMarcato", "Ctrl+M"}, Expect{"BtnMosse", "Ctrl+H"}}) {
            QAccessibleActionInterface* actions = Actions(command(form, e.name));
            QCOMPARE(actions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
            const QString key = QKeySequence(QString::fromLatin1(e.key)).toString(QKeySequence::NativeText);
            QCOMPARE(actions->keyBindingsForAction(QAccessibleActionInterface::pressAction()), QStringList{key});
        }
    }

    void actionsDoNotReachTheBoardBehindAModalWindow()
    {
        TForm1 form(files_);
        QVERIFY(open(form));
        bool pressed = false;
        ModalWatch watch;
        watch.WhenModal<TFormMigliori>([&](TFormMigliori* best) {
            Actions(form.CellButton("bt0505"))->doAction(QAccessibleActionInterface::pressAction());
            pressed = RunQueuedCalls(&form); // the action's own call among them
            best->close();
        });
        form.Migliori201Click();
        QVERIFY(pressed);
        QCOMPARE(form.CellButton("bt0505")->Caption(), QString());
        QVERIFY(RunQueuedCalls(&form));
        QCOMPARE(form.CellButton("bt0505")->Caption(), QString()); // not run late either
    }

    void markAndBothUndosFromTheKeyboard_data()
    {
        QTest::addColumn<QString>("rightPress");
        QTest::newRow("context-menu key") << "Menu";
        QTest::newRow("Shift+F10") << "Shift+F10";
    }
    void markAndBothUndosFromTheKeyboard()
    {
        QFETCH(QString, rightPress);
        TForm1 form(files_);
        QVERIFY(open(form));
        int row = 1;
        int column = 1;
        Keys(&form, "Down"); // shows the cursor top-left
        for (const char* id : {"bt0505", "bt0805", "bt0802", "bt0502", "bt0202"}) {
            Keys(&form, ArrowsTo(row, column, id) + (row % 2 ? " Space" : " Return"));
            QCOMPARE(form.Cursor().Cell()->objectName(), QString(id)); // follows the number placed
        }
        QCOMPARE(form.Game().MoveCount, std::uint8_t(5));

        Keys(&form, ArrowsTo(row, column, "bt0805") + " " + rightPress);
        QCOMPARE(form.CellButton("bt0805")->Color(), Q(MarkColor));
        Keys(&form, "Ctrl+Z");
        QCOMPARE(form.Game().MoveCount, std::uint8_t(4));
        QCOMPARE(form.CellButton("bt0202")->Caption(), QString());
        Keys(&form, "Ctrl+M");
        QCOMPARE(form.Game().MoveCount, std::uint8_t(2));
        QCOMPARE(form.CellButton("bt0802")->Caption(), QString());
        QCOMPARE(form.CellButton("bt0805")->Color(), Q(MarkColor));
        Keys(&form, "Ctrl+H");
        QCOMPARE(form.CellButton("bt0607")->Color(), Q(HintColor));
        Keys(&form, rightPress);
        QCOMPARE(form.CellButton("bt0805")->Color(), Q(NumberColor));
        QCOMPARE(form.Game().MarkedCell.Id(), std::string());
    }

    // The cursor hears of every change of the board, whoever made it: numbers the mouse places
    // elsewhere leave it where it is, and any undo that empties its cell, by the mouse too,
    // takes it to the last number.
    void cursorFollowsOnlyTheUndoOfItsOwnCellWhateverMadeIt()
    {
        TForm1 form(files_);
        QVERIFY(open(form));
        auto* undo = form.findChild<TFlatSpeedButton*>("BtnUndo1");
        Keys(&form, "Down Space"); // 1 on bt0101, under the cursor
        QTest::mouseClick(form.CellButton("bt0104"), Qt::LeftButton);
        QTest::mouseClick(form.CellButton("bt0404"), Qt::LeftButton);
        QCOMPARE(form.Cursor().Cell()->objectName(), QString("bt0101"));
        Keys(&form, "Down"); // onto bt0201, empty
        QTest::mouseClick(form.CellButton("bt0704"), Qt::LeftButton);
        QTest::mouseClick(form.CellButton("bt0909"), Qt::LeftButton); // not a move: nothing
        QCOMPARE(form.Game().MoveCount, std::uint8_t(4));
        QCOMPARE(form.Cursor().Cell()->objectName(), QString("bt0201")); // an empty cell stays
        Keys(&form, "Down Down Right Right Right"); // onto bt0404, number 3
        QTest::mouseClick(undo, Qt::LeftButton);
        QCOMPARE(form.Cursor().Cell()->objectName(), QString("bt0404")); // its number is still there
        QTest::mouseClick(undo, Qt::LeftButton);
        QCOMPARE(form.CellButton("bt0404")->Caption(), QString());
        QCOMPARE(form.Cursor().Cell()->objectName(), QString("bt0104")); // number 2, now the last
    }

    // A whole game with no mouse at all, ranked, named and stored; once by keys, once by the
    // actions a screen reader calls.
    void aWholeGameIsStoredWithoutTheMouse_data()
    {
        QTest::addColumn<Driver>("driver");
        QTest::newRow("keys") << Driver::Keys;
        QTest::newRow("accessibility actions") << Driver::Accessibility;
    }
    void aWholeGameIsStoredWithoutTheMouse()
    {
        QFETCH(Driver, driver);
        TForm1 form(files_);
        QVERIFY(open(form));
        const bool keys = driver == Driver::Keys;
        QStringList seen;
        ModalWatch watch;
        watch.WhenModal<TFormFinePartita>([&](TFormFinePartita* dialog) {
            seen << "dialog";
            watch.WhenModal<TFormMigliori>([&](TFormMigliori* best) {
                seen << best->findChild<QTableWidget*>("SgMigliori")->item(0, 0)->text();
                if (keys)
                    Keys(best, "Esc");
                else
                    Actions(best->findChild<TFlatSpeedButton*>("BtnEsci"))->doAction("Press");
            });
            auto* name = dialog->findChild<QLineEdit*>("EditNome");
            if (keys) {
                QTRY_COMPARE(QApplication::focusWidget(), name);
                QTest::keyClicks(name, "Kb");
                Keys(name, "Return");
            } else {
                QAccessible::queryAccessibleInterface(name)->editableTextInterface()->insertText(0, "Kb");
                Actions(dialog->findChild<TFlatSpeedButton*>("BtnOk"))->doAction("Press");
            }
        });

        int row = 1;
        int column = 1;
        if (keys)
            Keys(&form, "Right"); // shows the cursor top-left
        for (int number = 1; number <= 12; ++number) {
            const char* id = ShortGame[number - 1];
            if (keys)
                Keys(&form, ArrowsTo(row, column, id) + " Space");
            else
                Actions(form.CellButton(id))->doAction("Press");
            // The last number opens both windows, and the new game after them clears the board.
            QTRY_VERIFY(form.CellButton(id)->Caption() == QString::number(number) || seen.size() == 2);
        }
        QTRY_COMPARE(seen, (QStringList{"dialog", "Kb"}));
        QCOMPARE(form.Game().MoveCount, std::uint8_t(0)); // the new game after both windows
        const QByteArray stored = ReadRecordFile();
        QCOMPARE(stored.size(), 2880);
        QCOMPARE(stored.left(3), QByteArray("\x02Kb"));
        QCOMPARE(int(stored[31]), 12);
    }

    // Only a press at the very time its own key was released is a repeat. (The filter lives as
    // long as the program, so each row has times of its own.)
    void onlyAPressAtItsKeysReleaseTimeIsARepeat_data()
    {
        QTest::addColumn<int>("releasedKey");
        QTest::addColumn<quint64>("releasedAt");
        QTest::addColumn<quint64>("pressedAt");
        QTest::addColumn<bool>("repeat");
        QTest::newRow("same key, same time") << int(Qt::Key_Space) << quint64(500) << quint64(500) << true;
        QTest::newRow("same key, a fresh press later") << int(Qt::Key_Space) << quint64(1500) << quint64(1620) << false;
        QTest::newRow("another key let go at that time") << int(Qt::Key_A) << quint64(2500) << quint64(2500) << false;
        QTest::newRow("made-up events without a time") << int(Qt::Key_Space) << quint64(0) << quint64(0) << false;
    }
    void onlyAPressAtItsKeysReleaseTimeIsARepeat()
    {
        QFETCH(int, releasedKey);
        QFETCH(quint64, releasedAt);
        QFETCH(quint64, pressedAt);
        QFETCH(bool, repeat);
        QWidget target;
        PressLog log;
        target.installEventFilter(&log);
        SendKey(&target, QEvent::KeyRelease, releasedKey, " ", releasedAt);
        SendKey(&target, QEvent::KeyPress, Qt::Key_Space, " ", pressedAt);
        QCOMPARE(log.repeats, QList<bool>{repeat});
        // A held shortcut key fires once: its repeats are claimed before any shortcut sees them.
        QKeyEvent shortcut(QEvent::ShortcutOverride, Qt::Key_Space, Qt::NoModifier, " ");
        shortcut.setTimestamp(pressedAt);
        shortcut.ignore();
        QApplication::sendEvent(&target, &shortcut);
        QCOMPARE(shortcut.isAccepted(), repeat);
    }

    // The X server repeats a held key as a release and a press at one time, which the toolkit
    // takes for fresh presses under a window manager. The Space or Enter that placed the last
    // number and is still held must neither type into the name box nor answer the dialog; the
    // next real press does.
    void aHeldKeyThatEndsTheGameNeverReachesTheDialog_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("Space") << int(Qt::Key_Space) << " ";
        QTest::newRow("Enter") << int(Qt::Key_Return) << "\r";
    }
    void aHeldKeyThatEndsTheGameNeverReachesTheDialog()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        TForm1 form(files_);
        QVERIFY(open(form));
        QStringList seen;
        ModalWatch watch;
        watch.WhenModal<TFormFinePartita>([&](TFormFinePartita* dialog) {
            auto* name = dialog->findChild<QLineEdit*>("EditNome");
            QTRY_COMPARE(QApplication::focusWidget(), name);
            for (quint64 time = 10700; time <= 10900; time += 40) {
                SendKey(name, QEvent::KeyRelease, key, text, time);
                SendKey(name, QEvent::KeyPress, key, text, time);
            }
            SendKey(name, QEvent::KeyRelease, key, text, 10930); // let go at last
            seen << (dialog->isVisible() ? "open" : "answered") << "name '" + name->text() + "'";
            watch.WhenModal<TFormMigliori>([&](TFormMigliori* best) { Keys(best, "Esc"); });
            SendKey(name, QEvent::KeyPress, Qt::Key_Return, "\r", 11500);
        });

        int row = 1;
        int column = 1;
        Keys(&form, "Right");
        for (int number = 1; number <= 11; ++number)
            Keys(&form, ArrowsTo(row, column, ShortGame[number - 1]) + " Space");
        Keys(&form, ArrowsTo(row, column, ShortGame[11]));
        SendKey(&form, QEvent::KeyPress, key, text, 10000); // held from here on

        QTRY_COMPARE(seen, (QStringList{"open", "name ''"}));
        QTRY_COMPARE(form.Game().MoveCount, std::uint8_t(0));
        const QByteArray stored = ReadRecordFile();
        QCOMPARE(int(stored[0]), 0); // an empty name: the fresh press after the release stored it
        QCOMPARE(int(stored[31]), 12);
    }
};

QTEST_MAIN(KeyboardPlayTest)
#include "KeyboardPlayTest.moc"
