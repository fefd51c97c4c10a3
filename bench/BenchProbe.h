#pragma once
// The measuring side of the instrumented game and of the bare window: an application object
// that watches one top-level window and talks to script/bench over stdin and stdout.
//
// It writes, unasked:
//   "painted <ns>"   once the window's first paint has been processed (a zero timer after the
//                    first paint event, so the whole first expose, flush included, is done);
//   "press <ns>"     after a left press on a cell (a widget named "bt..."): the time from the
//                    press reaching the cell to the end of that cell's next paint that shows a
//                    caption.
// It answers one line per command read from stdin:
//   "pos NAME"       -> "pos X Y": centre of the named widget, screen coordinates;
//   "rect NAME"      -> "rect X Y W H": the named widget, window coordinates;
//   "count"          -> "ok": zeroes the paint tally and starts counting;
//   "report NAME"    -> "paints TOTAL AREA OUTSIDE WIDGET=N ...": paint events since "count",
//                       the area in pixels of their union, the part of it outside NAME, and the
//                       events per widget (object name, else class name);
//   "quit"           -> leaves the event loop (so does the end of stdin).
// Times are CLOCK_MONOTONIC nanoseconds, the clock tovra_bench_launch reads before the exec.
#include <QApplication>
#include <QByteArray>
#include <QMap>
#include <QPointer>
#include <QRegion>
#include <QString>

#include <cstdint>
#include <functional>

class QSocketNotifier;

std::int64_t MonotonicNs();

class BenchApplication : public QApplication {
public:
    BenchApplication(int& argc, char** argv);
    ~BenchApplication() override;

    // captionOf gives a cell's caption; an empty one means the cell is free.
    void Watch(QWidget* window, std::function<QString(const QWidget*)> captionOf);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    QWidget* watchedWidget(QObject* object) const;
    void readCommands();
    void runCommand(const QByteArray& line);
    void reply(const QByteArray& line);

    QPointer<QWidget> window_;
    std::function<QString(const QWidget*)> captionOf_;
    bool firstPaintSeen_ = false;

    QPointer<QWidget> pressed_;
    std::int64_t pressNs_ = 0;

    bool counting_ = false;
    int paintCount_ = 0;
    QRegion painted_;
    QMap<QString, int> paintsByWidget_;

    QSocketNotifier* input_ = nullptr;
    QByteArray pending_;
};
