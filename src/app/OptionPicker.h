#pragma once
// A pop-up choice whose options each stand for a whole number. Showing a value
// from the model never counts as a user pick: only the user's own choice
// (QComboBox::activated) is reported.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QComboBox>

namespace qx::app {

struct PickerOption {
    std::string name;
    std::int64_t value;
};

// Options from one of the fixed tables (anything with name and id).
template <typename Row>
std::vector<PickerOption> optionsFrom(const std::vector<Row>& table)
{
    std::vector<PickerOption> options;
    options.reserve(table.size());
    for (const Row& row : table) options.push_back({row.name, row.id});
    return options;
}
// The numbers first..last, each shown in decimal and standing for itself.
std::vector<PickerOption> numberOptions(std::int64_t first, std::int64_t last);

class OptionPicker : public QComboBox {
    Q_OBJECT
public:
    explicit OptionPicker(const std::vector<PickerOption>& options, QWidget* parent = nullptr);

    // Selects the option standing for value, or none (an empty choice).
    void showValue(std::int64_t value);
    // The value of the option shown, or nothing for an empty choice.
    std::optional<std::int64_t> shownValue() const;
    // The row of the option standing for value, or -1.
    int indexOfValue(std::int64_t value) const;

signals:
    // The user chose an option.
    void picked(qint64 value);
};

}  // namespace qx::app
