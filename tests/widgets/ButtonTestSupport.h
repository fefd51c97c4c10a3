#pragma once

#include "ui/widgets/TFlatSpeedButton.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QObject>
#include <QPalette>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace buttontest {

using State = TFlatSpeedButton::VisualState;

enum class Kind { Cell, Command };

// A spot of the screen that no test window covers: the cursor waits there between tests.
inline const QPoint ParkedCursor(5, 5);
inline const QPoint HostPosition(100, 100);
// Relative to the button, outside both a cell and a command button.
inline const QPoint OffButton(120, 90);

inline const QColor FreeColor(0xFF, 0xFA, 0xCD);
inline const QColor WindowColor(0xFF, 0xE8, 0xA9);

inline QString buttonLetter(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return QStringLiteral("L");
    case Qt::RightButton: return QStringLiteral("R");
    case Qt::MiddleButton: return QStringLiteral("M");
    default: return QStringLiteral("?");
    }
}

// Writes what a button reports as "down(L)", "click", "up(L)", with the time of each click.
class EventLog : public QObject {
public:
    void attach(TFlatSpeedButton* button)
    {
        clock.start();
        connect(button, &TFlatSpeedButton::OnMouseDown, this,
                [this](TFlatSpeedButton*, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
                    events << QStringLiteral("down(%1)").arg(buttonLetter(b));
                });
        connect(button, &TFlatSpeedButton::OnClick, this, [this](TFlatSpeedButton*) {
            events << QStringLiteral("click");
            clickTimes << clock.elapsed();
        });
        connect(button, &TFlatSpeedButton::OnMouseUp, this,
                [this](TFlatSpeedButton*, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
                    events << QStringLiteral("up(%1)").arg(buttonLetter(b));
                });
    }
    QString sequence() const { return events.join(QLatin1Char(',')); }
    int clicks() const { return int(clickTimes.size()); }

    QElapsedTimer clock;
    QStringList events;
    QList<qint64> clickTimes;
};

// Lets the event loop deliver `count` ticks of a fresh timer of `interval` ms: a repeat timer of
// that interval or less, had it been left running, would have fired by then too. It counts
// ticks, not wall time, so a busy machine cannot make the wait too short. False after 10 s.
inline bool WaitTimerTicks(int count, int interval)
{
    QTimer ticker;
    int ticks = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(interval);
    return QTest::qWaitFor([&ticks, count] { return ticks >= count; }, 10000);
}

// Counts the paint events of the object it filters.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// The settings the main window gives its cells and its command buttons.
inline void configure(TFlatSpeedButton& button, Kind kind)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    button.setFont(font);
    if (kind == Kind::Cell) {
        button.SetButtonStyle(TFlatSpeedButton::ubsOutlineFlat);
        button.SetRepeatedClick(true);
        button.SetCtlXP(false);
        button.SetAllowAllUp(true);
        button.SetEnterColor(Qt::red);
        button.SetColor(FreeColor);
        button.setGeometry(21, 21, 19, 19);
    } else {
        button.SetCaption(QStringLiteral("Undo 1"));
        button.setGeometry(20, 232, 56, 23);
    }
}

// A shown window holding one button, with the cursor parked outside it.
struct Stage {
    explicit Stage(Kind kind)
    {
        host = std::make_unique<QWidget>();
        QPalette palette = host->palette();
        palette.setColor(QPalette::Window, WindowColor);
        host->setPalette(palette);
        host->resize(241, 294);
        host->move(HostPosition);
        button = new TFlatSpeedButton(host.get());
        button->setObjectName(QStringLiteral("bt0101"));
        configure(*button, kind);
        log.attach(button);
        QCursor::setPos(ParkedCursor);
        host->show();
    }
    ~Stage() { QCursor::setPos(ParkedCursor); }

    bool exposed() { return QTest::qWaitForWindowExposed(host.get()); }
    QPoint centreOnScreen() const { return button->mapToGlobal(button->rect().center()); }

    std::unique_ptr<QWidget> host;
    TFlatSpeedButton* button = nullptr;
    EventLog log;
};

} // namespace buttontest

Q_DECLARE_METATYPE(buttontest::Kind)
Q_DECLARE_METATYPE(TFlatSpeedButton::VisualState)
