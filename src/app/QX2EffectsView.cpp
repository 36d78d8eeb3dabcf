#include "app/QX2EffectsView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/OptionPicker.h"
#include "app/SettingsLayout.h"
#include "config/FunctionTables.h"

namespace qx::app {

QX2EffectsView::QX2EffectsView(LooperSession& session, QWidget* parent) : QWidget(parent), session_(session)
{
    auto* stack = new QVBoxLayout(this);
    stack->setAlignment(Qt::AlignLeft);
    auto* row = new QHBoxLayout;
    row->setAlignment(Qt::AlignVCenter);
    stack->addLayout(row);
    stack->addStretch(1);

    addBank(row, "Effect &1", 1, pickers1_);
    addBank(row, "Effect &2", 2, pickers2_);
    row->addStretch(1);
    refresh();
}

void QX2EffectsView::addBank(QHBoxLayout* row, const QString& title, int bank, BankPickers& pickers)
{
    auto* column = new QVBoxLayout;
    // The bank's title takes the keyboard to its first slot.
    QLabel* heading = boldLabel(title, this);
    column->addWidget(heading, 0, Qt::AlignHCenter);
    const auto functions = optionsFrom(qx2Functions());
    EditCycle& edits = session_.edits();
    for (std::size_t i = 0; i < pickers.size(); ++i) {
        auto* picker = new OptionPicker(functions, this);
        column->addWidget(picker, 0, Qt::AlignHCenter);
        picker->setAccessibleName(QStringLiteral("Effect %1 slot %2").arg(bank).arg(i + 1));
        pickers[i] = picker;
        connect(picker, &OptionPicker::picked, this,
                [&edits, bank, i](qint64 value) { edits.changeEffect(bank, i, value); });
    }
    heading->setBuddy(pickers.front());
    row->addLayout(column);
}

void QX2EffectsView::refresh()
{
    const SessionModels& models = session_.models();
    for (std::size_t i = 0; i < pickers1_.size(); ++i) {
        pickers1_[i]->showValue(models.effects1->effects[i].effectNum());
        pickers2_[i]->showValue(models.effects2->effects[i].effectNum());
    }
}

}  // namespace qx::app
