#pragma once
// The "QX2 Buttons" tab: the QX2's two banks of eight function slots. Picks
// only edit; at each tick of the session's edit cycle both banks are written
// while one differs from what the looper last reported, and the pickers show
// the banks.
#include <array>

#include <QWidget>

#include "session/LooperSession.h"

class QHBoxLayout;

namespace qx::app {

class OptionPicker;

class QX2EffectsView : public QWidget {
    Q_OBJECT
public:
    explicit QX2EffectsView(LooperSession& session, QWidget* parent = nullptr);

    // Bank 1 or 2, slot 0 to 7.
    OptionPicker* picker(int bank, std::size_t slot) const { return (bank == 1 ? pickers1_ : pickers2_).at(slot); }

    // Shows both banks as the models hold them.
    void refresh();

private:
    using BankPickers = std::array<OptionPicker*, 8>;
    void addBank(QHBoxLayout* row, const QString& title, int bank, BankPickers& pickers);

    LooperSession& session_;
    BankPickers pickers1_{};
    BankPickers pickers2_{};
};

}  // namespace qx::app
