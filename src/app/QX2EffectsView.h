#pragma once
// The "QX2 Buttons" tab: the QX2's two banks of eight function slots. Picks
// only edit; every 0.5 s the tick asks the link to write both banks while one
// differs from what the looper last reported, and the pickers show the banks.
#include <array>
#include <memory>

#include <QTimer>
#include <QWidget>

class QHBoxLayout;

#include "config/SettingsTicks.h"
#include "midi/QXInterface.h"

namespace qx::app {

class OptionPicker;

class QX2EffectsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTickMs = 500;

    // Creates both banks and stores them in the link.
    explicit QX2EffectsView(QXInterface& link, QWidget* parent = nullptr);

    QX2Effects& bank(int which) { return which == 1 ? *effects1_ : *effects2_; }
    // Bank 1 or 2, slot 0 to 7.
    OptionPicker* picker(int bank, std::size_t slot) const { return (bank == 1 ? pickers1_ : pickers2_).at(slot); }
    const QTimer& timer() const { return timer_; }

public slots:
    void tick();

private:
    using BankPickers = std::array<OptionPicker*, 8>;
    void addBank(QHBoxLayout* row, const QString& title, QX2Effects& bank, BankPickers& pickers);
    void refresh();

    std::shared_ptr<QX2Effects> effects1_ = std::make_shared<QX2Effects>();
    std::shared_ptr<QX2Effects> effects2_ = std::make_shared<QX2Effects>();
    QX2EffectsTick tick_;
    BankPickers pickers1_{};
    BankPickers pickers2_{};
    QTimer timer_;
};

}  // namespace qx::app
