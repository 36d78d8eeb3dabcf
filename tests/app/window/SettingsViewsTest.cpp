// The three settings tabs: pickers show the models, picks only edit, and the
// window's 0.5 s edit tick (stepped by hand here) sends the edit. When a tick
// sends what, and that a repeated tick sends nothing, is for the settings unit
// tests (tests/unit/config); these prove the tabs are bound to the session.
#include "PanelUnderTest.h"  // first: see there

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

// The view's labels, sorted; one that is not bold is marked.
QStringList labels(const QWidget& view)
{
    QStringList texts;
    for (const QLabel* label : view.findChildren<QLabel*>())
        texts << (label->font().bold() ? "" : "not bold: ") + label->text();
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

}  // namespace

class SettingsViewsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { panel = std::make_unique<PanelUnderTest>(); }
    void cleanup() { panel.reset(); }

    void miscConfigShowsTheReportAndSendsAPickAtTheNextTick()
    {
        app::MiscConfigView& view = *panel->window->miscConfigView();
        QCOMPARE(labels(view), (QStringList{"MIDI Channel", "MIDI In Clock Mode", "MIDI Out Clock Mode",
                                            "Noise Gate Level", "QX2 Display Brightness", "QX2 Display Mode"}));
        QCOMPARE(shown(view), (QStringList{"High", "Original", "Allow", "Off", "1", "Off"}));
        QCOMPARE(optionTexts(view.midiChannelPicker()), numbers(1, 16));
        sentAtNextTick();  // the button tab's first request: see its test

        sim::SliceData slice{};
        slice[sim::kBrightnessWord] = 7;
        slice[sim::kDisplayTypeWord] = 1;
        slice[sim::kMidiChannelWord] = 12;
        slice[sim::kNoiseGateWord] = 40;  // a level no option stands for
        panel->receive(sim::reply::settingsSlice(sim::kSettingsSlice, slice));
        QVERIFY(sentAtNextTick().empty());  // the next tick shows the report
        QCOMPARE(shown(view), (QStringList{"Low", "New", "Allow", "Off", "12", ""}));  // no option for 40: none shown

        // A pick sends nothing itself; the next tick sends it once.
        QVERIFY(userPicks(view.midiChannelPicker(), "7") && panel->queued().empty());
        QCOMPARE(sentAtNextTick(), std::vector<Bytes>{hex("F0 00 02 33 05 07 F7")});
    }

    void midiButtonAsksForTheButtonShownWritesEditsAndFollowsPresses()
    {
        app::MIDIButtonView& view = *panel->window->midiButtonView();
        QCOMPARE(labels(view), QStringList{"MIDI Button:"});
        QCOMPARE(optionTexts(view.typePicker()), (QStringList{"PgmChange", "CC", "Note"}));
        QCOMPARE(optionTexts(view.numberPicker()), numbers(0, 127));
        QCOMPARE(view.typePicker()->currentText() + " " + view.numberPicker()->currentText(), QString("PgmChange 0"));
        for (std::size_t slot = 0; slot < 8; ++slot)
            QCOMPARE(view.functionPicker(slot)->currentText(), functionName(-1));  // the blank row
        // The first tick asks for the button shown, though nobody chose it, and
        // sends nothing else: the settings tab's start values are no edit.
        QCOMPARE(sentAtNextTick(), std::vector<Bytes>{hex("F0 00 02 33 0E 00 00 01 F7")});

        const sim::FunctionSlots mapping{1, 15, -1, 100, 2103, -1, -1, 0};
        panel->receive(sim::reply::buttonReport(0, std::span(&mapping, 1)));
        QVERIFY(sentAtNextTick().empty());
        for (std::size_t slot = 0; slot < 8; ++slot)
            QCOMPARE(view.functionPicker(slot)->currentText(), functionName(mapping[slot]));

        QVERIFY(userPicks(view.functionPicker(2), functionName(15)) && panel->queued().empty());
        QCOMPARE(sentAtNextTick(),
                 std::vector<Bytes>{hex("F0 00 02 33 10 00 00 00 01 00 0F 00 0F 00 64 10 37 7F 7F 7F 7F 00 00 F7")});

        // Another button picked, or pressed on the looper, is asked for at the next tick.
        QVERIFY(userPicks(view.typePicker(), "Note") && userPicks(view.numberPicker(), "3"));
        QCOMPARE(sentAtNextTick(), std::vector<Bytes>{hex("F0 00 02 33 0E 02 03 01 F7")});
        panel->receive(sim::reply::buttonEvent(1, 5));  // control change 5
        QCOMPARE(sentAtNextTick(), std::vector<Bytes>{hex("F0 00 02 33 0E 01 05 01 F7")});
        QCOMPARE(view.typePicker()->currentText() + " " + view.numberPicker()->currentText(), QString("CC 5"));
    }

    void qx2PickersShowBothBanksAndAnEditAsksForTheWrite()
    {
        app::QX2EffectsView& view = *panel->window->qx2EffectsView();
        EffectsRequests& effects = panel->session.linkHost().effects;
        QCOMPARE(labels(view), (QStringList{"Effect 1", "Effect 2"}));

        const sim::EffectBanks banks{{0, 1, 2, 3, 4, 5, 6, 7}, {2100, 2101, 2102, 2103, -1, -1, -1, 15}};
        panel->receive(sim::reply::effectsReport(banks));
        panel->window->editTick();
        for (std::size_t slot = 0; slot < 8; ++slot) {
            QCOMPARE(view.picker(1, slot)->currentText(), functionName(banks.bank1[slot]));
            QCOMPARE(view.picker(2, slot)->currentText(), functionName(banks.bank2[slot]));
        }

        // Nothing at the pick itself; the next tick asks the link to write both banks.
        QVERIFY(userPicks(view.picker(2, 4), functionName(48)) && !effects.take().write);
        panel->window->editTick();
        QVERIFY(effects.take().write);
        QCOMPARE(panel->models().effects2->effects[4].effectNum(), 48);
    }

private:
    // One tick of the window's timer; what it queued for the looper.
    std::vector<Bytes> sentAtNextTick()
    {
        panel->window->editTick();
        return panel->queued();
    }

    std::unique_ptr<PanelUnderTest> panel;
};

QTEST_MAIN(SettingsViewsTest)
#include "SettingsViewsTest.moc"
