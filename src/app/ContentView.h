#pragma once
// The "Main" tab: the looper's device line, the upgrade / save / restore
// commands, the progress of whichever transfer runs, and the track grid.
#include <memory>
#include <string>

#include <QWidget>

#include "app/ConfigurationCommands.h"
#include "app/FileDialogs.h"
#include "app/ModelSubscription.h"
#include "common/Outcome.h"
#include "midi/QXInterface.h"

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

    // Creates the tab's models and stores them in the link. A command's start,
    // or why it was refused, goes to report.
    ContentView(QXInterface& link, FileDialogs& dialogs, ConfigurationCommands& configuration,
                OutcomeHandler report, QWidget* parent = nullptr);

    const std::shared_ptr<Tracks>& tracks() const { return tracks_; }
    const std::shared_ptr<CompletionPercent>& upgradeCompletion() const { return upgradeCompletion_; }
    const std::shared_ptr<ObservableText>& looperInfo() const { return looperInfo_; }

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

    QXInterface& link_;
    FileDialogs& dialogs_;
    ConfigurationCommands& configuration_;
    OutcomeHandler report_;

    std::shared_ptr<Tracks> tracks_ = std::make_shared<Tracks>();
    std::shared_ptr<CompletionPercent> upgradeCompletion_ = std::make_shared<CompletionPercent>();
    std::shared_ptr<ObservableText> looperInfo_ = std::make_shared<ObservableText>();
    // The upgrade file chosen last; never shown.
    std::string upgradeName_;

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
