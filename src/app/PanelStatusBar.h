#pragma once
// The window's status bar: on the right, always, where the link stands
// ("Polling the looper over MIDI", ...); on the left, how the last save,
// restore or upgrade went, or why it was refused, or why there is no MIDI.
#include <QStatusBar>

#include "app/ModelSubscription.h"
#include "common/Outcome.h"
#include "session/SessionModels.h"

class QLabel;

namespace qx::app {

class PanelStatusBar : public QStatusBar {
    Q_OBJECT
public:
    // Follows the session's link status, the end of each long command and the
    // no-MIDI notice.
    explicit PanelStatusBar(SessionModels& models, QWidget* parent = nullptr);

    void showOutcome(const Outcome& outcome);
    QString linkState() const;
    QString outcomeText() const;
    bool outcomeIsFailure() const { return lastFailed_; }
    QLabel* outcomeLabel() const { return outcomeLabel_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    // A failure in a red that reads on the bar; anything else in its text colour.
    void paintOutcome();
    void showNotice(const std::string& notice);

    QLabel* linkStateLabel_ = nullptr;
    QLabel* outcomeLabel_ = nullptr;
    bool lastFailed_ = false;
    bool showingNotice_ = false;
    ModelSubscription linkSubscription_;
    ModelSubscription outcomeSubscription_;
    ModelSubscription noticeSubscription_;
};

}  // namespace qx::app
