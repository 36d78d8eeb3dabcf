#include "app/OptionPicker.h"

namespace qx::app {

std::vector<PickerOption> numberOptions(std::int64_t first, std::int64_t last)
{
    std::vector<PickerOption> options;
    for (std::int64_t n = first; n <= last; ++n) options.push_back({std::to_string(n), n});
    return options;
}

OptionPicker::OptionPicker(const std::vector<PickerOption>& options, QWidget* parent) : QComboBox(parent)
{
    for (const PickerOption& option : options)
        addItem(QString::fromStdString(option.name), QVariant::fromValue<qint64>(option.value));
    setCurrentIndex(-1);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) emit picked(itemData(index).value<qint64>());
    });
}

void OptionPicker::showValue(std::int64_t value)
{
    const int index = indexOfValue(value);
    if (index != currentIndex()) setCurrentIndex(index);
}

std::optional<std::int64_t> OptionPicker::shownValue() const
{
    if (currentIndex() < 0) return std::nullopt;
    return currentData().value<qint64>();
}

int OptionPicker::indexOfValue(std::int64_t value) const
{
    return findData(QVariant::fromValue<qint64>(value));
}

}  // namespace qx::app
