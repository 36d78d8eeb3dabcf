#include "app/MiscConfigView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/OptionPicker.h"
#include "app/SettingsLayout.h"
#include "config/FunctionTables.h"

namespace qx::app {
namespace {

// One setting: its bold label above its picker, centred; the label's
// mnemonic takes the keyboard to the picker, which writes the chosen value
// into the given field of the model's current settings.
OptionPicker* addSetting(QHBoxLayout* row, const QString& label, const std::vector<PickerOption>& options,
                         EditCycle& edits, std::int64_t MiscConfigStruct::*field, QWidget* parent)
{
    auto* column = new QVBoxLayout;
    auto* picker = new OptionPicker(options, parent);
    picker->setMaximumWidth(kPickerMaxWidth);
    QLabel* title = boldLabel(label, parent);
    title->setBuddy(picker);
    column->addWidget(title, 0, Qt::AlignHCenter);
    column->addWidget(picker, 0, Qt::AlignHCenter);
    row->addLayout(column);
    QObject::connect(picker, &OptionPicker::picked, parent,
                     [&edits, field](qint64 value) { edits.changeSetting(field, value); });
    return picker;
}

QHBoxLayout* addRow(QVBoxLayout* stack)
{
    auto* row = new QHBoxLayout;
    row->setAlignment(Qt::AlignTop);
    stack->addLayout(row);
    return row;
}

}  // namespace

MiscConfigView::MiscConfigView(LooperSession& session, QWidget* parent)
    : QWidget(parent), model_(*session.models().settings)
{
    auto* stack = new QVBoxLayout(this);
    stack->setAlignment(Qt::AlignLeft);
    EditCycle& edits = session.edits();
    using S = MiscConfigStruct;

    QHBoxLayout* row = addRow(stack);
    brightness_ = addSetting(row, "QX2 Display &Brightness", optionsFrom(brightnessOptions()), edits,
                             &S::qx2Brightness, this);
    displayMode_ = addSetting(row, "QX2 Display M&ode", optionsFrom(displayModeOptions()), edits,
                              &S::qx2DisplayType, this);
    row->addStretch(1);

    row = addRow(stack);
    midiInClock_ = addSetting(row, "MIDI &In Clock Mode", optionsFrom(midiInClockOptions()), edits,
                              &S::midiInClockMode, this);
    midiOutClock_ = addSetting(row, "MIDI O&ut Clock Mode", optionsFrom(midiOutClockOptions()), edits,
                               &S::midiOutClockMode, this);
    row->addStretch(1);

    row = addRow(stack);
    midiChannel_ = addSetting(row, "MIDI &Channel", numberOptions(1, 16), edits, &S::midiChannel, this);
    row->addStretch(1);

    row = addRow(stack);
    noiseGate_ = addSetting(row, "&Noise Gate Level", optionsFrom(noiseGateOptions()), edits, &S::noiseGateLevel,
                            this);
    row->addStretch(1);
    stack->addStretch(1);

    refresh();
}

void MiscConfigView::refresh()
{
    const MiscConfigStruct& shown = model_.currentConfig;
    brightness_->showValue(shown.qx2Brightness);
    displayMode_->showValue(shown.qx2DisplayType);
    midiInClock_->showValue(shown.midiInClockMode);
    midiOutClock_->showValue(shown.midiOutClockMode);
    midiChannel_->showValue(shown.midiChannel);
    noiseGate_->showValue(shown.noiseGateLevel);
}

}  // namespace qx::app
