// The "Main" tab: device line, track grid, progress bar, and the three
// commands with their dialogs.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

#include "LooperMessages.h"
#include "PanelUnderTest.h"
#include "WidgetProbes.h"
#include "app/ContentView.h"
#include "app/PanelStatusBar.h"
#include "app/TrackGrid.h"

using namespace qx;
using namespace qx::apptest;

namespace {

enum Row { title, length, position, state, pan, volume, feedback };

std::string writeFile(const QTemporaryDir& dir, const char* name, const Bytes& contents)
{
    const std::string path = dir.filePath(name).toStdString();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(contents.data()),
                                               static_cast<std::streamsize>(contents.size()));
    return path;
}

}  // namespace

class ContentViewTest : public QObject {
    Q_OBJECT

private slots:
    void gridBeforeAnyReport()
    {
        PanelUnderTest panel;
        const app::TrackGrid& grid = *panel.window->contentView()->grid();
        QCOMPARE(grid.columnCount(), 9);
        const QStringList headers = {"", "Length", "Position", "Status", "Pan", "Volume", "Feedback"};
        for (int row = 0; row < app::TrackGrid::kRows; ++row) QCOMPARE(grid.text(row, 0), headers[row]);
        for (int column = 1; column <= 8; ++column) {
            QCOMPARE(grid.text(title, column), QStringLiteral("Track %1").arg(column));
            for (int row = length; row <= feedback; ++row) QVERIFY(grid.text(row, column).isEmpty());
            QCOMPARE(colourName(grid.fill(title, column)), QString("clear"));
            QCOMPARE(colourName(grid.fill(state, column)), QString("clear"));
        }
    }

    void gridShowsAReport()
    {
        PanelUnderTest panel;
        panel.receive(statusReport(2, {{.state = 1, .level = 3, .pan = 64, .feedback = 100,
                                        .lengthSamples = 72000, .positionSamples = 24000},
                                       {.state = 4, .level = 0, .pan = 0, .feedback = 0,
                                        .lengthSamples = 96000, .positionSamples = 0},
                                       {.state = 2},
                                       {.state = 5}}));
        const app::TrackGrid& grid = *panel.window->contentView()->grid();
        QCOMPARE(grid.text(length, 1), QString("1.5"));
        QCOMPARE(grid.text(position, 1), QString("0.5"));
        QCOMPARE(grid.text(state, 1), QString("recording"));
        QCOMPARE(grid.text(volume, 1), QString("-3"));
        QCOMPARE(grid.text(pan, 1), QString("64"));
        QCOMPARE(grid.text(feedback, 1), QString("100"));
        QCOMPARE(grid.text(length, 2), QString("2.0"));
        QCOMPARE(grid.text(state, 2), QString("playing"));

        QCOMPARE(colourName(grid.fill(state, 1)), QString("red"));
        QCOMPARE(colourName(grid.fill(state, 2)), QString("green"));
        QCOMPARE(colourName(grid.fill(state, 3)), QString("yellow"));
        QCOMPARE(colourName(grid.fill(state, 4)), QString("orange"));
        QCOMPARE(colourName(grid.fill(title, 2)), QString("blue"));
        for (int column : {1, 3, 4}) QCOMPARE(colourName(grid.fill(title, column)), QString("clear"));
        // A four-track report leaves tracks 5 to 8 as they were.
        for (int column = 5; column <= 8; ++column) {
            QCOMPARE(grid.text(title, column), QStringLiteral("Track %1").arg(column));
            QVERIFY(grid.text(state, column).isEmpty());
        }
    }

    void stateColourAndSelectionFollowTheNextReport()
    {
        PanelUnderTest panel;
        panel.receive(statusReport(1, {{.state = 4}}));
        panel.receive(statusReport(3, {{.state = 3}, {.state = 9}}));
        const app::TrackGrid& grid = *panel.window->contentView()->grid();
        QCOMPARE(grid.text(state, 1), QString("stopped"));
        QCOMPARE(colourName(grid.fill(state, 1)), QString("clear"));
        QCOMPARE(grid.text(state, 2), QString("unknown"));
        QCOMPARE(colourName(grid.fill(state, 2)), QString("clear"));
        QCOMPARE(colourName(grid.fill(title, 1)), QString("clear"));
        QCOMPARE(colourName(grid.fill(title, 3)), QString("blue"));
    }

    void colourSitsBehindTheTextInAnEightyPixelCell()
    {
        PanelUnderTest panel;
        panel.window->resize(900, 600);
        panel.window->show();
        panel.receive(statusReport(0, {{.state = 4}}));
        QVERIFY(QTest::qWaitForWindowExposed(panel.window.get()));
        const app::TrackGrid& grid = *panel.window->contentView()->grid();
        QLabel* stateText = grid.cell(state, 1);
        QCOMPARE(stateText->parentWidget()->width(), app::TrackGrid::kStateCellWidth);
        QVERIFY(stateText->width() < app::TrackGrid::kStateCellWidth);
        // Centred in its cell.
        const int left = stateText->x();
        const int right = app::TrackGrid::kStateCellWidth - (stateText->x() + stateText->width());
        QVERIFY(std::abs(left - right) <= 1);
        // Columns stand 20 px apart.
        const QWidget* title1 = grid.cell(title, 1);
        const QWidget* title2 = grid.cell(title, 2);
        const int gap = title2->geometry().left() - title1->geometry().right() - 1;
        QVERIFY2(gap >= app::TrackGrid::kColumnGap, qPrintable(QString::number(gap)));
    }

    void deviceLineIsShownVerbatim()
    {
        PanelUnderTest panel;
        panel.receive(informationText("QX2 <b>v1.2</b>"));
        QCOMPARE(panel.window->contentView()->deviceLine()->text(), QString("QX2 <b>v1.2</b> - MIDI"));
        QCOMPARE(panel.window->contentView()->deviceLine()->textFormat(), Qt::PlainText);
    }

    void progressBarHoldsWithinItsTotal()
    {
        PanelUnderTest panel;
        QProgressBar* bar = panel.window->contentView()->progressBar();
        QVERIFY(!bar->isTextVisible());
        auto& completion = *panel.link->completionModel;
        QCOMPARE(bar->value(), bar->minimum());
        completion.setCompletion(1.0);
        QCOMPARE(bar->value(), bar->maximum());
        completion.setCompletion(0.25);
        QCOMPARE(bar->value(), bar->minimum() + (bar->maximum() - bar->minimum()) / 4);
        completion.setCompletion(1.7);
        QCOMPARE(bar->value(), bar->maximum());
        completion.setCompletion(-0.5);
        QCOMPARE(bar->value(), bar->minimum());
    }

    void cancellingTheUpgradeDialogDoesNothing()
    {
        QTemporaryDir dir;
        const std::string firmware = writeFile(dir, "fw.syx", bytes({0xF0, 0x01, 0x02, 0xF7}));
        PanelUnderTest panel;
        panel.looperAnswersOnMidi();
        app::ContentView& view = *panel.window->contentView();

        view.upgradeButton()->click();  // cancelled, nothing ever chosen
        QCOMPARE(panel.dialogs.requests.size(), std::size_t{1});
        QVERIFY(!panel.link->upgrade().inProgress());
        QVERIFY(panel.window->panelStatusBar()->outcomeText().isEmpty());

        panel.dialogs.answers.push_back(firmware);
        view.upgradeButton()->click();
        QVERIFY(panel.link->upgrade().inProgress());
        for (int step = 0; step < 10 && panel.link->upgrade().inProgress(); ++step) panel.link->sendUpgradeMessage();
        QVERIFY(!panel.link->upgrade().inProgress());

        // Cancelling after an earlier choice does not send that file again.
        view.upgradeButton()->click();
        QCOMPARE(panel.dialogs.requests.size(), std::size_t{3});
        QVERIFY(!panel.link->upgrade().inProgress());
    }

    void upgradeStartAndEndReachTheStatusBar()
    {
        QTemporaryDir dir;
        const Bytes firmware = bytes({0xF0, 0x01, 0x02, 0xF7, 0xF0, 0x03, 0xF7});
        const std::string path = writeFile(dir, "fw.syx", firmware);
        PanelUnderTest panel;
        panel.looperAnswersOnMidi();
        app::PanelStatusBar& bar = *panel.window->panelStatusBar();
        panel.dialogs.answers.push_back(path);
        panel.window->contentView()->upgradeButton()->click();
        QVERIFY(bar.outcomeText().contains(QString::fromStdString(path)));
        QVERIFY(!bar.outcomeIsFailure());

        for (int step = 0; step < 10 && panel.link->upgrade().inProgress(); ++step) panel.link->sendUpgradeMessage();
        panel.ui.drain();
        QCOMPARE(panel.midi->messages(), (std::vector<Bytes>{bytes({0xF0, 0x01, 0x02, 0xF7}), bytes({0xF0, 0x03, 0xF7})}));
        QVERIFY2(bar.outcomeText().startsWith("Upgrade finished"), qPrintable(bar.outcomeText()));
        QCOMPARE(panel.link->completionModel->completion(), 1.0);
        QCOMPARE(panel.window->contentView()->progressBar()->value(), panel.window->contentView()->progressBar()->maximum());
    }

    void refusedUpgradeSaysWhy()
    {
        QTemporaryDir dir;
        const std::string notSysEx = writeFile(dir, "notes.txt", bytes({'h', 'i'}));
        const std::string firmware = writeFile(dir, "fw.syx", bytes({0xF0, 0x01, 0xF7}));
        PanelUnderTest panel;
        app::PanelStatusBar& bar = *panel.window->panelStatusBar();

        // No looper answers yet: refused, and the status bar says so.
        panel.dialogs.answers.push_back(firmware);
        panel.window->contentView()->upgradeButton()->click();
        QVERIFY2(bar.outcomeText().startsWith("Upgrade refused"), qPrintable(bar.outcomeText()));
        QVERIFY(bar.outcomeIsFailure());

        // A file that is not an upgrade: the refusal names it.
        panel.looperAnswersOnMidi();
        panel.dialogs.answers.push_back(notSysEx);
        panel.window->contentView()->upgradeButton()->click();
        QVERIFY2(bar.outcomeText().startsWith("Upgrade refused"), qPrintable(bar.outcomeText()));
        QVERIFY(bar.outcomeText().contains(QString::fromStdString(notSysEx)));
        QVERIFY(bar.outcomeIsFailure());
        QVERIFY(!panel.link->upgrade().inProgress());
    }

    void saveDialogProposesLooperCfgAndTakesAnyName()
    {
        PanelUnderTest panel;
        panel.dialogs.answers.push_back(std::string("/tmp/backup.json"));
        panel.window->contentView()->saveButton()->click();
        QCOMPARE(panel.dialogs.requests.size(), std::size_t{1});
        QCOMPARE(panel.dialogs.requests[0].proposedName, std::optional<std::string>("looper.cfg"));
        QCOMPARE(panel.configuration.saved, std::vector<std::string>{"/tmp/backup.json"});
        QVERIFY(panel.configuration.restored.empty());
    }

    void cancellingSaveOrRestoreDoesNothing()
    {
        PanelUnderTest panel;
        panel.window->contentView()->saveButton()->click();
        panel.window->contentView()->restoreButton()->click();
        panel.dialogs.answers.push_back(std::string());  // confirmed without a location
        panel.window->contentView()->restoreButton()->click();
        QCOMPARE(panel.dialogs.requests.size(), std::size_t{3});
        QVERIFY(!panel.dialogs.requests[1].proposedName);  // an open dialog
        QVERIFY(panel.configuration.saved.empty());
        QVERIFY(panel.configuration.restored.empty());
        QVERIFY(panel.window->panelStatusBar()->outcomeText().isEmpty());
    }

    void restoreOutcomesReachTheStatusBar()
    {
        PanelUnderTest panel;
        app::PanelStatusBar& bar = *panel.window->panelStatusBar();
        panel.dialogs.answers.push_back(std::string("/tmp/looper.cfg"));
        panel.window->contentView()->restoreButton()->click();
        QCOMPARE(panel.configuration.restored, std::vector<std::string>{"/tmp/looper.cfg"});
        QVERIFY(bar.outcomeText().contains("/tmp/looper.cfg"));

        panel.configuration.outcome({false, "Restore failed: /tmp/looper.cfg is not a configuration file"});
        QCOMPARE(bar.outcomeText(), QString("Restore failed: /tmp/looper.cfg is not a configuration file"));
        QVERIFY(bar.outcomeIsFailure());

        panel.configuration.refusal = "Save refused: a restore is running";
        panel.dialogs.answers.push_back(std::string("/tmp/other.cfg"));
        panel.window->contentView()->saveButton()->click();
        QCOMPARE(bar.outcomeText(), QString("Save refused: a restore is running"));
    }
};

QTEST_MAIN(ContentViewTest)
#include "ContentViewTest.moc"
