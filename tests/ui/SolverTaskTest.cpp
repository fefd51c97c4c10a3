// A question for the solver worked out off the window's thread: its answer is handed over only
// while the window shows the cells it was asked about, and only for the newest question.
#include "ui/SolverTask.h"

#include <QSignalSpy>
#include <QtTest>

#include <future>
#include <memory>
#include <vector>

namespace {
// A worker that waits until the test lets it answer, then hands over `answer`.
SolverTask::Work Answering(std::shared_future<void> go, int answer, std::vector<int>& delivered)
{
    return [go, answer, &delivered](std::stop_token) -> std::function<void()> {
        go.wait();
        return [answer, &delivered] { delivered.push_back(answer); };
    };
}
} // namespace

class SolverTaskTest : public QObject {
    Q_OBJECT

private slots:
    void anAnswerForTheCellsStillShownIsHandedOver()
    {
        std::vector<int> shown = {3, 25};
        SolverTask task([&] { return shown; });
        std::promise<void> go;
        std::vector<int> delivered;
        QSignalSpy finished(&task, &SolverTask::Finished);
        task.Run(Answering(go.get_future().share(), 7, delivered));
        QVERIFY(task.Running());
        shown = {3, 25}; // redrawn, the same cells
        go.set_value();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(delivered, std::vector<int>{7});
        QVERIFY(!task.Running());
        QVERIFY(task.StillShown());
    }

    void anAnswerAboutCellsNoLongerShownIsDropped()
    {
        std::vector<int> shown = {3, 25};
        SolverTask task([&] { return shown; });
        std::promise<void> go;
        std::vector<int> delivered;
        QSignalSpy finished(&task, &SolverTask::Finished);
        task.Run(Answering(go.get_future().share(), 7, delivered));
        shown = {3};
        go.set_value();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QVERIFY(delivered.empty());
        QCOMPARE(task.AskedCells(), (std::vector<int>{3, 25}));
    }

    void onlyTheNewestQuestionIsAnswered()
    {
        std::vector<int> shown = {3};
        SolverTask task([&] { return shown; });
        std::promise<void> first;
        std::promise<void> second;
        std::vector<int> delivered;
        QSignalSpy finished(&task, &SolverTask::Finished);
        task.Run(Answering(first.get_future().share(), 1, delivered));
        task.Run(Answering(second.get_future().share(), 2, delivered));
        first.set_value();
        second.set_value();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
        QCOMPARE(delivered, std::vector<int>{2});
    }

    void aCancelledQuestionIsNeverAnswered()
    {
        std::vector<int> shown = {3};
        SolverTask task([&] { return shown; });
        std::promise<void> go;
        std::vector<int> delivered;
        QSignalSpy finished(&task, &SolverTask::Finished);
        task.Run(Answering(go.get_future().share(), 1, delivered));
        task.Cancel();
        QVERIFY(!task.Running());
        go.set_value();
        QVERIFY(finished.wait(10000));
        QVERIFY(delivered.empty());
    }
};

QTEST_MAIN(SolverTaskTest)
#include "SolverTaskTest.moc"
