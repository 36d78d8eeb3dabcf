#include "app/MIDIButtonView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/OptionPicker.h"
#include "app/SettingsLayout.h"
#include "config/FunctionTables.h"

namespace qx::app {

MIDIButtonView::MIDIButtonView(LooperSession& session, QWidget* parent) : QWidget(parent), session_(session)
{
    EditCycle& edits = session_.edits();

    auto* stack = new QVBoxLayout(this);
    stack->setAlignment(Qt::AlignLeft);
    auto* row = new QHBoxLayout;
    row->setAlignment(Qt::AlignTop);
    stack->addLayout(row);
    stack->addStretch(1);

    // One label for the row: it names the type picker; the others have
    // names of their own for screen readers.
    QLabel* title = boldLabel("MIDI &Button:", this);
    row->addWidget(title, 0, Qt::AlignTop);
    type_ = new OptionPicker(optionsFrom(midiButtonTypes()), this);
    type_->setMaximumWidth(kTypePickerMaxWidth);
    title->setBuddy(type_);
    row->addWidget(type_, 0, Qt::AlignTop);
    number_ = new OptionPicker(numberOptions(0, 127), this);
    number_->setAccessibleName(QStringLiteral("MIDI button number"));
    number_->setMaximumWidth(kTypePickerMaxWidth);
    row->addWidget(number_, 0, Qt::AlignTop);

    auto* slotColumn = new QVBoxLayout;
    const auto functions = optionsFrom(qx2Functions());
    for (std::size_t i = 0; i < functions_.size(); ++i) {
        auto* picker = new OptionPicker(functions, this);
        picker->setMaximumWidth(kPickerMaxWidth);
        picker->setAccessibleName(QStringLiteral("Function %1").arg(i + 1));
        slotColumn->addWidget(picker, 0, Qt::AlignHCenter);
        functions_[i] = picker;
        connect(picker, &OptionPicker::picked, this, [&edits, i](qint64 value) { edits.changeButtonSlot(i, value); });
    }
    row->addLayout(slotColumn);
    row->addStretch(1);

    connect(type_, &OptionPicker::picked, this,
            [&edits](qint64 value) { edits.chooseButton(value, edits.buttonNumber()); });
    connect(number_, &OptionPicker::picked, this,
            [&edits](qint64 value) { edits.chooseButton(edits.buttonKind(), value); });
    refresh();
}

void MIDIButtonView::refresh()
{
    type_->showValue(session_.edits().buttonKind());
    number_->showValue(session_.edits().buttonNumber());
    const EffectSlots& mapping = session_.models().button->effects;
    for (std::size_t i = 0; i < functions_.size(); ++i) functions_[i]->showValue(mapping[i].effectNum());
}

}  // namespace qx::app
