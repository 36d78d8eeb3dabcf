#include "app/ContentView.h"

#include <algorithm>
#include <cmath>

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/TrackGrid.h"

namespace qx::app {
namespace {

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// The bar's total is 1.0; anything outside 0..1 (or not a number) is held in.
int progressSteps(double fraction)
{
    if (!std::isfinite(fraction)) return 0;
    return static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * ContentView::kProgressSteps));
}

}  // namespace

ContentView::ContentView(QXInterface& link, FileDialogs& dialogs, ConfigurationCommands& configuration,
                         OutcomeHandler report, QWidget* parent)
    : QWidget(parent), link_(link), dialogs_(dialogs), configuration_(configuration), report_(std::move(report))
{
    link_.tracksModel = tracks_;
    link_.completionModel = upgradeCompletion_;
    link_.qxInfoString = looperInfo_;

    setMinimumSize(kMinWidth, kMinHeight);
    auto* stack = new QVBoxLayout(this);

    deviceLine_ = new QLabel(this);
    deviceLine_->setTextFormat(Qt::PlainText);  // verbatim: the looper's text is not markup
    deviceLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    stack->addWidget(deviceLine_, 0, Qt::AlignHCenter);
    stack->addWidget(divider(this));

    auto* buttons = new QHBoxLayout;
    upgradeButton_ = new QPushButton(QStringLiteral("Send upgrade file"), this);
    saveButton_ = new QPushButton(QStringLiteral("Save device configuration"), this);
    restoreButton_ = new QPushButton(QStringLiteral("Restore device configuration"), this);
    buttons->addWidget(upgradeButton_);
    buttons->addWidget(saveButton_);
    buttons->addWidget(restoreButton_);
    stack->addLayout(buttons);
    stack->setAlignment(buttons, Qt::AlignHCenter);

    progressBar_ = new QProgressBar(this);
    progressBar_->setRange(0, kProgressSteps);
    progressBar_->setTextVisible(false);
    stack->addWidget(progressBar_);
    stack->addWidget(divider(this));

    grid_ = new TrackGrid(tracks_, this);
    stack->addWidget(grid_, 0, Qt::AlignHCenter);
    // Everything sits at the top; extra height goes below the grid.
    stack->addStretch(1);

    connect(upgradeButton_, &QPushButton::clicked, this, &ContentView::sendUpgradeFile);
    connect(saveButton_, &QPushButton::clicked, this, &ContentView::saveDeviceConfiguration);
    connect(restoreButton_, &QPushButton::clicked, this, &ContentView::restoreDeviceConfiguration);

    infoSubscription_ = ModelSubscription(looperInfo_, [this] {
        deviceLine_->setText(QString::fromStdString(looperInfo_->text()));
    });
    progressSubscription_ = ModelSubscription(upgradeCompletion_, [this] { showProgress(); });
    showProgress();
}

void ContentView::showProgress() { progressBar_->setValue(progressSteps(upgradeCompletion_->completion())); }

void ContentView::sendUpgradeFile()
{
    // Cancelling means "not now": the file chosen earlier is not sent again.
    const auto chosen = dialogs_.chooseFileToOpen("Send upgrade file");
    if (!chosen) return;
    upgradeName_ = *chosen;
    if (upgradeName_.empty()) return;
    if (auto refusal = link_.loadUpgradeFile(upgradeName_))
        report_({false, *refusal});
    else
        report_({true, "Upgrade started: " + upgradeName_});
}

void ContentView::saveDeviceConfiguration()
{
    const auto chosen = dialogs_.chooseFileToSave("Save device configuration", kProposedFileName);
    if (!chosen || chosen->empty()) return;
    if (auto refusal = configuration_.saveConfiguration(*chosen))
        report_({false, *refusal});
    else
        report_({true, "Saving the device configuration to " + *chosen});
}

void ContentView::restoreDeviceConfiguration()
{
    const auto chosen = dialogs_.chooseFileToOpen("Restore device configuration");
    if (!chosen || chosen->empty()) return;
    if (auto refusal = configuration_.restoreConfiguration(*chosen))
        report_({false, *refusal});
    else
        report_({true, "Restoring the device configuration from " + *chosen});
}

}  // namespace qx::app
