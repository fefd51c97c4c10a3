#pragma once
// Answers modal windows from inside their own event loop, for tests that open them through the
// real handlers. The polling belongs to the watch: when the watch goes out of scope (also when
// a failed check leaves the test early) every pending poll is dropped, so no answer ever runs
// against the test's locals after they are gone. Declare it after the locals its answers use.
#include <QApplication>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>

class ModalWatch {
public:
    // Runs `answer` once on the next modal window of type W, checking every 10 ms for 5 s.
    template <class W>
    void WhenModal(std::function<void(W*)> answer, int tries = 500)
    {
        QTimer::singleShot(10, &context_, [this, answer, tries] {
            if (auto* window = qobject_cast<W*>(QApplication::activeModalWidget()))
                answer(window);
            else if (tries > 0)
                WhenModal<W>(answer, tries - 1);
        });
    }

private:
    QObject context_; // the polls' receiver: destroying it cancels them
};
