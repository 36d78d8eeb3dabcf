#pragma once
// The "Main" tab: the looper's device line, the upgrade / save / restore
// commands, the progress of whichever transfer runs, and the track grid.
#include <string>

#include <QWidget>

#include "app/Dialogs.h"
#include "app/ModelSubscription.h"
#include "common/Outcome.h"
#include "session/LooperSession.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace qx::app {

class TrackGrid;

class ContentView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 700;
    static constexpr int kMinHeight = 400;
    static constexpr int kProgressSteps = 1000;
    static constexpr const char* kProposedFileName = "looper.cfg";

    // A command's start, or why it was refused, goes to report.
    ContentView(LooperSession& session, Dialogs& dialogs, OutcomeHandler report, QWidget* parent = nullptr);

    QLabel* deviceLine() const { return deviceLine_; }
    QPushButton* upgradeButton() const { return upgradeButton_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* restoreButton() const { return restoreButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QProgressBar* progressBar() const { return progressBar_; }
    TrackGrid* grid() const { return grid_; }

public slots:
    void sendUpgradeFile();
    void saveDeviceConfiguration();
    void restoreDeviceConfiguration();
    void cancelTransfer();

private:
    void showProgress();
    // "Send FILE (N bytes) to LOOPER over MIDI? ..."
    std::string upgradeQuestion(const std::string& path) const;

    LooperSession& session_;
    Dialogs& dialogs_;
    OutcomeHandler report_;

    QLabel* deviceLine_ = nullptr;
    QPushButton* upgradeButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;  // enabled while a save or restore runs
    QProgressBar* progressBar_ = nullptr;
    TrackGrid* grid_ = nullptr;
    ModelSubscription infoSubscription_;
    ModelSubscription progressSubscription_;
    ModelSubscription outcomeSubscription_;
};

}  // namespace qx::app
