// Closures posted from worker threads run on the UI thread, in posting order,
// and only once the event loop gets to them.
#include <QCoreApplication>
#include <QThread>
#include <QtTest>

#include <thread>
#include <vector>

#include "app/QtMainQueue.h"

class QtMainQueueTest : public QObject {
    Q_OBJECT

private slots:
    void postsFromAWorkerRunOnTheUiThreadInOrder()
    {
        qx::app::QtMainQueue queue;
        std::vector<int> ran;  // touched on the UI thread only
        bool allOnUiThread = true;
        QThread* const uiThread = QThread::currentThread();
        std::thread worker([&] {
            for (int i = 0; i < 100; ++i)
                queue.post([&, i] {
                    allOnUiThread = allOnUiThread && QThread::currentThread() == uiThread;
                    ran.push_back(i);
                });
        });
        worker.join();
        QVERIFY(ran.empty());  // nothing runs before the event loop does
        QCoreApplication::sendPostedEvents();
        QCOMPARE(ran.size(), std::size_t{100});
        for (int i = 0; i < 100; ++i) QCOMPARE(ran[static_cast<std::size_t>(i)], i);
        QVERIFY(allOnUiThread);
    }

    void tasksStillWaitingAreDroppedWithTheQueue()
    {
        bool ran = false;
        {
            qx::app::QtMainQueue queue;
            queue.post([&ran] { ran = true; });
        }
        QCoreApplication::sendPostedEvents();
        QVERIFY(!ran);
    }
};

QTEST_MAIN(QtMainQueueTest)
#include "QtMainQueueTest.moc"
