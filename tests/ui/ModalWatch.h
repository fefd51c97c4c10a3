#pragma once
// Answers modal windows from inside their own event loop, for tests that open them through the
// real handlers. The polling belongs to the watch: when the watch goes out of scope (also when
// a failed check leaves the test early) every pending poll is dropped, so no answer ever runs
// against the test's locals after they are gone. Declare it after the locals its answers use.
#include <QApplication>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <chrono>
#include <functional>

class ModalWatch {
public:
    // Runs `answer` once on the next modal window of type W, checking every 10 ms. When none has
    // opened within `patience`, the test fails naming the window, and a modal window open in its
    // place is closed, so that the test ends at once instead of at the CTest timeout.
    template <class W>
    void WhenModal(std::function<void(W*)> answer, std::chrono::milliseconds patience = std::chrono::seconds(20))
    {
        poll<W>(std::move(answer), QDeadlineTimer(patience));
    }

private:
    template <class W>
    void poll(std::function<void(W*)> answer, QDeadlineTimer deadline)
    {
        QTimer::singleShot(10, &context_, [this, answer, deadline] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* window = qobject_cast<W*>(modal))
                answer(window);
            else if (!deadline.hasExpired())
                poll<W>(answer, deadline);
            else
                giveUp(W::staticMetaObject.className(), modal);
        });
    }

    static void giveUp(const char* expected, QWidget* openInstead)
    {
        QByteArray message = QByteArray("the modal window ") + expected + " never opened";
        if (openInstead)
            message += QByteArray("; open instead: ") + openInstead->metaObject()->className() + " \"" +
                       openInstead->windowTitle().toUtf8() + '"';
        QTest::qFail(message.constData(), __FILE__, __LINE__);
        if (openInstead)
            openInstead->close();
    }

    QObject context_; // the polls' receiver: destroying it cancels them
};
