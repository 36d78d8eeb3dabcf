#include "app/MainWindow.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include "app/ContentView.h"
#include "app/LogView.h"
#include "app/MIDIButtonView.h"
#include "app/MiscConfigView.h"
#include "app/PanelStatusBar.h"
#include "app/QX2EffectsView.h"

namespace qx::app {

MainWindow::MainWindow(QXInterface& link, FileDialogs& dialogs, ConfigurationCommands& configuration,
                       QWidget* parent)
    : QMainWindow(parent), link_(link), configuration_(configuration)
{
    setWindowTitle(kTitle);

    // First, so that every outcome has somewhere to go.
    statusBar_ = new PanelStatusBar(link, this);
    setStatusBar(statusBar_);
    const OutcomeHandler report = [bar = statusBar_](const Outcome& outcome) { bar->showOutcome(outcome); };
    link.setUpgradeOutcomeHandler(report);
    configuration.setOutcomeHandler(report);

    // In tab order: each view stores its models in the link as it is built.
    tabs_ = new QTabWidget(this);
    content_ = new ContentView(link, dialogs, configuration, report);
    midiButtons_ = new MIDIButtonView(link);
    miscConfig_ = new MiscConfigView(link);
    qx2Effects_ = new QX2EffectsView(link);
    log_ = new LogView(link);
    tabs_->addTab(content_, QStringLiteral("Main"));
    tabs_->addTab(midiButtons_, QStringLiteral("MIDI Button"));
    tabs_->addTab(miscConfig_, QStringLiteral("Misc Config"));
    tabs_->addTab(qx2Effects_, QStringLiteral("QX2 Buttons"));
    tabs_->addTab(log_, QStringLiteral("Log"));
    tabs_->setCurrentIndex(0);
    setCentralWidget(tabs_);

    // One window only: the File menu offers Quit and nothing that opens another.
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    quit_ = file->addAction(QStringLiteral("&Quit"));
    // The platform's Quit keys; Ctrl+Q where the platform names none.
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    if (quitKeys.isEmpty()) quitKeys.append(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit_->setShortcuts(quitKeys);
    quit_->setMenuRole(QAction::QuitRole);
    connect(quit_, &QAction::triggered, this, &QWidget::close);
}

MainWindow::~MainWindow()
{
    // The link may outlive the window: nothing may call back into it.
    link_.setUpgradeOutcomeHandler({});
    configuration_.setOutcomeHandler({});
}

}  // namespace qx::app
