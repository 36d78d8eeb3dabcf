#pragma once
// The window's UI-thread hand-off: a closure posted from any thread runs later
// on the thread that built this queue (the Qt main thread), in posting order.
#include <functional>
#include <memory>

#include <QObject>

#include "common/MainQueue.h"

namespace qx::app {

class QtMainQueue final : public MainQueue {
public:
    // Build on the UI thread, before any link that posts here.
    QtMainQueue();
    // Closures still waiting are dropped. Stop every poster before this runs.
    ~QtMainQueue() override;
    QtMainQueue(const QtMainQueue&) = delete;
    QtMainQueue& operator=(const QtMainQueue&) = delete;

    void post(std::function<void()> task) override;

private:
    // Queued calls are delivered to this object's thread and die with it.
    std::unique_ptr<QObject> context_;
};

}  // namespace qx::app
