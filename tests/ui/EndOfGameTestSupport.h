#pragma once
// What the whole-game tests share: a short game and the record file as written.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace endofgame {

// A short game that ends on bt0101 with its three targets already numbered.
inline const char* const ShortGame[] = {"bt0102", "bt0105", "bt0108", "bt0310", "bt0508", "bt0505",
                                        "bt0303", "bt0306", "bt0104", "bt0404", "bt0401", "bt0101"};

inline QByteArray ReadRecordFile()
{
    QFile file("record.dat");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Each test runs in an empty folder of its own, where the game keeps its record.dat.
class RecordFolder {
public:
    void Enter()
    {
        previous_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        QFile::remove("record.dat");
        for (const char* kept : {"games.db", "games.db-wal", "games.db-shm"}) // the game in progress of an earlier test
            QFile::remove(QString::fromLatin1(kept));
    }
    void Leave() { QDir::setCurrent(previous_); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

} // namespace endofgame
