#include "app/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include "app/ContentView.h"
#include "app/LogView.h"
#include "app/MIDIButtonView.h"
#include "app/MidiMenu.h"
#include "app/MiscConfigView.h"
#include "app/PanelSettings.h"
#include "app/PanelStatusBar.h"
#include "app/QX2EffectsView.h"

namespace qx::app {

MainWindow::MainWindow(LooperSession& session, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), session_(session), dialogs_(dialogs)
{
    setWindowTitle(kTitle);

    // First, so that every outcome has somewhere to go.
    statusBar_ = new PanelStatusBar(session.models(), this);
    setStatusBar(statusBar_);
    const OutcomeHandler report = [bar = statusBar_](const Outcome& outcome) { bar->showOutcome(outcome); };

    tabs_ = new QTabWidget(this);
    content_ = new ContentView(session, dialogs, report);
    midiButtons_ = new MIDIButtonView(session);
    miscConfig_ = new MiscConfigView(session);
    qx2Effects_ = new QX2EffectsView(session);
    log_ = new LogView(session.models().log);
    tabs_->addTab(content_, QStringLiteral("Main"));
    tabs_->addTab(midiButtons_, QStringLiteral("MIDI Button"));
    tabs_->addTab(miscConfig_, QStringLiteral("Misc Config"));
    tabs_->addTab(qx2Effects_, QStringLiteral("QX2 Buttons"));
    tabs_->addTab(log_, QStringLiteral("Log"));
    const int lastTab = remembered::tab();
    tabs_->setCurrentIndex(lastTab >= 0 && lastTab < tabs_->count() ? lastTab : 0);
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
    midiMenu_ = new MidiMenu(session, this);
    menuBar()->addMenu(midiMenu_);

    // The first time, big enough for the whole track grid (its size hint is
    // part of the window's): left to itself, a window takes at most two
    // thirds of the screen.
    if (!restoreGeometry(remembered::windowGeometry())) resize(sizeHint());

    connect(&editTimer_, &QTimer::timeout, this, &MainWindow::editTick);
    editTimer_.start(EditCycle::kTickMs);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    const std::string running = session_.running();
    const char* const risk = running == "upgrade" ? "A firmware upgrade is running: quitting now can leave the "
                                                    "looper unusable."
                             : running == "save"  ? "A save is running: quitting now writes nothing."
                                                  : "A restore is running: quitting now leaves button mappings unsent.";
    if (!running.empty() && !dialogs_.confirm("Quit", std::string(risk) + " Quit anyway?")) {
        event->ignore();
        return;
    }
    if (running == "save" || running == "restore") session_.cancelTransfer();
    remembered::setWindowGeometry(saveGeometry());
    remembered::setTab(tabs_->currentIndex());
    event->accept();
}

void MainWindow::editTick()
{
    session_.edits().tick();
    midiButtons_->refresh();
    miscConfig_->refresh();
    qx2Effects_->refresh();
}

}  // namespace qx::app
