#include "app/ContentView.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/PanelSettings.h"
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

ContentView::ContentView(LooperSession& session, Dialogs& dialogs, OutcomeHandler report, QWidget* parent)
    : QWidget(parent), session_(session), dialogs_(dialogs), report_(std::move(report))
{
    const SessionModels& models = session_.models();

    setMinimumSize(kMinWidth, kMinHeight);
    auto* stack = new QVBoxLayout(this);

    deviceLine_ = new QLabel(this);
    deviceLine_->setTextFormat(Qt::PlainText);  // verbatim: the looper's text is not markup
    deviceLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    stack->addWidget(deviceLine_, 0, Qt::AlignHCenter);
    stack->addWidget(divider(this));

    auto* buttons = new QHBoxLayout;
    upgradeButton_ = new QPushButton(QStringLiteral("&Send upgrade file"), this);
    saveButton_ = new QPushButton(QStringLiteral("Sa&ve device configuration"), this);
    restoreButton_ = new QPushButton(QStringLiteral("&Restore device configuration"), this);
    buttons->addWidget(upgradeButton_);
    buttons->addWidget(saveButton_);
    buttons->addWidget(restoreButton_);
    stack->addLayout(buttons);
    stack->setAlignment(buttons, Qt::AlignHCenter);

    auto* progressRow = new QHBoxLayout;
    progressBar_ = new QProgressBar(this);
    progressBar_->setRange(0, kProgressSteps);
    progressBar_->setTextVisible(false);
    progressRow->addWidget(progressBar_, 1);
    cancelButton_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cancelButton_->setEnabled(false);
    progressRow->addWidget(cancelButton_);
    stack->addLayout(progressRow);
    stack->addWidget(divider(this));

    grid_ = new TrackGrid(models.tracks, this);
    stack->addWidget(grid_, 0, Qt::AlignHCenter);
    // Everything sits at the top; extra height goes below the grid.
    stack->addStretch(1);

    connect(upgradeButton_, &QPushButton::clicked, this, &ContentView::sendUpgradeFile);
    connect(saveButton_, &QPushButton::clicked, this, &ContentView::saveDeviceConfiguration);
    connect(restoreButton_, &QPushButton::clicked, this, &ContentView::restoreDeviceConfiguration);
    connect(cancelButton_, &QPushButton::clicked, this, &ContentView::cancelTransfer);

    auto info = models.deviceLine;
    infoSubscription_ =
        ModelSubscription(info, [this, info] { deviceLine_->setText(QString::fromStdString(info->text())); });
    deviceLine_->setText(QString::fromStdString(info->text()));
    progressSubscription_ = ModelSubscription(models.progress, [this] { showProgress(); });
    outcomeSubscription_ = ModelSubscription(models.outcome, [this] { cancelButton_->setEnabled(false); });
    showProgress();
}

void ContentView::showProgress()
{
    progressBar_->setValue(progressSteps(session_.models().progress->completion()));
}

void ContentView::sendUpgradeFile()
{
    // Cancelling means "not now": the file chosen earlier is not sent again.
    const auto chosen = dialogs_.chooseFileToOpen("Send upgrade file", remembered::folder(FileUse::upgrade));
    if (!chosen || chosen->empty()) return;
    remembered::setFolderOf(FileUse::upgrade, *chosen);
    if (!dialogs_.confirm("Send upgrade file", upgradeQuestion(*chosen))) return;
    report_(session_.upgrade(*chosen));
}

void ContentView::saveDeviceConfiguration()
{
    const auto chosen =
        dialogs_.chooseFileToSave("Save device configuration", remembered::folder(FileUse::save), kProposedFileName);
    if (!chosen || chosen->empty()) return;
    remembered::setFolderOf(FileUse::save, *chosen);
    const Outcome started = session_.save(*chosen);
    if (started.success) cancelButton_->setEnabled(true);
    report_(started);
}

void ContentView::restoreDeviceConfiguration()
{
    const auto chosen = dialogs_.chooseFileToOpen("Restore device configuration", remembered::folder(FileUse::restore));
    if (!chosen || chosen->empty()) return;
    remembered::setFolderOf(FileUse::restore, *chosen);
    const Outcome started = session_.restore(*chosen);
    if (started.success) cancelButton_->setEnabled(true);
    report_(started);
}

void ContentView::cancelTransfer()
{
    cancelButton_->setEnabled(false);
    report_(session_.cancelTransfer());
}

std::string ContentView::upgradeQuestion(const std::string& path) const
{
    std::error_code error;
    const auto bytes = std::filesystem::file_size(path, error);
    const SessionModels& models = session_.models();
    const std::string& line = models.deviceLine->text();
    const std::size_t cut = line.rfind(" - ");
    const std::string looper = cut == std::string::npos || cut == 0 ? "the looper" : line.substr(0, cut);
    const bool network = models.linkStatus->state().phase == LinkState::Phase::connectedNetwork;
    return "Send " + path + " (" + std::to_string(error ? 0 : bytes) + " bytes) to " + looper + " over " +
           (network ? "the network" : "MIDI") + "? Do not unplug the looper until it has finished.";
}

}  // namespace qx::app
