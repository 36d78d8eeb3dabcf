#include "app/QX2EffectsView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/OptionPicker.h"
#include "app/SettingsLayout.h"
#include "config/FunctionTables.h"

namespace qx::app {

QX2EffectsView::QX2EffectsView(QXInterface& link, QWidget* parent)
    : QWidget(parent), tick_(effects1_, effects2_, [&link] { link.requestEffectsWrite(); })
{
    link.attachEffectsModels(effects1_, effects2_);

    auto* stack = new QVBoxLayout(this);
    stack->setAlignment(Qt::AlignLeft);
    auto* row = new QHBoxLayout;
    row->setAlignment(Qt::AlignVCenter);
    stack->addLayout(row);
    stack->addStretch(1);

    addBank(row, "Effect 1", *effects1_, pickers1_);
    addBank(row, "Effect 2", *effects2_, pickers2_);
    row->addStretch(1);

    refresh();
    connect(&timer_, &QTimer::timeout, this, &QX2EffectsView::tick);
    timer_.start(kTickMs);
}

void QX2EffectsView::addBank(QHBoxLayout* row, const QString& title, QX2Effects& bank, BankPickers& pickers)
{
    auto* column = new QVBoxLayout;
    column->addWidget(boldLabel(title, this), 0, Qt::AlignHCenter);
    const auto functions = optionsFrom(qx2Functions());
    for (std::size_t i = 0; i < pickers.size(); ++i) {
        auto* picker = new OptionPicker(functions, this);
        column->addWidget(picker, 0, Qt::AlignHCenter);
        pickers[i] = picker;
        connect(picker, &OptionPicker::picked, this, [&bank, i](qint64 value) { bank.effects[i].setEffectNum(value); });
    }
    row->addLayout(column);
}

void QX2EffectsView::tick()
{
    tick_.tick();
    refresh();
}

void QX2EffectsView::refresh()
{
    for (std::size_t i = 0; i < pickers1_.size(); ++i) {
        pickers1_[i]->showValue(effects1_->effects[i].effectNum());
        pickers2_[i]->showValue(effects2_->effects[i].effectNum());
    }
}

}  // namespace qx::app
