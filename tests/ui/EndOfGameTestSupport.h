#pragma once
// What the whole-game tests share: a short game, answering the modal windows it opens, and the
// record file as written.
#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QTimer>

#include <functional>

namespace endofgame {

// A short game that ends on bt0101 with its three targets already numbered.
inline const char* const ShortGame[] = {"bt0102", "bt0105", "bt0108", "bt0310", "bt0508", "bt0505",
                                        "bt0303", "bt0306", "bt0104", "bt0404", "bt0401", "bt0101"};

// Runs `answer` on the next modal window of type W once it is up.
template <class W>
void WhenModal(std::function<void(W*)> answer, int tries = 500)
{
    QTimer::singleShot(10, [answer, tries] {
        if (auto* window = qobject_cast<W*>(QApplication::activeModalWidget()))
            answer(window);
        else if (tries > 0)
            WhenModal<W>(answer, tries - 1);
    });
}

inline QByteArray ReadRecordFile()
{
    QFile file("record.dat");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace endofgame
