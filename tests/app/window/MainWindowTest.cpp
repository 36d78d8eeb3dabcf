// The window: its tabs, menus, edit timer and quitting, the status bar, the
// "Main" tab (device line, track grid, the three commands with their dialogs,
// outcomes and progress bar), the "Log" tab, the queue that brings worker
// results to the UI thread, and the three settings tabs: pickers show the
// models, picks only edit, and the window's 0.5 s edit tick (stepped by hand
// here) sends the edit. When a tick sends what is for the session's edit
// cycle tests; these prove the tabs are bound to the session. Then what the
// window remembers between runs, under any locale, palette and keyboard.
//
// The window runs over a session whose links never start (see
// SessionUnderTest); the file dialogs answer from a list, and the looper's
// messages come from the simulated looper's reply builders, whose headers go
// before any Qt header: they use `slots` as a name, which Qt defines as a macro.
#include "sim/LooperReplies.h"

#include <clocale>
#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <thread>

#include <QtTest>
#include <QtWidgets>

#include "app/ContentView.h"
#include "app/LogView.h"
#include "app/MIDIButtonView.h"
#include "app/MainWindow.h"
#include "app/MidiMenu.h"
#include "app/MiscConfigView.h"
#include "app/OptionPicker.h"
#include "app/PanelStatusBar.h"
#include "app/QX2EffectsView.h"
#include "app/QtDialogs.h"
#include "app/QtMainQueue.h"
#include "app/TerminationSignals.h"
#include "app/TrackColors.h"
#include "app/TrackGrid.h"
#include "config/FunctionTables.h"
#include "support/Hex.h"
#include "support/SessionUnderTest.h"

using namespace qx;
using sim::TrackState;
using SimTracks = std::vector<sim::SimTrack>;
using test::hex;

namespace {

// The user at the dialogs: each file dialog answers with the next queued path
// (none queued: the user cancels), each question with the next queued answer
// (none queued: yes), and every dialog asked is written down in order, with
// the folder it opened in.
class ScriptedDialogs final : public app::Dialogs {
public:
    std::optional<std::string> chooseFileToOpen(const std::string&, const std::string& folder) override
    {
        return answer("open dialog" + in(folder));
    }
    std::optional<std::string> chooseFileToSave(const std::string&, const std::string& folder,
                                                const std::string& name) override
    {
        return answer("save dialog " + name + in(folder));
    }
    bool confirm(const std::string&, const std::string& question) override
    {
        asked.push_back("confirm " + question);
        const bool yes = confirms.empty() || confirms.front();
        if (!confirms.empty()) confirms.pop_front();
        return yes;
    }

    std::deque<std::string> answers;
    std::deque<bool> confirms;
    std::vector<std::string> asked;

private:
    static std::string in(const std::string& folder) { return folder.empty() ? "" : " in " + folder; }
    std::optional<std::string> answer(std::string dialog)
    {
        asked.push_back(std::move(dialog));
        if (answers.empty()) return std::nullopt;
        std::string path = answers.front();
        answers.pop_front();
        return path;
    }
};

// The window goes first, the session and its queue after it.
struct PanelUnderTest : test::SessionUnderTest {
    PanelUnderTest() : window(std::make_unique<app::MainWindow>(session, dialogs)) {}

    ScriptedDialogs dialogs;
    std::unique_ptr<app::MainWindow> window;
};

// What a choice from the pop-up does: the row changes and activated fires.
bool userPicks(QComboBox* picker, const QString& text)
{
    const int index = picker->findText(text);
    if (index < 0) return false;
    picker->setCurrentIndex(index);
    emit picker->activated(index);
    return true;
}

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

QStringList optionTexts(const QComboBox* picker)
{
    QStringList texts;
    for (int i = 0; i < picker->count(); ++i) texts << picker->itemText(i);
    return texts;
}

QStringList numbers(int first, int last)
{
    QStringList texts;
    for (int n = first; n <= last; ++n) texts << QString::number(n);
    return texts;
}

// The view's labels as shown, sorted; one that is not bold is marked.
QStringList labels(const QWidget& view)
{
    QStringList texts;
    for (const QLabel* label : view.findChildren<QLabel*>())
        texts << (label->font().bold() ? "" : "not bold: ") + QString(label->text()).remove('&');
    texts.sort();
    return texts;
}

// What the six pickers show, row by row.
QStringList shown(const app::MiscConfigView& view)
{
    QStringList texts;
    for (const QComboBox* picker : {view.brightnessPicker(), view.displayModePicker(), view.midiInClockPicker(),
                                    view.midiOutClockPicker(), view.midiChannelPicker(), view.noiseGatePicker()})
        texts << picker->currentText();
    return texts;
}

QString functionName(std::int64_t id) { return QString::fromStdString(findFunction(id)->name); }

// Stands in for both links; records each MIDI device the session is told to use.
class DeviceChoices final : public Link {
public:
    explicit DeviceChoices(std::vector<std::string>& chosen) : chosen_(chosen) {}
    void start() override {}
    void stop() override {}
    std::optional<std::string> startUpgrade(Bytes) override { return "no upgrade here"; }
    void chooseMidiDevice(const std::string& device) override { chosen_.push_back(device); }

private:
    std::vector<std::string>& chosen_;
};

// The menu's entries, the checked one marked "*".
QStringList entries(const QMenu& menu)
{
    QStringList texts;
    for (const QAction* action : menu.actions()) texts << action->text() + (action->isChecked() ? "*" : "");
    return texts;
}

QColor textColour(const QWidget& widget) { return widget.palette().color(widget.foregroundRole()); }
QColor backgroundColour(const QWidget& widget) { return widget.palette().color(widget.backgroundRole()); }

// One tick of the window's timer; what it queued for the looper.
std::vector<Bytes> sentAtNextTick(PanelUnderTest& panel) { return panel.window->editTick(), panel.queued(); }

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

public:
    // Before the application exists: what the window remembers goes to a
    // folder of the test's own, never the user's.
    static void initMain()
    {
        static const QTemporaryDir configHome;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    }

private slots:
    // Every test starts as the panel's first run.
    void init() { QSettings("REDOVIVevorev", "redovivevorev").clear(); }

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

    // Quit, closing, and SIGTERM (which closes the window) while nothing runs.
    void quitClosingAndSigtermEndTheProgram()
    {
        for (int by = 0; by < 3; ++by) {
            PanelUnderTest panel;
            panel.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(panel.window.get()));
            const app::TerminationSignals termination([&panel] { panel.window->close(); });
            QTimer::singleShot(0, panel.window.get(), [&panel, by] {
                if (by == 0) panel.window->quitAction()->trigger();
                else if (by == 1) panel.window->close();
                else ::raise(SIGTERM);
            });
            // The loop must end by itself; the guard, gone with the window,
            // only keeps a failure from hanging.
            QTimer::singleShot(30000, panel.window.get(), [] { QCoreApplication::exit(99); });
            QCOMPARE(QCoreApplication::exec(), 0);
        }
    }

    void gridBeforeAnyReportThenAfterEach_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::newRow("C") << QByteArray("C");
        // Comma decimals: the looper's numbers still read "1.5".
        QTest::newRow("de_DE") << QByteArray("de_DE.UTF-8");
    }

    void gridBeforeAnyReportThenAfterEach()
    {
        QFETCH(QByteArray, locale);
        const std::string before = std::setlocale(LC_ALL, nullptr);
        QVERIFY2(std::setlocale(LC_ALL, locale.constData()), "locale missing: scripts/setup.sh generates it");
        const auto restore = qScopeGuard([&before] { std::setlocale(LC_ALL, before.c_str()); });
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
        const SimTracks next{{.state = TrackState::Recording}, {.state = TrackState::Stopped}};
        panel.receive(sim::reply::statusReport(4, 3, next));
        QCOMPARE(grid.text(state, 2), QString("stopped"));
        QCOMPARE(colours(grid, 2) + " " + colours(grid, 3), QString("clear/clear blue/clear"));
    }

    void commandsTakeTheChosenFileShowTheirOutcomeBesideTheLinkAndCancellingDoesNothing()
    {
        PanelUnderTest panel;
        const app::PanelStatusBar& bar = *panel.window->panelStatusBar();
        app::ContentView& view = *panel.window->contentView();
        MidiLink& midi = panel.midiLink();
        QTemporaryDir dir;
        const QString firmware = dir.filePath("fw.syx");
        std::ofstream(firmware.toStdString(), std::ios::binary) << "\xF0\x01\x02\xF7\xF0\x03\xF7";

        // An upgrade asked about, then sent to its end and answered; its
        // refusals are the session's (UpgradeCommandTest).
        panel.receive(sim::reply::informationText("QX2 1.0"));
        panel.dialogs.answers = {firmware.toStdString(), firmware.toStdString()};
        panel.dialogs.confirms = {false, true};
        panel.looperAnswersOnMidi();
        view.upgradeButton()->click();
        QVERIFY(!midi.upgradeInProgress() && outcome(bar).isEmpty());  // the user said no
        view.upgradeButton()->click();
        QCOMPARE(panel.dialogs.asked.back(), "confirm Send " + firmware.toStdString() + " (7 bytes) to QX2 1.0 over "
                                             "MIDI? Do not unplug the looper until it has finished.");
        QCOMPARE(outcome(bar), "Upgrade started: " + firmware);
        for (int step = 0; step < 10 && midi.upgradeInProgress(); ++step) midi.sendUpgradeMessage();
        panel.receive(test::padded("F0 00 02 33 02 04 01", 64));
        midi.checkUpgradeAnswer();
        panel.ui.drain();
        QCOMPARE(panel.midi->messages(), (std::vector<Bytes>{hex("F0 01 02 F7"), hex("F0 03 F7")}));
        QVERIFY2(outcome(bar).startsWith("Upgrade sent over MIDI (7 bytes); the looper answered again"),
                 qPrintable(outcome(bar)));
        panel.window->statusBar()->showMessage("a tip");
        panel.window->statusBar()->clearMessage();
        QVERIFY2(outcome(bar).startsWith("Upgrade sent"), "the outcome stays until the next one");
        const QProgressBar* progress = view.progressBar();
        QVERIFY(!progress->isTextVisible() && progress->value() == progress->maximum());

        // Cancelled, or confirmed without a location: nothing starts, the earlier file is not sent again.
        // Only the upgrade dialog has been used: it opens where its file was.
        for (bool confirmedWithoutALocation : {false, true}) {
            panel.dialogs.answers.assign(confirmedWithoutALocation ? 3 : 0, "");
            panel.dialogs.asked.clear();
            for (QPushButton* button : {view.upgradeButton(), view.saveButton(), view.restoreButton()}) button->click();
            QCOMPARE(panel.dialogs.asked,
                     (std::vector<std::string>{"open dialog in " + dir.path().toStdString(), "save dialog looper.cfg",
                                               "open dialog"}));
        }
        QVERIFY(!midi.upgradeInProgress() && !panel.session.cancelTransfer().success &&
                outcome(bar).startsWith("Upgrade sent"));

        // A save starts on the chosen file; a restore is refused while it runs, then for a missing file.
        const QString saved = dir.filePath("backup.json"), missing = dir.filePath("none.cfg");
        panel.dialogs.answers = {saved.toStdString(), missing.toStdString(), missing.toStdString()};
        view.saveButton()->click();
        QCOMPARE(outcome(bar), "Saving the device configuration to " + saved);
        view.restoreButton()->click();
        QCOMPARE(outcome(bar), QString("failed: Restore refused: a save or restore is already running"));
        // Quitting asks first while it runs; Cancel beside the progress bar stops it.
        panel.dialogs.confirms = {false};
        panel.window->show();
        QVERIFY(!panel.window->close() && panel.window->isVisible());
        QVERIFY(panel.dialogs.asked.back().starts_with("confirm A save is running"));
        QVERIFY(view.cancelButton()->isEnabled());
        view.cancelButton()->click();
        QCOMPARE(outcome(bar), QString("failed: Save cancelled: nothing written"));
        QVERIFY(!view.cancelButton()->isEnabled() && !std::filesystem::exists(saved.toStdString()));
        view.restoreButton()->click();  // the file is looked at off the UI thread
        for (int i = 0; i < 500 && !outcome(bar).startsWith("failed"); ++i) panel.ui.waitAndDrain(std::chrono::milliseconds(10));
        QVERIFY2(outcome(bar).startsWith("failed: Restore refused") && outcome(bar).contains(missing),
                 qPrintable(outcome(bar)));
        QVERIFY(!view.cancelButton()->isEnabled());

        // The progress bar holds any fraction within its total.
        const std::pair<double, int> quartersShown[] = {{0.0, 0}, {0.25, 1}, {1.7, 4}, {-0.5, 0}};
        for (const auto& [completion, quarters] : quartersShown) {
            panel.models().progress->setCompletion(completion);
            QCOMPARE(progress->value(), progress->maximum() * quarters / 4);  // the bar starts at 0
        }

        // The link on the right; outcomes go on the left and leave it alone.
        const QString connected = "Connected over the network to QX2 at 10.77.0.2";
        panel.session.arbiter().publish({LinkState::Phase::connectedNetwork, "QX2", "10.77.0.2"});
        panel.ui.drain();
        QCOMPARE(bar.linkState(), connected);
        panel.session.linkHost().reports.upgradeEnded({false, "Upgrade stopped: the looper stopped answering"});
        panel.ui.drain();
        QCOMPARE(outcome(bar), QString("failed: Upgrade stopped: the looper stopped answering"));
        QCOMPARE(bar.linkState(), connected);

        // The session outlives the window: later hand-offs must not reach a destroyed view.
        panel.window.reset();
        panel.receive(sim::reply::statusReport(4, 1, SimTracks{{.state = TrackState::Playing}}));
        panel.receive(sim::reply::logText("still here"));
        panel.session.linkHost().reports.upgradeEnded({true, "Upgrade finished"});
        panel.looperAnswersOnMidi();
        panel.ui.drain();
        QCOMPARE(panel.models().log->log(), std::string("still here"));
    }

    void qtDialogsOpenInTheFolderGivenProposeLooperCfgAndTakeAnyFile()
    {
        app::QtDialogs dialogs;
        QTemporaryDir dir;
        QString openedIn;
        answerNextDialog([&](QFileDialog* dialog) {
            openedIn = dialog->directory().absolutePath();
            dialog->reject();
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);  // one file that exists
        });
        QVERIFY(!dialogs.chooseFileToOpen("Restore device configuration", dir.path().toStdString()));
        QCOMPARE(openedIn, dir.path());
        QString proposed;
        answerNextDialog([&](QFileDialog* dialog) {
            if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) proposed = name->text();
            dialog->selectFile("backup.json");  // another extension is taken as it is
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QCOMPARE(dialogs.chooseFileToSave("Save device configuration", dir.path().toStdString(), "looper.cfg"),
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

        // Past its limit the log loses whole lines at its front, and the view
        // the same text, the user's cursor staying on the text it was on.
        const std::string line = std::string(199, 'x') + "\n";
        view.moveCursor(QTextCursor::End);
        for (std::size_t sent = 0; sent < LogText::kLimit + 4000; sent += line.size())
            panel.receive(sim::reply::logText(line));
        const std::string& log = panel.models().log->log();
        QVERIFY(log.size() <= LogText::kLimit && log.size() > LogText::kLimit - line.size());
        QVERIFY(log.starts_with(line) && panel.models().log->dropped() > expected.size());
        QCOMPARE(view.toPlainText().toStdString(), log);
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

    void miscConfigShowsTheReportAndSendsAPickAtTheNextTick()
    {
        PanelUnderTest panel;
        app::MiscConfigView& view = *panel.window->miscConfigView();
        QCOMPARE(labels(view), (QStringList{"MIDI Channel", "MIDI In Clock Mode", "MIDI Out Clock Mode",
                                            "Noise Gate Level", "QX2 Display Brightness", "QX2 Display Mode"}));
        QCOMPARE(shown(view), (QStringList{"High", "Original", "Allow", "Off", "1", "Off"}));
        QCOMPARE(optionTexts(view.midiChannelPicker()), numbers(1, 16));
        sentAtNextTick(panel);  // the button tab's first request: see its test

        sim::SliceData slice{};
        slice[sim::kBrightnessWord] = 7;
        slice[sim::kDisplayTypeWord] = 1;
        slice[sim::kMidiChannelWord] = 12;
        slice[sim::kNoiseGateWord] = 40;  // a level no option stands for
        panel.receive(sim::reply::settingsSlice(sim::kSettingsSlice, slice));
        QVERIFY(sentAtNextTick(panel).empty());  // the next tick shows the report
        QCOMPARE(shown(view), (QStringList{"Low", "New", "Allow", "Off", "12", ""}));  // no option for 40: none shown

        // A pick sends nothing itself; the next tick sends it once.
        QVERIFY(userPicks(view.midiChannelPicker(), "7") && panel.queued().empty());
        QCOMPARE(sentAtNextTick(panel), std::vector<Bytes>{hex("F0 00 02 33 05 07 F7")});
    }

    void midiButtonAsksForTheButtonShownWritesEditsAndFollowsPresses()
    {
        PanelUnderTest panel;
        app::MIDIButtonView& view = *panel.window->midiButtonView();
        QCOMPARE(labels(view), QStringList{"MIDI Button:"});
        QCOMPARE(optionTexts(view.typePicker()), (QStringList{"PgmChange", "CC", "Note"}));
        QCOMPARE(optionTexts(view.numberPicker()), numbers(0, 127));
        QCOMPARE(view.typePicker()->currentText() + " " + view.numberPicker()->currentText(), QString("PgmChange 0"));
        for (std::size_t slot = 0; slot < 8; ++slot)
            QCOMPARE(view.functionPicker(slot)->currentText(), functionName(-1));  // the blank row
        // The first tick asks for the button shown, though nobody chose it, and
        // sends nothing else: the settings tab's start values are no edit.
        QCOMPARE(sentAtNextTick(panel), std::vector<Bytes>{hex("F0 00 02 33 0E 00 00 01 F7")});

        const sim::FunctionSlots mapping{1, 15, -1, 100, 2103, -1, -1, 0};
        panel.receive(sim::reply::buttonReport(0, std::span(&mapping, 1)));
        QVERIFY(sentAtNextTick(panel).empty());
        for (std::size_t slot = 0; slot < 8; ++slot)
            QCOMPARE(view.functionPicker(slot)->currentText(), functionName(mapping[slot]));

        QVERIFY(userPicks(view.functionPicker(2), functionName(15)) && panel.queued().empty());
        QCOMPARE(sentAtNextTick(panel),
                 std::vector<Bytes>{hex("F0 00 02 33 10 00 00 00 01 00 0F 00 0F 00 64 10 37 7F 7F 7F 7F 00 00 F7")});

        // Another button picked, or pressed on the looper, is asked for at the next tick.
        QVERIFY(userPicks(view.typePicker(), "Note") && userPicks(view.numberPicker(), "3"));
        QCOMPARE(sentAtNextTick(panel), std::vector<Bytes>{hex("F0 00 02 33 0E 02 03 01 F7")});
        panel.receive(sim::reply::buttonEvent(1, 5));  // control change 5
        QCOMPARE(sentAtNextTick(panel), std::vector<Bytes>{hex("F0 00 02 33 0E 01 05 01 F7")});
        QCOMPARE(view.typePicker()->currentText() + " " + view.numberPicker()->currentText(), QString("CC 5"));
    }

    void qx2PickersShowBothBanksAndAnEditAsksForTheWrite()
    {
        PanelUnderTest panel;
        app::QX2EffectsView& view = *panel.window->qx2EffectsView();
        EffectsRequests& effects = panel.session.linkHost().effects;
        QCOMPARE(labels(view), (QStringList{"Effect 1", "Effect 2"}));

        const sim::EffectBanks banks{{0, 1, 2, 3, 4, 5, 6, 7}, {2100, 2101, 2102, 2103, -1, -1, -1, 15}};
        panel.receive(sim::reply::effectsReport(banks));
        panel.window->editTick();
        for (std::size_t slot = 0; slot < 8; ++slot) {
            QCOMPARE(view.picker(1, slot)->currentText(), functionName(banks.bank1[slot]));
            QCOMPARE(view.picker(2, slot)->currentText(), functionName(banks.bank2[slot]));
        }

        // Nothing at the pick itself; the next tick asks the link to write both banks.
        QVERIFY(userPicks(view.picker(2, 4), functionName(48)) && !effects.take().write);
        panel.window->editTick();
        QVERIFY(effects.take().write);
        QCOMPARE(panel.models().effects2->effects[4].effectNum(), 48);
    }

    void remembersPlaceTabAndFoldersAndFirstOpensShowingEveryTrack()
    {
        QTemporaryDir upgrades, saves, restores;
        QRect place;
        {
            PanelUnderTest panel;
            app::MainWindow& window = *panel.window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            const QLabel* last = window.contentView()->grid()->cell(title, 8);
            QVERIFY2(last->visibleRegion().boundingRect() == last->rect(), "Track 8 is cut off");

            window.setGeometry(40, 30, 720, 500);
            window.tabs()->setCurrentIndex(3);
            panel.dialogs.answers = {upgrades.filePath("fw.syx").toStdString(), saves.filePath("a.cfg").toStdString(),
                                     restores.filePath("b.cfg").toStdString()};
            panel.dialogs.confirms = {false};
            app::ContentView& view = *window.contentView();
            for (QPushButton* button : {view.upgradeButton(), view.saveButton(), view.restoreButton()}) button->click();
            place = window.geometry();
            QVERIFY(window.close());
        }
        PanelUnderTest panel;
        panel.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel.window.get()));
        QCOMPARE(panel.window->geometry(), place);
        QCOMPARE(panel.window->tabs()->currentIndex(), 3);
        app::ContentView& view = *panel.window->contentView();
        for (QPushButton* button : {view.upgradeButton(), view.saveButton(), view.restoreButton()}) button->click();
        QCOMPARE(panel.dialogs.asked, (std::vector<std::string>{"open dialog in " + upgrades.path().toStdString(),
                                                                "save dialog looper.cfg in " + saves.path().toStdString(),
                                                                "open dialog in " + restores.path().toStdString()}));
    }

    void coloursFollowTheDesktopAndStayReadable_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << QApplication::style()->standardPalette();
        const QColor text(225, 225, 225), button(55, 55, 55), base(30, 30, 30), window(45, 45, 45);
        QTest::newRow("dark") << QPalette(text, button, button.lighter(), button.darker(), button, text, Qt::white, base,
                                          window);
    }

    void coloursFollowTheDesktopAndStayReadable()
    {
        QFETCH(QPalette, palette);
        // WCAG's own figures for the ratio used below.
        QVERIFY(qAbs(app::contrastRatio(Qt::white, Qt::black) - 21) < 1e-9 &&
                qAbs(app::contrastRatio(QColor(0x76, 0x76, 0x76), Qt::white) - 4.54) < 0.01);

        PanelUnderTest panel;
        const app::PanelStatusBar& bar = *panel.window->panelStatusBar();
        panel.window->panelStatusBar()->showOutcome({false, "Save failed"});
        panel.window->setPalette(palette);  // the desktop changes theme while a failure shows
        panel.receive(sim::reply::statusReport(4, 2, SimTracks{{.state = TrackState::Recording},
                                                               {.state = TrackState::Playing}}));
        const app::TrackGrid& grid = *panel.window->contentView()->grid();
        QCOMPARE(backgroundColour(grid), palette.color(QPalette::Base));
        QCOMPARE(colours(grid, 1) + " " + colours(grid, 2), QString("clear/red blue/green"));
        const std::pair<const char*, std::pair<QColor, QColor>> texts[] = {
            {"plain cell", {textColour(*grid.cell(length, 1)), backgroundColour(grid)}},
            {"selected title", {textColour(*grid.cell(title, 2)), *grid.fill(title, 2)}},
            {"failure", {textColour(*bar.outcomeLabel()), backgroundColour(bar)}},
        };
        for (const auto& [what, colours] : texts)
            QVERIFY2(app::contrastRatio(colours.first, colours.second) >= 4.5, what);
    }

    void everyPickerIsNamedAndMnemonicsReachThem()
    {
        PanelUnderTest panel;
        const QList<QLabel*> labels = panel.window->findChildren<QLabel*>();
        for (QWidget* picker : panel.window->findChildren<QWidget*>()) {
            if (!qobject_cast<QComboBox*>(picker) && !qobject_cast<QAbstractSpinBox*>(picker)) continue;
            const bool labelled = std::any_of(labels.begin(), labels.end(), [picker](const QLabel* label) {
                return label->buddy() == picker && !QKeySequence::mnemonic(label->text()).isEmpty();
            });
            QVERIFY2(labelled || !picker->accessibleName().isEmpty(), picker->parentWidget()->metaObject()->className());
        }

        // A key reaches one thing per tab, the menus' keys included.
        QList<QKeySequence> menuKeys;
        for (const QAction* menu : panel.window->menuBar()->actions()) menuKeys << QKeySequence::mnemonic(menu->text());
        QTabWidget* tabs = panel.window->tabs();
        for (int tab = 0; tab < tabs->count(); ++tab) {
            QList<QKeySequence> keys = menuKeys;
            for (const QLabel* label : tabs->widget(tab)->findChildren<QLabel*>())
                if (label->buddy()) keys << QKeySequence::mnemonic(label->text());
            for (const QAbstractButton* button : tabs->widget(tab)->findChildren<QAbstractButton*>())
                keys << QKeySequence::mnemonic(button->text());
            keys.removeAll(QKeySequence());
            QVERIFY2(QSet<QKeySequence>(keys.begin(), keys.end()).size() == keys.size(), qPrintable(tabs->tabText(tab)));
        }
        const app::ContentView& view = *panel.window->contentView();
        QStringList commands;
        for (const QPushButton* button : {view.upgradeButton(), view.saveButton(), view.restoreButton()})
            commands << QString(button->text()).remove('&') + (QKeySequence::mnemonic(button->text()).isEmpty() ? "!" : "");
        QCOMPARE(commands, (QStringList{"Send upgrade file", "Save device configuration", "Restore device configuration"}));

        // Alt and the underlined letter take the keyboard to the picker.
        panel.window->tabs()->setCurrentWidget(panel.window->miscConfigView());
        panel.window->show();
        QVERIFY(QTest::qWaitForWindowActive(panel.window.get()));
        QTest::keyClick(panel.window.get(), Qt::Key_C, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), panel.window->miscConfigView()->midiChannelPicker());
    }

    void midiMenuFollowsTheDevicesAndRemembersTheChoiceAndTheNoticeShows()
    {
        // What the entry to the program reads at start: a device not plugged in now.
        QSettings stored("REDOVIVevorev", "redovivevorev");
        stored.setValue("midi/device", "Gone Synth");
        ManualMainQueue ui;
        std::vector<std::string> chosen;
        LooperSession session(ui, [&chosen](LinkHost) {
            return LooperSession::Links{std::make_unique<DeviceChoices>(chosen), std::make_unique<DeviceChoices>(chosen)};
        });
        session.models().midiNotice->setText("No MIDI: no ALSA sequencer and no JACK server");
        ScriptedDialogs dialogs;
        app::MainWindow window(session, dialogs);
        const app::PanelStatusBar& bar = *window.panelStatusBar();
        QCOMPARE(outcome(bar), QString("failed: No MIDI: no ALSA sequencer and no JACK server"));
        session.models().outcome->set({true, "Saved"});
        QCOMPARE(outcome(bar), QString("Saved"));

        const QMenu& menu = *window.midiMenu();
        QVERIFY(window.menuBar()->actions().contains(menu.menuAction()) && menu.title().remove('&') == "MIDI");
        QCOMPARE(entries(menu), (QStringList{"All ports", "Gone Synth*"}));
        session.linkHost().reports.showMidiDevices({"QX2", "Keys & Pads"});
        ui.drain();
        QCOMPARE(entries(menu), (QStringList{"All ports", "QX2", "Keys && Pads", "Gone Synth*"}));
        menu.actions()[2]->trigger();
        session.models().midiDevices->set({"QX2"});  // unplugged: still the choice
        QCOMPARE(entries(menu), (QStringList{"All ports", "QX2", "Keys && Pads*"}));
        QCOMPARE(stored.value("midi/device").toString(), QString("Keys & Pads"));
        menu.actions()[0]->trigger();
        QCOMPARE(entries(menu), (QStringList{"All ports*", "QX2"}));
        QCOMPARE(stored.value("midi/device").toString(), QString());
        QCOMPARE(chosen, (std::vector<std::string>{"Keys & Pads", ""}));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
