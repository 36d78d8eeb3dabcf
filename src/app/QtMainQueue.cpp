#include "app/QtMainQueue.h"

#include <QMetaObject>

namespace qx::app {

QtMainQueue::QtMainQueue() : context_(std::make_unique<QObject>()) {}

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::post(std::function<void()> task)
{
    // Posting an event is thread-safe; events to one receiver keep their order.
    QMetaObject::invokeMethod(context_.get(), std::move(task), Qt::QueuedConnection);
}

}  // namespace qx::app
