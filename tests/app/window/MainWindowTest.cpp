// The window: its tabs, its menu, quitting, and the status bar.
#include <QAction>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include "LooperMessages.h"
#include "PanelUnderTest.h"
#include "app/ContentView.h"
#include "app/PanelStatusBar.h"
#include "config/SaveableConfig.h"
#include <QPushButton>

using namespace qx;
using namespace qx::apptest;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void fiveTabsInOrderFirstSelected()
    {
        PanelUnderTest panel;
        QTabWidget* tabs = panel.window->tabs();
        QStringList labels;
        for (int i = 0; i < tabs->count(); ++i) {
            labels << tabs->tabText(i);
            QVERIFY(tabs->tabIcon(i).isNull());
        }
        QCOMPARE(labels, (QStringList{"Main", "MIDI Button", "Misc Config", "QX2 Buttons", "Log"}));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(panel.window->windowTitle(), QString("REDOVIVevorev"));
    }

    void buildingTheWindowFillsEveryModelOfTheLink()
    {
        PanelUnderTest panel;
        QXInterface& link = *panel.link;
        QVERIFY(link.tracksModel && link.completionModel && link.qxInfoString && link.logModel);
        QVERIFY(link.qxMIDIButtons && link.qxMiscConfig && link.linkStateModel);
        QVERIFY(link.qx2EffectsModel(1) && link.qx2EffectsModel(2));
        QVERIFY(link.qx2EffectsModel(1) != link.qx2EffectsModel(2));
    }

    void menuOffersQuitAndNoNewWindow()
    {
        PanelUnderTest panel;
        QAction* quit = panel.window->quitAction();
        QVERIFY(quit->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
        for (QAction* menu : panel.window->menuBar()->actions()) {
            QVERIFY(menu->menu());
            for (const QAction* action : menu->menu()->actions()) {
                QVERIFY2(!action->text().contains("New", Qt::CaseInsensitive), qPrintable(action->text()));
                QVERIFY(!action->shortcuts().contains(QKeySequence(QKeySequence::New)));
            }
        }
    }

    void quitAndClosingEndTheProgram()
    {
        QVERIFY(QGuiApplication::quitOnLastWindowClosed());
        for (bool byQuitAction : {true, false}) {
            PanelUnderTest panel;
            panel.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(panel.window.get()));
            QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
            QTimer::singleShot(0, panel.window.get(), [&panel, byQuitAction] {
                if (byQuitAction)
                    panel.window->quitAction()->trigger();
                else
                    panel.window->close();
            });
            // The application's own loop must end by itself; the guard only
            // keeps a failing test from hanging.
            QTimer guard;
            guard.setSingleShot(true);
            connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
            guard.start(10000);
            QCOMPARE(QCoreApplication::exec(), 0);
            QVERIFY(!panel.window->isVisible());
            QCOMPARE(lastClosed.count(), 1);
        }
    }

    void statusBarFollowsTheLinkState()
    {
        PanelUnderTest panel;
        app::PanelStatusBar& bar = *panel.window->panelStatusBar();
        QVERIFY(!bar.linkState().isEmpty());
        for (const char* words : {"Searching for the looper on MIDI", "Polling the looper over MIDI",
                                  "Searching the network for the looper",
                                  "Connected over the network to QX2 at 10.77.0.2"}) {
            panel.link->showLinkState(words);
            panel.ui.drain();
            QCOMPARE(bar.linkState(), QString(words));
        }
        // An outcome on the left leaves the link state on the right alone.
        panel.configuration.outcome({true, "Saved the device configuration to /tmp/looper.cfg"});
        QCOMPARE(bar.outcomeText(), QString("Saved the device configuration to /tmp/looper.cfg"));
        QCOMPARE(bar.linkState(), QString("Connected over the network to QX2 at 10.77.0.2"));
    }

    void upgradeEndReachesTheStatusBar()
    {
        PanelUnderTest panel;
        panel.link->upgradeEnded({false, "Upgrade stopped: the looper stopped answering"});
        panel.ui.drain();
        QCOMPARE(panel.window->panelStatusBar()->outcomeText(), QString("Upgrade stopped: the looper stopped answering"));
        QVERIFY(panel.window->panelStatusBar()->outcomeIsFailure());
    }

    void refusalsOfTheSavedConfigurationReachTheStatusBar()
    {
        // The real transfer behind the two buttons; both commands are refused
        // before any thread starts.
        ManualMainQueue ui;
        QXInterface link(ui, std::make_unique<test::FakeMidiEndpoints>());
        TransferGate gate;
        QXSaveableConfig saveable(link.cmdQueue, ui);
        saveable.attachTransferGate(&gate);
        app::SaveableConfigCommands commands(saveable);
        ScriptedFileDialogs dialogs;
        app::MainWindow window(link, dialogs, commands);
        app::PanelStatusBar& bar = *window.panelStatusBar();

        QVERIFY(gate.tryEnter("upgrade"));
        dialogs.answers.push_back(std::string("/tmp/looper.cfg"));
        window.contentView()->saveButton()->click();
        QVERIFY2(bar.outcomeText().startsWith("Save refused"), qPrintable(bar.outcomeText()));
        QVERIFY(bar.outcomeIsFailure());
        gate.leave();

        dialogs.answers.push_back(std::string("/nonexistent/looper.cfg"));
        window.contentView()->restoreButton()->click();
        QVERIFY2(bar.outcomeText().startsWith("Restore refused"), qPrintable(bar.outcomeText()));
        QVERIFY(!saveable.transferRunning());
    }

    void aClosedWindowLeavesTheLinkSafe()
    {
        // The link keeps its models after the window goes; later hand-offs
        // must not reach a destroyed view.
        PanelUnderTest panel;
        panel.window.reset();
        panel.receive(statusReport(1, {{.state = 4}}));
        panel.receive(logText("still here"));
        panel.link->upgradeEnded({true, "Upgrade finished"});
        panel.link->showLinkState("Polling the looper over MIDI");
        panel.ui.drain();
        QCOMPARE(panel.link->logModel->log(), std::string("still here"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
