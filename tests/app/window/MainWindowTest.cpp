// The window: its tabs, menu and quitting, the status bar, the "Main" tab
// (device line, track grid, the three commands with their dialogs, outcomes
// and progress bar), the "Log" tab, and the queue that brings worker results
// to the UI thread.
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

// Answers the modal file dialog about to open as a user would.
void answerNextDialog(std::function<void(QFileDialog*)> answer)
{
    QTimer::singleShot(0, [answer] { answer(qobject_cast<QFileDialog*>(QApplication::activeModalWidget())); });
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void fiveTabsInOrderAndNoNewWindowCommand()
    {
        PanelUnderTest panel;
        QTabWidget* tabs = panel.window->tabs();
        QStringList labels;
        for (int i = 0; i < tabs->count(); ++i) labels << tabs->tabText(i) + (tabs->tabIcon(i).isNull() ? "" : "+icon");
        QCOMPARE(labels, (QStringList{"Main", "MIDI Button", "Misc Config", "QX2 Buttons", "Log"}));
        QCOMPARE(tabs->currentIndex(), 0);
        QVERIFY(panel.window->quitAction()->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
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
            QTimer::singleShot(10000, panel.window.get(), [] { QCoreApplication::exit(99); });
            QCOMPARE(QCoreApplication::exec(), 0);
        }
    }

    void statusBarShowsTheLinkStateAndEachOutcomeWhileTheWindowLasts()
    {
        PanelUnderTest panel;
        const app::PanelStatusBar& bar = *panel.window->panelStatusBar();
        panel.link->showLinkState("Connected over the network to QX2 at 10.77.0.2");
        panel.ui.drain();
        QCOMPARE(bar.linkState(), QString("Connected over the network to QX2 at 10.77.0.2"));
        // Outcomes go on the left and leave the link state alone.
        panel.script.outcome({true, "Saved the device configuration to /tmp/looper.cfg"});
        QCOMPARE(bar.outcomeText(), QString("Saved the device configuration to /tmp/looper.cfg"));
        QVERIFY(!bar.outcomeIsFailure());
        panel.link->upgradeEnded({false, "Upgrade stopped: the looper stopped answering"});
        panel.ui.drain();
        QCOMPARE(bar.outcomeText(), QString("Upgrade stopped: the looper stopped answering"));
        QVERIFY(bar.outcomeIsFailure());
        QCOMPARE(bar.linkState(), QString("Connected over the network to QX2 at 10.77.0.2"));

        // The link outlives the window: later hand-offs must not reach a destroyed view.
        panel.window.reset();
        panel.receive(statusReport(1, {{.state = TrackState::Playing}}));
        panel.receive(sim::reply::logText("still here"));
        panel.link->upgradeEnded({true, "Upgrade finished"});
        panel.link->showLinkState("Polling the looper over MIDI");
        panel.ui.drain();
        QCOMPARE(panel.link->logModel->log(), std::string("still here"));
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

        panel.receive(statusReport(2, {{.state = TrackState::Recording, .level = 3, .pan = 64, .feedback = 100,
                                        .length = 72000, .position = 24000},
                                       {.state = TrackState::Playing},
                                       {.state = TrackState::Overdubbing},
                                       {.state = TrackState::Replacing}}));
        const QStringList track1 = {"Track 1", "1.5", "0.5", "recording", "64", "-3", "100"};
        for (int row = title; row <= feedback; ++row) QCOMPARE(grid.text(row, 1), track1[row]);
        QCOMPARE((QStringList{colours(grid, 1), colours(grid, 2), colours(grid, 3), colours(grid, 4)}),
                 (QStringList{"clear/red", "blue/green", "clear/yellow", "clear/orange"}));

        // The next report: the stopped track loses its colour, the selection moves.
        panel.receive(statusReport(3, {{.state = TrackState::Recording}, {.state = TrackState::Stopped}}));
        QCOMPARE(grid.text(state, 2), QString("stopped"));
        QCOMPARE(colours(grid, 2) + " " + colours(grid, 3), QString("clear/clear blue/clear"));
    }

    void cancellingAnyDialogDoesNothing()
    {
        PanelUnderTest panel;
        panel.looperAnswersOnMidi();
        app::ContentView& view = *panel.window->contentView();
        for (bool confirmedWithoutALocation : {false, true}) {
            panel.script.answers.assign(confirmedWithoutALocation ? 3 : 0, "");
            panel.script.events.clear();
            for (QPushButton* button : {view.upgradeButton(), view.saveButton(), view.restoreButton()}) button->click();
            QCOMPARE(panel.script.events,
                     (std::vector<std::string>{"open dialog", "save dialog looper.cfg", "open dialog"}));
        }
        QVERIFY(!panel.link->upgrade().inProgress());
        QVERIFY(panel.window->panelStatusBar()->outcomeText().isEmpty());
    }

    void commandsTakeTheChosenFileAndShowTheirOutcome()
    {
        PanelUnderTest panel;
        const app::PanelStatusBar& bar = *panel.window->panelStatusBar();
        app::ContentView& view = *panel.window->contentView();
        panel.script.answers = {"/tmp/backup.json", "/tmp/looper.cfg"};
        view.saveButton()->click();
        view.restoreButton()->click();
        QCOMPARE(panel.script.events, (std::vector<std::string>{"save dialog looper.cfg", "save /tmp/backup.json",
                                                                "open dialog", "restore /tmp/looper.cfg"}));
        QVERIFY(bar.outcomeText().contains("/tmp/looper.cfg") && !bar.outcomeIsFailure());
        panel.script.refusal = "Save refused: a restore is running";
        panel.script.answers = {"/tmp/other.cfg"};
        view.saveButton()->click();
        QCOMPARE(bar.outcomeText(), QString("Save refused: a restore is running"));
        QVERIFY(bar.outcomeIsFailure());

        // An upgrade: refused while no looper answers, then sent to its end.
        QTemporaryDir dir;
        const std::string firmware = dir.filePath("fw.syx").toStdString();
        std::ofstream(firmware, std::ios::binary) << "\xF0\x01\x02\xF7\xF0\x03\xF7";
        panel.script.answers = {firmware, firmware};
        view.upgradeButton()->click();
        QVERIFY2(bar.outcomeText().startsWith("Upgrade refused"), qPrintable(bar.outcomeText()));
        panel.looperAnswersOnMidi();
        view.upgradeButton()->click();
        QVERIFY(bar.outcomeText().contains(QString::fromStdString(firmware)) && !bar.outcomeIsFailure());
        for (int step = 0; step < 10 && panel.link->upgrade().inProgress(); ++step) panel.link->sendUpgradeMessage();
        panel.ui.drain();
        QCOMPARE(panel.midi->messages(), (std::vector<Bytes>{hex("F0 01 02 F7"), hex("F0 03 F7")}));
        QVERIFY2(bar.outcomeText().startsWith("Upgrade finished"), qPrintable(bar.outcomeText()));
        view.upgradeButton()->click();  // cancelled: the earlier file is not sent again
        QVERIFY(!panel.link->upgrade().inProgress());

        // The progress bar: no text, full at the end, and held within its total.
        const QProgressBar* progress = view.progressBar();
        QVERIFY(!progress->isTextVisible() && progress->value() == progress->maximum());
        const std::pair<double, int> quartersShown[] = {{0.0, 0}, {0.25, 1}, {1.7, 4}, {-0.5, 0}};
        for (const auto& [completion, quarters] : quartersShown) {
            panel.link->completionModel->setCompletion(completion);
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
        QCOMPARE(panel.link->logModel->log(), std::string("note: boot ok\n"));
        panel.receive(sim::reply::logText("tick\n"));
        QCOMPARE(view.toPlainText(), QString("note: boot ok\ntick\n"));
        QCOMPARE(view.textCursor().position(), 6);  // the user's cursor stays put

        view.selectAll();
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(panel.link->logModel->log(), std::string());
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
