#pragma once
// Small layout pieces the settings tabs share: bold labels and a picker width
// limit.
#include <QString>

class QLabel;
class QWidget;

namespace qx::app {

inline constexpr int kTypePickerMaxWidth = 150;
inline constexpr int kPickerMaxWidth = 200;

QLabel* boldLabel(const QString& text, QWidget* parent);

}  // namespace qx::app
