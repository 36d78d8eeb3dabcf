// The three settings tabs: pickers show the models, picks only edit, and the
// 0.5 s tick (stepped by hand here) sends each edit once.
#include <QLabel>
#include <QtTest>

#include "LooperMessages.h"
#include "PanelUnderTest.h"
#include "WidgetProbes.h"
#include "app/MIDIButtonView.h"
#include "app/MiscConfigView.h"
#include "app/OptionPicker.h"
#include "app/QX2EffectsView.h"
#include "config/FunctionTables.h"

using namespace qx;
using namespace qx::apptest;

namespace {

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

QString functionName(std::int64_t id) { return QString::fromStdString(findFunction(id)->name); }

}  // namespace

class SettingsViewsTest : public QObject {
    Q_OBJECT

private slots:
    // ---- Misc Config

    void miscConfigShowsStartValuesAndSendsNothingForThem()
    {
        PanelUnderTest panel;
        app::MiscConfigView& view = *panel.window->miscConfigView();
        QCOMPARE(view.brightnessPicker()->currentText(), QString("High"));
        QCOMPARE(view.displayModePicker()->currentText(), QString("Original"));
        QCOMPARE(view.midiInClockPicker()->currentText(), QString("Allow"));
        QCOMPARE(view.midiOutClockPicker()->currentText(), QString("Off"));
        QCOMPARE(view.midiChannelPicker()->currentText(), QString("1"));
        QCOMPARE(view.noiseGatePicker()->currentText(), QString("Off"));
        QCOMPARE(optionTexts(view.midiChannelPicker()), numbers(1, 16));
        view.tick();
        QVERIFY(panel.takeQueued().empty());
        QCOMPARE(view.timer().interval(), 500);
        QVERIFY(view.timer().isActive());
    }

    void miscConfigLabelsAreBoldAndPickersAtMost200Wide()
    {
        PanelUnderTest panel;
        app::MiscConfigView& view = *panel.window->miscConfigView();
        QStringList labels;
        for (const QLabel* label : view.findChildren<QLabel*>()) {
            labels << label->text();
            QVERIFY(label->font().bold());
        }
        labels.sort();
        QCOMPARE(labels, (QStringList{"MIDI Channel", "MIDI In Clock Mode", "MIDI Out Clock Mode", "Noise Gate Level",
                                      "QX2 Display Brightness", "QX2 Display Mode"}));
        for (const QComboBox* picker : view.findChildren<QComboBox*>()) QCOMPARE(picker->maximumWidth(), 200);
    }

    void miscConfigEditIsSentAtTheNextTickAndNotAgain()
    {
        PanelUnderTest panel;
        app::MiscConfigView& view = *panel.window->miscConfigView();
        QVERIFY(userPicks(view.midiChannelPicker(), "7"));
        QVERIFY(panel.takeQueued().empty());  // nothing at the pick itself
        view.tick();
        QCOMPARE(panel.takeQueued(), std::vector<Bytes>{bytes({0xF0, 0x00, 0x02, 0x33, 0x05, 7, 0xF7})});
        view.tick();
        view.tick();
        QVERIFY(panel.takeQueued().empty());
        QCOMPARE(view.midiChannelPicker()->currentText(), QString("7"));
    }

    void miscConfigReportRefreshesPickersWithoutSending()
    {
        PanelUnderTest panel;
        app::MiscConfigView& view = *panel.window->miscConfigView();
        QSignalSpy picks(view.midiChannelPicker(), &app::OptionPicker::picked);
        panel.receive(settingsSlice0({{kBrightnessWord, 7}, {kDisplayTypeWord, 1}, {kMidiChannelWord, 12},
                                      {kNoiseGateWord, 40}}));
        view.tick();
        QCOMPARE(view.brightnessPicker()->currentText(), QString("Low"));
        QCOMPARE(view.displayModePicker()->currentText(), QString("New"));
        QCOMPARE(view.midiChannelPicker()->currentText(), QString("12"));
        // A noise gate level with no option shows an empty choice.
        QCOMPARE(view.noiseGatePicker()->currentIndex(), -1);
        QCOMPARE(picks.count(), 0);
        view.tick();
        QVERIFY(panel.takeQueued().empty());
    }

    // ---- MIDI Button

    void midiButtonFirstTickAsksForProgramChangeZero()
    {
        PanelUnderTest panel;
        app::MIDIButtonView& view = *panel.window->midiButtonView();
        QCOMPARE(view.typePicker()->currentText(), QString("PgmChange"));
        QCOMPARE(view.numberPicker()->currentText(), QString("0"));
        QCOMPARE(optionTexts(view.typePicker()), (QStringList{"PgmChange", "CC", "Note"}));
        QCOMPARE(optionTexts(view.numberPicker()), numbers(0, 127));
        QCOMPARE(view.typePicker()->maximumWidth(), 150);
        QCOMPARE(view.numberPicker()->maximumWidth(), 150);
        for (std::size_t slot = 0; slot < 8; ++slot) {
            QCOMPARE(view.functionPicker(slot)->maximumWidth(), 200);
            QCOMPARE(view.functionPicker(slot)->count(), static_cast<int>(qx2Functions().size()));
            // No function yet: the blank row.
            QCOMPARE(view.functionPicker(slot)->currentText(), functionName(-1));
        }
        QVERIFY(panel.takeQueued().empty());
        view.tick();
        QCOMPARE(panel.takeQueued(), std::vector<Bytes>{bytes({0xF0, 0x00, 0x02, 0x33, 0x0E, 0, 0, 1, 0xF7})});
        view.tick();
        QVERIFY(panel.takeQueued().empty());
    }

    void midiButtonReportRefreshesPickersWithoutSending()
    {
        PanelUnderTest panel;
        app::MIDIButtonView& view = *panel.window->midiButtonView();
        view.tick();
        panel.takeQueued();
        const Slots mapping{1, 15, -1, 100, 2103, -1, -1, 0};
        panel.receive(buttonReport(0, mapping));
        view.tick();
        for (std::size_t slot = 0; slot < 8; ++slot)
            QCOMPARE(view.functionPicker(slot)->currentText(), functionName(mapping[slot]));
        view.tick();
        QVERIFY(panel.takeQueued().empty());
    }

    void midiButtonEditIsWrittenOnce()
    {
        PanelUnderTest panel;
        app::MIDIButtonView& view = *panel.window->midiButtonView();
        view.tick();
        panel.takeQueued();
        panel.receive(buttonReport(0, {-1, -1, -1, -1, -1, -1, -1, -1}));
        view.tick();
        QVERIFY(userPicks(view.functionPicker(2), functionName(15)));
        QVERIFY(panel.takeQueued().empty());
        view.tick();
        QCOMPARE(panel.takeQueued(), std::vector<Bytes>{bytes({0xF0, 0x00, 0x02, 0x33, 0x10, 0, 0, 0x7F, 0x7F, 0x7F,
                                                               0x7F, 0, 15, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,
                                                               0x7F, 0x7F, 0x7F, 0x7F, 0xF7})});
        view.tick();
        QVERIFY(panel.takeQueued().empty());
    }

    void midiButtonPickOfKindAndNumberAsksForThatButton()
    {
        PanelUnderTest panel;
        app::MIDIButtonView& view = *panel.window->midiButtonView();
        view.tick();
        panel.takeQueued();
        QVERIFY(userPicks(view.typePicker(), "Note"));
        QVERIFY(userPicks(view.numberPicker(), "3"));
        QVERIFY(panel.takeQueued().empty());
        view.tick();
        // Note 3 is button code 259 = 2 * 128 + 3.
        QCOMPARE(panel.takeQueued(), std::vector<Bytes>{bytes({0xF0, 0x00, 0x02, 0x33, 0x0E, 2, 3, 1, 0xF7})});
        QCOMPARE(view.model().currentBtn, 259);
    }

    void buttonEventMovesThePickersAndAsksForThatButton()
    {
        PanelUnderTest panel;
        app::MIDIButtonView& view = *panel.window->midiButtonView();
        view.tick();
        panel.takeQueued();
        panel.receive(buttonEvent(1, 5));
        QCOMPARE(view.typePicker()->currentText(), QString("PgmChange"));  // not before the tick
        view.tick();
        QCOMPARE(view.typePicker()->currentText(), QString("CC"));
        QCOMPARE(view.numberPicker()->currentText(), QString("5"));
        QCOMPARE(panel.takeQueued(), std::vector<Bytes>{bytes({0xF0, 0x00, 0x02, 0x33, 0x0E, 1, 5, 1, 0xF7})});
        QCOMPARE(view.model().receivedBtnType, -1);
        QCOMPARE(view.model().receivedBtnNum, -1);
        view.tick();
        QVERIFY(panel.takeQueued().empty());
    }

    // ---- QX2 Buttons

    void qx2PickersShowTheBlankRowAndTakeNaturalWidth()
    {
        PanelUnderTest panel;
        app::QX2EffectsView& view = *panel.window->qx2EffectsView();
        QStringList labels;
        for (const QLabel* label : view.findChildren<QLabel*>()) {
            labels << label->text();
            QVERIFY(label->font().bold());
        }
        QCOMPARE(labels, (QStringList{"Effect 1", "Effect 2"}));
        for (int bank : {1, 2})
            for (std::size_t slot = 0; slot < 8; ++slot) {
                QCOMPARE(view.picker(bank, slot)->currentText(), functionName(-1));
                QCOMPARE(view.picker(bank, slot)->maximumWidth(), QWIDGETSIZE_MAX);
            }
    }

    void qx2EditBeforeAnyReportRaisesNothing()
    {
        PanelUnderTest panel;
        app::QX2EffectsView& view = *panel.window->qx2EffectsView();
        QVERIFY(userPicks(view.picker(2, 0), functionName(1)));
        view.tick();
        QVERIFY(!panel.link->takeTriggers().save);
    }

    void qx2ReportRefreshesPickersWithoutRaisingTheWrite()
    {
        PanelUnderTest panel;
        app::QX2EffectsView& view = *panel.window->qx2EffectsView();
        const Slots bank1{0, 1, 2, 3, 4, 5, 6, 7};
        const Slots bank2{2100, 2101, 2102, 2103, -1, -1, -1, 15};
        panel.receive(effectsReport(bank1, bank2));
        view.tick();
        for (std::size_t slot = 0; slot < 8; ++slot) {
            QCOMPARE(view.picker(1, slot)->currentText(), functionName(bank1[slot]));
            QCOMPARE(view.picker(2, slot)->currentText(), functionName(bank2[slot]));
        }
        QVERIFY(!panel.link->takeTriggers().save);
    }

    void qx2EditRaisesTheWriteUntilTheLooperReportsIt()
    {
        PanelUnderTest panel;
        app::QX2EffectsView& view = *panel.window->qx2EffectsView();
        const Slots bank{-1, -1, -1, -1, -1, -1, -1, -1};
        panel.receive(effectsReport(bank, bank));
        view.tick();
        panel.link->takeTriggers();

        QVERIFY(userPicks(view.picker(2, 3), functionName(48)));
        QVERIFY(!panel.link->takeTriggers().save);  // nothing at the pick itself
        view.tick();
        QVERIFY(panel.link->takeTriggers().save);
        view.tick();
        QVERIFY(panel.link->takeTriggers().save);  // still differs from the looper's bank

        Slots written = bank;
        written[3] = 48;
        panel.receive(effectsReport(bank, written));
        view.tick();
        QVERIFY(!panel.link->takeTriggers().save);
        QCOMPARE(view.picker(2, 3)->currentText(), functionName(48));
    }
};

QTEST_MAIN(SettingsViewsTest)
#include "SettingsViewsTest.moc"
