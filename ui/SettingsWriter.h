#pragma once
// Writes the player's settings off the window's thread, one write after the other in the order
// asked, so that an older choice never overwrites a newer one and the window never waits for the
// disk. The window that asks for the writes owns the writer; its end waits for the writes still
// to be done, and for nothing else.
#include <QString>
#include <QThreadPool>

#include <functional>

class QSettings;

class SettingsWriter {
public:
    // `path`: the INI file the writes go to (PlayerSettingsPath() in the game).
    explicit SettingsWriter(QString path);
    // Waits for the writes asked for and not yet done: each is a choice the player made.
    ~SettingsWriter();
    SettingsWriter(const SettingsWriter&) = delete;
    SettingsWriter& operator=(const SettingsWriter&) = delete;

    // Runs `write` on the settings file on the writer's own thread, after the writes asked before.
    void Later(std::function<void(QSettings&)> write);
    // Returns when every write asked for so far is done.
    void Wait();

private:
    const QString path_;
    // A pool of one thread, its own: waiting for it is waiting for these writes alone, never
    // for other work that a shared pool may be running.
    QThreadPool thread_;
};
