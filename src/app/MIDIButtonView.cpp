#include "app/MIDIButtonView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/OptionPicker.h"
#include "app/SettingsLayout.h"
#include "config/FunctionTables.h"

namespace qx::app {

MIDIButtonView::MIDIButtonView(QXInterface& link, QWidget* parent)
    : QWidget(parent), model_(std::make_shared<MIDIButtonConfig>(link.cmdQueue)), tick_(model_)
{
    link.qxMIDIButtons = model_;

    auto* stack = new QVBoxLayout(this);
    stack->setAlignment(Qt::AlignLeft);
    auto* row = new QHBoxLayout;
    row->setAlignment(Qt::AlignTop);
    stack->addLayout(row);
    stack->addStretch(1);

    row->addWidget(boldLabel("MIDI Button:", this), 0, Qt::AlignTop);
    type_ = new OptionPicker(optionsFrom(midiButtonTypes()), this);
    type_->setMaximumWidth(kTypePickerMaxWidth);
    row->addWidget(type_, 0, Qt::AlignTop);
    number_ = new OptionPicker(numberOptions(0, 127), this);
    number_->setMaximumWidth(kTypePickerMaxWidth);
    row->addWidget(number_, 0, Qt::AlignTop);

    auto* slotColumn = new QVBoxLayout;
    const auto functions = optionsFrom(qx2Functions());
    for (std::size_t i = 0; i < functions_.size(); ++i) {
        auto* picker = new OptionPicker(functions, this);
        picker->setMaximumWidth(kPickerMaxWidth);
        slotColumn->addWidget(picker, 0, Qt::AlignHCenter);
        functions_[i] = picker;
        connect(picker, &OptionPicker::picked, this, [this, i](qint64 value) { model_->effects[i].setEffectNum(value); });
    }
    row->addLayout(slotColumn);
    row->addStretch(1);

    connect(type_, &OptionPicker::picked, this, [this](qint64 value) { tick_.midiButtonType = value; });
    connect(number_, &OptionPicker::picked, this, [this](qint64 value) { tick_.midiButtonNum = value; });

    refresh();
    connect(&timer_, &QTimer::timeout, this, &MIDIButtonView::tick);
    timer_.start(kTickMs);
}

void MIDIButtonView::tick()
{
    tick_.tick();
    refresh();
}

void MIDIButtonView::refresh()
{
    type_->showValue(tick_.midiButtonType);
    number_->showValue(tick_.midiButtonNum);
    for (std::size_t i = 0; i < functions_.size(); ++i) functions_[i]->showValue(model_->effects[i].effectNum());
}

}  // namespace qx::app
