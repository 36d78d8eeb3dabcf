#pragma once
// The window's status bar: on the right, always, where the link stands
// ("Polling the looper over MIDI", ...); on the left, how the last save,
// restore or upgrade went, or why it was refused.
#include <memory>

#include <QStatusBar>

#include "app/ModelSubscription.h"
#include "common/Outcome.h"
#include "midi/QXInterface.h"

class QLabel;

namespace qx::app {

class PanelStatusBar : public QStatusBar {
    Q_OBJECT
public:
    // Creates the link-state model and stores it in the link.
    explicit PanelStatusBar(QXInterface& link, QWidget* parent = nullptr);

    void showOutcome(const Outcome& outcome);
    QString linkState() const;
    QString outcomeText() const { return currentMessage(); }
    bool outcomeIsFailure() const { return lastFailed_; }

private:
    std::shared_ptr<ObservableText> linkState_ = std::make_shared<ObservableText>();
    QLabel* linkStateLabel_ = nullptr;
    bool lastFailed_ = false;
    ModelSubscription subscription_;
};

}  // namespace qx::app
