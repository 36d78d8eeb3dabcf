#include "app/MiscConfigView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/OptionPicker.h"
#include "app/SettingsLayout.h"
#include "config/FunctionTables.h"

namespace qx::app {
namespace {

// One setting: its bold label above its picker, centred; the picker writes
// the chosen value into the given field of the model's current settings.
OptionPicker* addSetting(QHBoxLayout* row, const QString& label, const std::vector<PickerOption>& options,
                         MiscConfigModel& model, std::int64_t MiscConfigStruct::*field, QWidget* parent)
{
    auto* column = new QVBoxLayout;
    auto* picker = new OptionPicker(options, parent);
    picker->setMaximumWidth(kPickerMaxWidth);
    column->addWidget(boldLabel(label, parent), 0, Qt::AlignHCenter);
    column->addWidget(picker, 0, Qt::AlignHCenter);
    row->addLayout(column);
    QObject::connect(picker, &OptionPicker::picked, parent,
                     [&model, field](qint64 value) { model.currentConfig.*field = value; });
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

MiscConfigView::MiscConfigView(QXInterface& link, QWidget* parent)
    : QWidget(parent),
      model_(std::make_shared<MiscConfigModel>(link.cmdQueue, defaultMiscConfig())),
      tick_(model_)
{
    link.qxMiscConfig = model_;

    auto* stack = new QVBoxLayout(this);
    stack->setAlignment(Qt::AlignLeft);
    MiscConfigModel& model = *model_;
    using S = MiscConfigStruct;

    QHBoxLayout* row = addRow(stack);
    brightness_ = addSetting(row, "QX2 Display Brightness", optionsFrom(brightnessOptions()), model,
                             &S::qx2Brightness, this);
    displayMode_ = addSetting(row, "QX2 Display Mode", optionsFrom(displayModeOptions()), model,
                              &S::qx2DisplayType, this);
    row->addStretch(1);

    row = addRow(stack);
    midiInClock_ = addSetting(row, "MIDI In Clock Mode", optionsFrom(midiInClockOptions()), model,
                              &S::midiInClockMode, this);
    midiOutClock_ = addSetting(row, "MIDI Out Clock Mode", optionsFrom(midiOutClockOptions()), model,
                               &S::midiOutClockMode, this);
    row->addStretch(1);

    row = addRow(stack);
    midiChannel_ = addSetting(row, "MIDI Channel", numberOptions(1, 16), model, &S::midiChannel, this);
    row->addStretch(1);

    row = addRow(stack);
    noiseGate_ = addSetting(row, "Noise Gate Level", optionsFrom(noiseGateOptions()), model, &S::noiseGateLevel,
                            this);
    row->addStretch(1);
    stack->addStretch(1);

    refresh();
    connect(&timer_, &QTimer::timeout, this, &MiscConfigView::tick);
    timer_.start(kTickMs);
}

void MiscConfigView::tick()
{
    tick_.tick();
    refresh();
}

void MiscConfigView::refresh()
{
    const MiscConfigStruct& shown = model_->currentConfig;
    brightness_->showValue(shown.qx2Brightness);
    displayMode_->showValue(shown.qx2DisplayType);
    midiInClock_->showValue(shown.midiInClockMode);
    midiOutClock_->showValue(shown.midiOutClockMode);
    midiChannel_->showValue(shown.midiChannel);
    noiseGate_->showValue(shown.noiseGateLevel);
}

}  // namespace qx::app
