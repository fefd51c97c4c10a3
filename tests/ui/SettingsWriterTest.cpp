// The player's settings written off the window's thread: the writer's end waits for the writes
// asked for, and for nothing else the program is doing.
#include "ui/SettingsWriter.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace std::chrono_literals;

class SettingsWriterTest : public QObject {
    Q_OBJECT

private slots:
    void itsEndWaitsForTheWriteInFlightAndThoseAskedAfterIt()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("settings.conf"));
        std::promise<void> started;
        std::promise<void> go;
        std::jthread releaser;
        {
            SettingsWriter writer(path);
            writer.Later([&started, done = go.get_future().share()](QSettings& settings) {
                started.set_value();
                done.wait(); // a slow disk
                settings.setValue(QStringLiteral("View/Zoom"), 150);
            });
            writer.Later([](QSettings& settings) { settings.setValue(QStringLiteral("View/Shapes"), true); });
            started.get_future().wait();
            releaser = std::jthread([&go] {
                std::this_thread::sleep_for(200ms);
                go.set_value();
            });
        }
        const QSettings written(path, QSettings::IniFormat);
        QCOMPARE(written.value(QStringLiteral("View/Zoom")).toInt(), 150);
        QCOMPARE(written.value(QStringLiteral("View/Shapes")).toBool(), true);
    }

    void itsEndDoesNotWaitForWorkOnTheSharedPool()
    {
        QTemporaryDir dir;
        std::promise<void> release;
        std::atomic<bool> released = false;
        const auto letGo = [&] {
            if (!released.exchange(true))
                release.set_value();
        };
        QThreadPool::globalInstance()->start([held = release.get_future().share()] { held.wait(); });
        // Should the writer's end wait for the shared pool, this lets the test end, failed.
        std::atomic<bool> timedOut = false;
        std::jthread watchdog([&](std::stop_token stop) {
            for (int tenth = 0; tenth < 300 && !stop.stop_requested(); ++tenth)
                std::this_thread::sleep_for(100ms);
            if (!stop.stop_requested()) {
                timedOut = true;
                letGo();
            }
        });
        {
            SettingsWriter writer(dir.filePath(QStringLiteral("settings.conf")));
            writer.Later([](QSettings& settings) { settings.setValue(QStringLiteral("View/Zoom"), 200); });
        }
        const bool endedWhileTheOtherWorkWasHeld = !timedOut;
        watchdog.request_stop();
        letGo();
        QThreadPool::globalInstance()->waitForDone();
        QVERIFY(endedWhileTheOtherWorkWasHeld);
    }
};

QTEST_MAIN(SettingsWriterTest)
#include "SettingsWriterTest.moc"
