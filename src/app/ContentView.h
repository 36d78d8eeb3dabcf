#pragma once
// The "Main" tab: the looper's device line, the upgrade / save / restore
// commands, the progress of whichever transfer runs, and the track grid.
#include <string>

#include <QWidget>

#include "app/FileDialogs.h"
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
    ContentView(LooperSession& session, FileDialogs& dialogs, OutcomeHandler report, QWidget* parent = nullptr);

    QLabel* deviceLine() const { return deviceLine_; }
    QPushButton* upgradeButton() const { return upgradeButton_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* restoreButton() const { return restoreButton_; }
    QProgressBar* progressBar() const { return progressBar_; }
    TrackGrid* grid() const { return grid_; }

public slots:
    void sendUpgradeFile();
    void saveDeviceConfiguration();
    void restoreDeviceConfiguration();

private:
    void showProgress();

    LooperSession& session_;
    FileDialogs& dialogs_;
    OutcomeHandler report_;

    QLabel* deviceLine_ = nullptr;
    QPushButton* upgradeButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* restoreButton_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    TrackGrid* grid_ = nullptr;
    ModelSubscription infoSubscription_;
    ModelSubscription progressSubscription_;
};

}  // namespace qx::app
