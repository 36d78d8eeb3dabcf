// The window: its tabs, menu, edit timer and quitting, the status bar, the
// "Main" tab (device line, track grid, the three commands with their dialogs,
// outcomes and progress bar), the "Log" tab, and the queue that brings worker
// results to the UI thread.
#include "PanelUnderTest.h"  // first: see there

#include <fstream>
#include <functional>
#include <numeric>
#include <thread>

#include "app/QtFileDialogs.h"
#include "app/QtMainQueue.h"

using namespace qx;
using namespace qx::apptest;
using sim::TrackState;
using SimTracks = std::vector<sim::SimTrack>;

namespace {

enum Row { title, length, position, state, pan, volume, feedback };

// The colour a person would name, "clear" for no fill.
QString colourName(const std::optional<QColor>& fill)
{
    if (!fill || fill->alpha() == 0) return "clear";
    const int hue = fill->hsvSaturation() < 60 ? -1 : fill->hsvHue();
    const std::pair<int, const char*> huesBelow[] = {{0, "grey"},    {15, "red"},  {42, "orange"}, {70, "yellow"},
                                                     {170, "green"}, {260, "blue"}, {340, "other"}};
    for (const auto& [below, name] : huesBelow)
        if (hue < below) return name;
    return "red";
}

// The colours behind a track's title and state, as "title/state".
QString colours(const app::TrackGrid& grid, int column)
{
    return colourName(grid.fill(title, column)) + "/" + colourName(grid.fill(state, column));
}

// The status bar's left side, "failed: " before a failure.
QString outcome(const app::PanelStatusBar& bar)
{
    return (bar.outcomeIsFailure() ? "failed: " : "") + bar.outcomeText();
}

// Answers the modal file dialog about to open as a user would.
void answerNextDialog(std::function<void(QFileDialog*)> answer)
{
    QTimer::singleShot(0, [answer] { answer(qobject_cast<QFileDialog*>(QApplication::activeModalWidget())); });
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void fiveTabsInOrderNoNewWindowCommandAndTheEditTimer()
    {
        PanelUnderTest panel;
        QTabWidget* tabs = panel.window->tabs();
        QStringList labels;
        for (int i = 0; i < tabs->count(); ++i) labels << tabs->tabText(i) + (tabs->tabIcon(i).isNull() ? "" : "+icon");
        QCOMPARE(labels, (QStringList{"Main", "MIDI Button", "Misc Config", "QX2 Buttons", "Log"}));
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(panel.window->quitAction()->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
        QVERIFY(panel.window->editTimer().isActive() && panel.window->editTimer().interval() == 500);
        for (QAction* menu : panel.window->menuBar()->actions())
            for (const QAction* action : menu->menu()->actions())
                QVERIFY2(!action->text().contains("New", Qt::CaseInsensitive) &&
                             !action->shortcuts().contains(QKeySequence(QKeySequence::New)),
                         qPrintable(action->text()));
    }

    void quitAndClosingEndTheProgram()
    {
        for (bool byQuitAction : {true, false}) {
            PanelUnderTest panel;
            panel.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(panel.window.get()));
            QTimer::singleShot(0, panel.window.get(), [&panel, byQuitAction] {
                if (byQuitAction) panel.window->quitAction()->trigger(); else panel.window->close();
            });
            // The loop must end by itself; the guard, gone with the window,
            // only keeps a failure from hanging.
            QTimer::singleShot(30000, panel.window.get(), [] { QCoreApplication::exit(99); });
            QCOMPARE(QCoreApplication::exec(), 0);
        }
    }

    void statusBarFollowsTheLinkAndEachOutcomeWhileTheWindowLasts()
    {
        PanelUnderTest panel;
        const app::PanelStatusBar& bar = *panel.window->panelStatusBar();
        ReportSink& reports = panel.session.linkHost().reports;
        panel.session.arbiter().publish({LinkState::Phase::connectedNetwork, "QX2", "10.77.0.2"});
        panel.ui.drain();
        QCOMPARE(bar.linkState(), QString("Connected over the network to QX2 at 10.77.0.2"));
        // Outcomes go on the left and leave the link state alone.
        reports.upgradeEnded({false, "Upgrade stopped: the looper stopped answering"});
        panel.ui.drain();
        QCOMPARE(outcome(bar), QString("failed: Upgrade stopped: the looper stopped answering"));
        QCOMPARE(bar.linkState(), QString("Connected over the network to QX2 at 10.77.0.2"));

        // The session outlives the window: later hand-offs must not reach a destroyed view.
        panel.window.reset();
        panel.receive(sim::reply::statusReport(4, 1, SimTracks{{.state = TrackState::Playing}}));
        panel.receive(sim::reply::logText("still here"));
        reports.upgradeEnded({true, "Upgrade finished"});
        panel.session.arbiter().publish({LinkState::Phase::pollingMidi, {}, {}});
        panel.ui.drain();
        QCOMPARE(panel.models().log->log(), std::string("still here"));
    }

    void gridBeforeAnyReportThenAfterEach()
    {
        PanelUnderTest panel;
        const app::TrackGrid& grid = *panel.window->contentView()->grid();
        QCOMPARE(grid.columnCount(), 9);
        const QStringList headers = {"", "Length", "Position", "Status", "Pan", "Volume", "Feedback"};
        for (int row = title; row <= feedback; ++row) QCOMPARE(grid.text(row, 0), headers[row]);
        for (int column = 1; column <= 8; ++column) {
            QCOMPARE(grid.text(title, column), QStringLiteral("Track %1").arg(column));
            for (int row = length; row <= feedback; ++row) QVERIFY(grid.text(row, column).isEmpty());
            QCOMPARE(colours(grid, column), QString("clear/clear"));
        }

        panel.receive(sim::reply::informationText("QX2 <b>v1.2</b>"));
        QCOMPARE(panel.window->contentView()->deviceLine()->text(), QString("QX2 <b>v1.2</b> - MIDI"));
        QCOMPARE(panel.window->contentView()->deviceLine()->textFormat(), Qt::PlainText);  // verbatim, not markup

        // Tracks 1 to 4, the second selected.
        panel.receive(sim::reply::statusReport(4, 2, SimTracks{{.state = TrackState::Recording, .level = 3, .pan = 64,
                                                                .feedback = 100, .length = 72000, .position = 24000},
                                                               {.state = TrackState::Playing},
                                                               {.state = TrackState::Overdubbing},
                                                               {.state = TrackState::Replacing}}));
        const QStringList track1 = {"Track 1", "1.5", "0.5", "recording", "64", "-3", "100"};
        for (int row = title; row <= feedback; ++row) QCOMPARE(grid.text(row, 1), track1[row]);
        QCOMPARE((QStringList{colours(grid, 1), colours(grid, 2), colours(grid, 3), colours(grid, 4)}),
                 (QStringList{"clear/red", "blue/green", "clear/yellow", "clear/orange"}));

        // The next report: the stopped track loses its colour, the selection moves.
        panel.receive(
            sim::reply::statusReport(4, 3, SimTracks{{.state = TrackState::Recording}, {.state = TrackState::Stopped}}));
        QCOMPARE(grid.text(state, 2), QString("stopped"));
        QCOMPARE(colours(grid, 2) + " " + colours(grid, 3), QString("clear/clear blue/clear"));
    }

    void commandsTakeTheChosenFileShowTheirOutcomeAndCancellingDoesNothing()
    {
        PanelUnderTest panel;
        const app::PanelStatusBar& bar = *panel.window->panelStatusBar();
        app::ContentView& view = *panel.window->contentView();
        MidiLink& midi = panel.midiLink();
        QTemporaryDir dir;
        const QString firmware = dir.filePath("fw.syx");
        std::ofstream(firmware.toStdString(), std::ios::binary) << "\xF0\x01\x02\xF7\xF0\x03\xF7";

        // An upgrade: refused while no looper answers, then sent to its end.
        panel.dialogs.answers = {firmware.toStdString(), firmware.toStdString()};
        view.upgradeButton()->click();
        QCOMPARE(outcome(bar), QString("failed: Upgrade refused: no looper is answering on MIDI"));
        panel.looperAnswersOnMidi();
        view.upgradeButton()->click();
        QCOMPARE(outcome(bar), "Upgrade started: " + firmware);
        for (int step = 0; step < 10 && midi.upgradeInProgress(); ++step) midi.sendUpgradeMessage();
        panel.ui.drain();
        QCOMPARE(panel.midi->messages(), (std::vector<Bytes>{hex("F0 01 02 F7"), hex("F0 03 F7")}));
        QVERIFY2(outcome(bar).startsWith("Upgrade finished"), qPrintable(outcome(bar)));
        const QProgressBar* progress = view.progressBar();
        QVERIFY(!progress->isTextVisible() && progress->value() == progress->maximum());

        // Cancelled, or confirmed without a location: nothing starts, the earlier file is not sent again.
        for (bool confirmedWithoutALocation : {false, true}) {
            panel.dialogs.answers.assign(confirmedWithoutALocation ? 3 : 0, "");
            panel.dialogs.asked.clear();
            for (QPushButton* button : {view.upgradeButton(), view.saveButton(), view.restoreButton()}) button->click();
            QCOMPARE(panel.dialogs.asked,
                     (std::vector<std::string>{"open dialog", "save dialog looper.cfg", "open dialog"}));
        }
        QVERIFY(!midi.upgradeInProgress() && !panel.session.cancelTransfer().success);
        QVERIFY(outcome(bar).startsWith("Upgrade finished"));

        // A save starts on the chosen file; a restore is refused while it runs, then for a missing file.
        const QString saved = dir.filePath("backup.json"), missing = dir.filePath("none.cfg");
        panel.dialogs.answers = {saved.toStdString(), missing.toStdString(), missing.toStdString()};
        view.saveButton()->click();
        QCOMPARE(outcome(bar), "Saving the device configuration to " + saved);
        view.restoreButton()->click();
        QCOMPARE(outcome(bar), QString("failed: Restore refused: a save or restore is already running"));
        QVERIFY(panel.session.cancelTransfer().success);
        view.restoreButton()->click();
        QVERIFY2(outcome(bar).startsWith("failed: Restore refused") && outcome(bar).contains(missing),
                 qPrintable(outcome(bar)));

        // The progress bar holds any fraction within its total.
        const std::pair<double, int> quartersShown[] = {{0.0, 0}, {0.25, 1}, {1.7, 4}, {-0.5, 0}};
        for (const auto& [completion, quarters] : quartersShown) {
            panel.models().progress->setCompletion(completion);
            QCOMPARE(progress->value(), progress->maximum() * quarters / 4);  // the bar starts at 0
        }
    }

    void qtDialogsProposeLooperCfgAndTakeAnyFile()
    {
        app::QtFileDialogs dialogs;
        answerNextDialog([](QFileDialog* dialog) {
            dialog->reject();
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);  // one file that exists
        });
        QVERIFY(!dialogs.chooseFileToOpen("Restore device configuration"));
        QTemporaryDir dir;
        QString proposed;
        answerNextDialog([&](QFileDialog* dialog) {
            if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) proposed = name->text();
            dialog->setDirectory(dir.path());
            dialog->selectFile("backup.json");  // another extension is taken as it is
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QCOMPARE(dialogs.chooseFileToSave("Save device configuration", "looper.cfg"),
                 std::optional<std::string>(dir.filePath("backup.json").toStdString()));
        QCOMPARE(proposed, QString("looper.cfg"));
    }

    void logShowsAppendedTextKeepsTheUsersEditsAndScrolls()
    {
        PanelUnderTest panel;
        app::LogView& view = *panel.window->logView();
        panel.window->tabs()->setCurrentWidget(&view);
        panel.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel.window.get()));
        QVERIFY(view.minimumSize() == QSize(700, 400) && view.maximumSize() == QSize(700, 400));
        panel.receive(sim::reply::logText("boot "));
        panel.receive(sim::reply::logText("ok\n"));
        QCOMPARE(view.toPlainText(), QString("boot ok\n"));

        view.moveCursor(QTextCursor::Start);
        QTest::keyClicks(&view, "note: ");
        QCOMPARE(panel.models().log->log(), std::string("note: boot ok\n"));
        panel.receive(sim::reply::logText("tick\n"));
        QCOMPARE(view.toPlainText(), QString("note: boot ok\ntick\n"));
        QCOMPARE(view.textCursor().position(), 6);  // the user's cursor stays put

        view.selectAll();
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(panel.models().log->log(), std::string());
        std::string expected;
        for (int line = 0; line < 500; ++line) expected += "line " + std::to_string(line) + "\n";
        for (std::size_t at = 0; at < expected.size(); at += 100)
            panel.receive(sim::reply::logText(expected.substr(at, 100)));
        QCOMPARE(view.toPlainText().toStdString(), expected);  // only what came after, none dropped
        QScrollBar* bar = view.verticalScrollBar();
        QVERIFY(bar->value() > 0 && bar->value() == bar->maximum());  // it followed the end
        bar->setValue(0);  // scrolled up by the user: an append leaves the view there
        panel.receive(sim::reply::logText("more\n"));
        QCOMPARE(bar->value(), 0);
    }

    void workerPostsRunOnTheUiThreadInOrder()
    {
        std::vector<int> ran;  // touched on the UI thread only
        QThread* const uiThread = QThread::currentThread();
        auto queue = std::make_unique<app::QtMainQueue>();
        std::thread worker([&] {
            for (int i = 0; i < 100; ++i)
                queue->post([&, i] { ran.push_back(QThread::currentThread() == uiThread ? i : -1); });
        });
        worker.join();
        QVERIFY(ran.empty());  // nothing runs before the event loop does
        QCoreApplication::sendPostedEvents();
        queue->post([&ran] { ran.push_back(1000); });
        queue.reset();
        QCoreApplication::sendPostedEvents();  // a task still waiting went with its queue
        std::vector<int> expected(100);
        std::iota(expected.begin(), expected.end(), 0);
        QCOMPARE(ran, expected);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
