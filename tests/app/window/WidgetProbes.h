#pragma once
// Small helpers for reading and driving widgets the way a user sees and uses
// them.
#include <optional>

#include <QColor>
#include <QComboBox>
#include <QString>

namespace qx::apptest {

// What a choice from the pop-up does: the row changes and activated fires.
// False when no option has that text.
inline bool userPicks(QComboBox* picker, const QString& text)
{
    const int index = picker->findText(text);
    if (index < 0) return false;
    picker->setCurrentIndex(index);
    emit picker->activated(index);
    return true;
}

// The colour a person would name: "clear" when there is no fill.
inline QString colourName(const std::optional<QColor>& fill)
{
    if (!fill || fill->alpha() == 0) return "clear";
    const int hue = fill->hsvHue();
    if (fill->hsvSaturation() < 60 || hue < 0) return "grey";
    if (hue < 15 || hue >= 340) return "red";
    if (hue < 42) return "orange";
    if (hue < 70) return "yellow";
    if (hue < 170) return "green";
    if (hue < 260) return "blue";
    return "other";
}

}  // namespace qx::apptest
