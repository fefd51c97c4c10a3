// Order of press, click and release, click repetition, hover and keyboard of the flat button.

#include "ButtonTestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QScopeGuard>
#include <QTestEventList>
#include <QTimer>

using namespace buttontest;

class TFlatSpeedButtonEventsTest : public QObject {
    Q_OBJECT

private slots:
    void eventSequence_data();
    void eventSequence();
    void mouseEventsReportButtonRelativePositionAndModifiers();
    void heldCellClicksAtPressThenAfterDelayThenEveryInterval();
    void heldCommandButtonClicksOnlyAfterRelease();
    void cellSlidOffPastTheFirstTickResumesClickingWhenBackOn();
    void pressHandlersRunBeforeThePushedLook_data();
    void pressHandlersRunBeforeThePushedLook();
    void releaseHandlerRunsBeforeThePressIsFinished_data();
    void releaseHandlerRunsBeforeThePressIsFinished();
    void clicksRepeatInsideModalDialogOpenedOnReleaseAndStopAfter();
    void pointerEnteringMakesHotAndLeavingMakesUp();
    void hoverTimerCatchesPointerThatLeftWithoutNotice();
    void hoverDoesNotDisturbAPressInProgress();
    void keyboardNeverClicks_data();
    void keyboardNeverClicks();
    void buttonHasNoNativeWindowAndTakesNoFocus();
};

namespace {

QTestEventList leftClickOn()
{
    QTestEventList events;
    events.addMousePress(Qt::LeftButton);
    events.addMouseRelease(Qt::LeftButton);
    return events;
}

QTestEventList leftPressOnReleaseOff()
{
    QTestEventList events;
    events.addMousePress(Qt::LeftButton);
    events.addMouseMove(OffButton);
    events.addMouseRelease(Qt::LeftButton, {}, OffButton);
    return events;
}

QTestEventList slideOffAndBackOn()
{
    QTestEventList events;
    events.addMousePress(Qt::LeftButton);
    events.addMouseMove(OffButton);
    events.addMouseMove(QPoint(3, 3));
    events.addMouseRelease(Qt::LeftButton, {}, QPoint(3, 3));
    return events;
}

QTestEventList clickOf(Qt::MouseButton button)
{
    QTestEventList events;
    events.addMousePress(button);
    events.addMouseRelease(button);
    return events;
}

// What the toolkit delivers for a double click: press, release, double-click, release.
QTestEventList doubleClickOf(Qt::MouseButton button)
{
    QTestEventList events;
    events.addMouseClick(button);
    events.addMouseDClick(button);
    events.addMouseRelease(button);
    return events;
}

QTestEventList rightClickWhileLeftHeld()
{
    QTestEventList events;
    events.addMousePress(Qt::LeftButton);
    events.addMousePress(Qt::RightButton);
    events.addMouseRelease(Qt::RightButton);
    events.addMouseRelease(Qt::LeftButton);
    return events;
}

} // namespace

void TFlatSpeedButtonEventsTest::eventSequence_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QTestEventList>("input");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<State>("finalState");

    struct Row {
        const char* situation;
        QTestEventList input;
        const char* cell;
        const char* command;
        State finalState;
    };
    const Row rows[] = {
        {"left click on the button", leftClickOn(),
         "down(L),click,up(L)", "down(L),up(L),click", State::Hot},
        {"left press on, release off", leftPressOnReleaseOff(),
         "down(L),click,up(L)", "down(L),up(L)", State::Up},
        {"slide off and back on before the release", slideOffAndBackOn(),
         "down(L),click,up(L)", "down(L),up(L),click", State::Hot},
        {"right click", clickOf(Qt::RightButton),
         "down(R),up(R)", "down(R),up(R)", State::Up},
        {"middle click", clickOf(Qt::MiddleButton),
         "down(M),up(M)", "down(M),up(M)", State::Up},
        {"left double click", doubleClickOf(Qt::LeftButton),
         "down(L),click,up(L),down(L),click,up(L)",
         "down(L),up(L),click,down(L),up(L),click", State::Hot},
        {"right double click", doubleClickOf(Qt::RightButton),
         "down(R),up(R),down(R),up(R)", "down(R),up(R),down(R),up(R)", State::Up},
        // The right release ends the left press; the left release is then only reported.
        {"right click while left held", rightClickWhileLeftHeld(),
         "down(L),click,down(R),up(R),up(L)", "down(L),down(R),up(R),click,up(L)", State::Hot},
    };
    for (const Row& row : rows) {
        QTest::addRow("cell: %s", row.situation) << Kind::Cell << row.input << QString::fromLatin1(row.cell) << row.finalState;
        QTest::addRow("command button: %s", row.situation) << Kind::Command << row.input << QString::fromLatin1(row.command) << row.finalState;
    }
}

void TFlatSpeedButtonEventsTest::eventSequence()
{
    QFETCH(Kind, kind);
    QFETCH(QTestEventList, input);
    QFETCH(QString, expected);
    QFETCH(State, finalState);

    Stage stage(kind);
    QVERIFY(stage.exposed());
    // No repeat tick may fall inside these quick sequences.
    stage.button->SetRepeatingDelay(60000);

    input.simulate(stage.button);

    QCOMPARE(stage.log.sequence(), expected);
    QCOMPARE(stage.button->State(), finalState);
    QVERIFY(!stage.button->PressActive());
    QVERIFY(!stage.button->RepeatTimerActive());
}

void TFlatSpeedButtonEventsTest::mouseEventsReportButtonRelativePositionAndModifiers()
{
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    QStringList reports;
    auto report = [&](const char* what) {
        return [&reports, what](TFlatSpeedButton* sender, Qt::MouseButton, Qt::KeyboardModifiers shift, int x, int y) {
            reports << QStringLiteral("%1 %2 %3,%4 shift=%5")
                           .arg(QLatin1String(what), sender->objectName())
                           .arg(x).arg(y).arg(shift.testFlag(Qt::ShiftModifier));
        };
    };
    connect(stage.button, &TFlatSpeedButton::OnMouseDown, this, report("down"));
    connect(stage.button, &TFlatSpeedButton::OnMouseUp, this, report("up"));

    QTest::mousePress(stage.button, Qt::LeftButton, Qt::ShiftModifier, QPoint(4, 7));
    QTest::mouseRelease(stage.button, Qt::LeftButton, {}, QPoint(-6, 30));

    QCOMPARE(reports, (QStringList{"down bt0101 4,7 shift=1", "up bt0101 -6,30 shift=0"}));
}

void TFlatSpeedButtonEventsTest::heldCellClicksAtPressThenAfterDelayThenEveryInterval()
{
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    const int delay = 300;
    const int interval = 20;
    stage.button->SetRepeatingDelay(delay);
    stage.button->SetRepeatingInterval(interval);

    QTest::mousePress(stage.button, Qt::LeftButton);
    QCOMPARE(stage.log.sequence(), QStringLiteral("down(L),click"));
    QCOMPARE(stage.button->State(), State::Pushed);
    QTRY_VERIFY_WITH_TIMEOUT(stage.log.clicks() >= 4, 10000);
    QTest::mouseRelease(stage.button, Qt::LeftButton);

    const QList<qint64>& at = stage.log.clickTimes;
    // Ordinary event-loop timers may fire a little early.
    QVERIFY2(at[1] - at[0] >= delay * 9 / 10, qPrintable(QStringLiteral("first repeat after %1 ms").arg(at[1] - at[0])));
    // After the first repeat the shorter interval applies.
    QVERIFY2(at[2] - at[1] < delay, qPrintable(QStringLiteral("second repeat after %1 ms").arg(at[2] - at[1])));
    QVERIFY(at[3] - at[2] < delay);

    QStringList expected{"down(L)"};
    for (int i = 0; i < stage.log.clicks(); ++i)
        expected << "click";
    expected << "up(L)";
    QCOMPARE(stage.log.events, expected);

    // The release stopped the repetition for good.
    QVERIFY(!stage.button->RepeatTimerActive());
    const int clicksAtRelease = stage.log.clicks();
    QVERIFY(WaitTimerTicks(5, interval));
    QCOMPARE(stage.log.clicks(), clicksAtRelease);
}

void TFlatSpeedButtonEventsTest::heldCommandButtonClicksOnlyAfterRelease()
{
    Stage stage(Kind::Command);
    QVERIFY(stage.exposed());
    stage.button->SetRepeatingDelay(20);
    stage.button->SetRepeatingInterval(10);

    QTest::mousePress(stage.button, Qt::LeftButton);
    QVERIFY(!stage.button->RepeatTimerActive());
    QVERIFY(WaitTimerTicks(5, 20)); // the delay and several intervals
    QTest::mouseRelease(stage.button, Qt::LeftButton);

    QCOMPARE(stage.log.sequence(), QStringLiteral("down(L),up(L),click"));
}

void TFlatSpeedButtonEventsTest::cellSlidOffPastTheFirstTickResumesClickingWhenBackOn()
{
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    stage.button->SetRepeatingDelay(50);
    stage.button->SetRepeatingInterval(10);

    QTest::mousePress(stage.button, Qt::LeftButton);
    QTest::mouseMove(stage.button, OffButton);
    QCOMPARE(stage.button->State(), State::Up);
    QVERIFY(stage.button->PressActive());
    // Ticks that find the pointer off the cell click nothing.
    QVERIFY(WaitTimerTicks(4, 50)); // the delay and many intervals
    QCOMPARE(stage.log.clicks(), 1);

    QTest::mouseMove(stage.button, QPoint(5, 5));
    QCOMPARE(stage.button->State(), State::Pushed);
    QTRY_VERIFY(stage.log.clicks() >= 3);
    QTest::mouseRelease(stage.button, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(stage.log.events.last(), QStringLiteral("up(L)"));
}

void TFlatSpeedButtonEventsTest::pressHandlersRunBeforeThePushedLook_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("expected");

    // A cell's click at the press comes with the press accepted, before the timer and the look.
    QTest::newRow("cell") << Kind::Cell
                          << "down: Up active=0 timer=0; click: Up active=1 timer=0; pushed at once: 1";
    QTest::newRow("command button") << Kind::Command << "down: Up active=0 timer=0; pushed at once: 1";
}

void TFlatSpeedButtonEventsTest::pressHandlersRunBeforeThePushedLook()
{
    QFETCH(Kind, kind);
    QFETCH(QString, expected);

    Stage stage(kind);
    QVERIFY(stage.exposed());
    QApplication::processEvents();
    QStringList seen;
    auto note = [&](const char* what, TFlatSpeedButton* sender) {
        seen << QStringLiteral("%1: %2 active=%3 timer=%4")
                    .arg(QLatin1String(what))
                    .arg(sender->State() == State::Up ? "Up" : sender->State() == State::Hot ? "Hot" : "Pushed")
                    .arg(sender->PressActive())
                    .arg(sender->RepeatTimerActive());
    };
    connect(stage.button, &TFlatSpeedButton::OnMouseDown, this,
            [&](TFlatSpeedButton* sender, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { note("down", sender); });
    connect(stage.button, &TFlatSpeedButton::OnClick, this, [&](TFlatSpeedButton* sender) { note("click", sender); });
    PaintCounter counter;
    stage.button->installEventFilter(&counter);
    const auto release = qScopeGuard([&] { QTest::mouseRelease(stage.button, Qt::LeftButton); });

    QTest::mousePress(stage.button, Qt::LeftButton);
    seen << QStringLiteral("pushed at once: %1").arg(counter.paints);
    QCOMPARE(seen.join(QStringLiteral("; ")), expected);
}

void TFlatSpeedButtonEventsTest::releaseHandlerRunsBeforeThePressIsFinished_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QPoint>("releaseAt");
    QTest::addColumn<State>("stateInHandler");
    QTest::addColumn<bool>("repeatTimerInHandler");

    QTest::newRow("cell released on it") << Kind::Cell << QPoint(9, 9) << State::Pushed << true;
    QTest::newRow("cell released off it") << Kind::Cell << OffButton << State::Up << true;
    QTest::newRow("command button released on it") << Kind::Command << QPoint(9, 9) << State::Pushed << false;
}

void TFlatSpeedButtonEventsTest::releaseHandlerRunsBeforeThePressIsFinished()
{
    QFETCH(Kind, kind);
    QFETCH(QPoint, releaseAt);
    QFETCH(State, stateInHandler);
    QFETCH(bool, repeatTimerInHandler);

    Stage stage(kind);
    QVERIFY(stage.exposed());
    stage.button->SetRepeatingDelay(60000);
    int handlerRuns = 0;
    State seenState = State::Hot;
    bool seenTimer = !repeatTimerInHandler;
    bool seenPressActive = false;
    connect(stage.button, &TFlatSpeedButton::OnMouseUp, this, [&](TFlatSpeedButton* sender, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
        ++handlerRuns;
        seenState = sender->State();
        seenTimer = sender->RepeatTimerActive();
        seenPressActive = sender->PressActive();
    });

    QTest::mousePress(stage.button, Qt::LeftButton, {}, QPoint(9, 9));
    QTest::mouseMove(stage.button, releaseAt);
    QTest::mouseRelease(stage.button, Qt::LeftButton, {}, releaseAt);

    QCOMPARE(handlerRuns, 1);
    QCOMPARE(seenState, stateInHandler);
    QCOMPARE(seenTimer, repeatTimerInHandler);
    QVERIFY(seenPressActive);
    QVERIFY(!stage.button->RepeatTimerActive());
}

// The end of a game opens modal windows from the release handler of the cell that was
// just released; the cell's press goes on meanwhile.
void TFlatSpeedButtonEventsTest::clicksRepeatInsideModalDialogOpenedOnReleaseAndStopAfter()
{
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    stage.button->SetRepeatingDelay(50);
    stage.button->SetRepeatingInterval(10);

    int clicksWhileOpen = 0;
    bool dialogRan = false;
    QPointer<QDialog> openDialog;
    connect(stage.button, &TFlatSpeedButton::OnClick, this, [&] {
        if (!openDialog)
            return;
        if (++clicksWhileOpen == 3)
            openDialog->accept();
    });
    connect(stage.button, &TFlatSpeedButton::OnMouseUp, this, [&] {
        QDialog dialog(stage.host.get());
        openDialog = &dialog;
        QTimer::singleShot(10000, &dialog, &QDialog::reject); // never hang the suite
        dialogRan = dialog.exec() == QDialog::Accepted;
        openDialog = nullptr;
    });

    QTest::mousePress(stage.button, Qt::LeftButton);
    QTest::mouseRelease(stage.button, Qt::LeftButton);

    QVERIFY2(dialogRan, "the dialog was not closed by the repeated clicks");
    QCOMPARE(clicksWhileOpen, 3);
    const int clicksAtRelease = stage.log.clicks();
    QCOMPARE(clicksAtRelease, 1 + 3);
    QVERIFY(!stage.button->RepeatTimerActive());
    QVERIFY(WaitTimerTicks(5, 10));
    QCOMPARE(stage.log.clicks(), clicksAtRelease);
}

void TFlatSpeedButtonEventsTest::pointerEnteringMakesHotAndLeavingMakesUp()
{
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());

    QCursor::setPos(stage.centreOnScreen());
    QTRY_COMPARE(stage.button->State(), State::Hot);
    QVERIFY(stage.button->HoverTimerActive());

    QCursor::setPos(stage.host->mapToGlobal(QPoint(150, 150)));
    QTRY_COMPARE(stage.button->State(), State::Up);
    QVERIFY(!stage.button->HoverTimerActive());
    QVERIFY(stage.log.events.isEmpty());
}

namespace {
// Swallows the notices that would tell the button the pointer went away.
class LeaveSwallower : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        return event->type() == QEvent::Leave || event->type() == QEvent::MouseMove;
    }
};
} // namespace

void TFlatSpeedButtonEventsTest::hoverTimerCatchesPointerThatLeftWithoutNotice()
{
    Stage stage(Kind::Command);
    QVERIFY(stage.exposed());
    QCursor::setPos(stage.centreOnScreen());
    QTRY_COMPARE(stage.button->State(), State::Hot);

    LeaveSwallower swallower;
    stage.button->installEventFilter(&swallower);
    QCursor::setPos(stage.host->mapToGlobal(QPoint(150, 150)));
    QCOMPARE(stage.button->State(), State::Hot);

    QTRY_COMPARE(stage.button->State(), State::Up);
    QVERIFY(!stage.button->HoverTimerActive());
}

void TFlatSpeedButtonEventsTest::hoverDoesNotDisturbAPressInProgress()
{
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    stage.button->SetRepeatingDelay(60000);

    QTest::mousePress(stage.button, Qt::LeftButton);
    QVERIFY(!stage.button->HoverTimerActive());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(stage.button, &leave);
    QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(stage.button->mapToGlobal(QPoint(3, 3))));
    QCoreApplication::sendEvent(stage.button, &enter);
    QCOMPARE(stage.button->State(), State::Pushed);
    QVERIFY(stage.button->PressActive());

    QTest::mouseRelease(stage.button, Qt::LeftButton);
    QCOMPARE(stage.button->State(), State::Hot);
    QVERIFY(stage.button->HoverTimerActive());
    // The pointer really is parked elsewhere: the hover poll notices.
    QTRY_COMPARE(stage.button->State(), State::Up);
}

void TFlatSpeedButtonEventsTest::keyboardNeverClicks_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("key");

    const std::pair<const char*, int> keys[] = {
        {"space", Qt::Key_Space}, {"return", Qt::Key_Return}, {"enter", Qt::Key_Enter}, {"select", Qt::Key_Select}};
    for (const auto& [name, key] : keys) {
        QTest::addRow("cell, %s", name) << Kind::Cell << key;
        QTest::addRow("command button, %s", name) << Kind::Command << key;
    }
}

void TFlatSpeedButtonEventsTest::keyboardNeverClicks()
{
    QFETCH(Kind, kind);
    QFETCH(int, key);

    Stage stage(kind);
    QVERIFY(stage.exposed());
    QTest::keyClick(stage.button, Qt::Key(key));
    QTest::keyClick(stage.host.get(), Qt::Key(key));
    QApplication::processEvents();

    QCOMPARE(stage.log.sequence(), QString());
    QCOMPARE(stage.button->State(), State::Up);
}

void TFlatSpeedButtonEventsTest::buttonHasNoNativeWindowAndTakesNoFocus()
{
    Stage stage(Kind::Cell);
    QVERIFY(stage.exposed());
    QCOMPARE(stage.button->focusPolicy(), Qt::NoFocus);
    QVERIFY(!stage.button->testAttribute(Qt::WA_NativeWindow));
    QCOMPARE(stage.button->internalWinId(), WId(0));
    QVERIFY(!stage.button->windowHandle());
}

QTEST_MAIN(TFlatSpeedButtonEventsTest)
#include "TFlatSpeedButtonEventsTest.moc"
