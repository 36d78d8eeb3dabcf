#pragma once
// The window's status bar: on the right, always, where the link stands
// ("Polling the looper over MIDI", ...); on the left, how the last save,
// restore or upgrade went, or why it was refused.
#include <QStatusBar>

#include "app/ModelSubscription.h"
#include "common/Outcome.h"
#include "session/SessionModels.h"

class QLabel;

namespace qx::app {

class PanelStatusBar : public QStatusBar {
    Q_OBJECT
public:
    // Follows the session's link status and the end of each long command.
    explicit PanelStatusBar(SessionModels& models, QWidget* parent = nullptr);

    void showOutcome(const Outcome& outcome);
    QString linkState() const;
    QString outcomeText() const;
    bool outcomeIsFailure() const { return lastFailed_; }

private:
    QLabel* linkStateLabel_ = nullptr;
    QLabel* outcomeLabel_ = nullptr;
    bool lastFailed_ = false;
    ModelSubscription linkSubscription_;
    ModelSubscription outcomeSubscription_;
};

}  // namespace qx::app
