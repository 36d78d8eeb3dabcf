#pragma once
// The panel's one window: the tabs "Main", "MIDI Button", "Misc Config",
// "QX2 Buttons" and "Log", a File menu with Quit, the MIDI menu, and the
// status bar. Every 0.5 s it runs the session's edit cycle and the settings
// tabs show the result; closing it ends the program, after asking while a
// transfer runs. It opens where it was closed last, on the tab shown then.
#include <QMainWindow>
#include <QTimer>

#include "app/Dialogs.h"
#include "session/LooperSession.h"

class QAction;
class QTabWidget;

namespace qx::app {

class ContentView;
class MIDIButtonView;
class MiscConfigView;
class QX2EffectsView;
class LogView;
class MidiMenu;
class PanelStatusBar;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "REDOVIVevorev";

    MainWindow(LooperSession& session, Dialogs& dialogs, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }
    ContentView* contentView() const { return content_; }
    MIDIButtonView* midiButtonView() const { return midiButtons_; }
    MiscConfigView* miscConfigView() const { return miscConfig_; }
    QX2EffectsView* qx2EffectsView() const { return qx2Effects_; }
    LogView* logView() const { return log_; }
    PanelStatusBar* panelStatusBar() const { return statusBar_; }
    QAction* quitAction() const { return quit_; }
    MidiMenu* midiMenu() const { return midiMenu_; }
    const QTimer& editTimer() const { return editTimer_; }

public slots:
    // One tick of the edit cycle, then the settings tabs show the models.
    void editTick();

protected:
    // While an upgrade, save or restore runs, the user is asked first; the
    // window's place and tab are remembered when it closes.
    void closeEvent(QCloseEvent* event) override;

private:
    LooperSession& session_;
    Dialogs& dialogs_;
    QTabWidget* tabs_ = nullptr;
    ContentView* content_ = nullptr;
    MIDIButtonView* midiButtons_ = nullptr;
    MiscConfigView* miscConfig_ = nullptr;
    QX2EffectsView* qx2Effects_ = nullptr;
    LogView* log_ = nullptr;
    PanelStatusBar* statusBar_ = nullptr;
    QAction* quit_ = nullptr;
    MidiMenu* midiMenu_ = nullptr;
    QTimer editTimer_;
};

}  // namespace qx::app
