#pragma once
// SIGTERM and SIGINT ask the window to close, as File > Quit does: while
// nothing runs it ends at once, while a transfer runs the user is asked. A
// signal handler may do almost nothing, so it only writes a byte that the
// Qt event loop reads.
#include <functional>

#include <QObject>

class QSocketNotifier;

namespace qx::app {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; onSignal runs on the UI thread for each signal.
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace qx::app
