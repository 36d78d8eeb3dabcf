#pragma once
// The screen colours of the track models' named colours, and the contrast
// rule that keeps text readable on them and on the desktop's own colours.
#include <optional>

#include <QColor>

#include "model/Tracks.h"

namespace qx::app {

// The fill behind a cell's text; nothing for clear (the grid's own colours).
std::optional<QColor> fillColor(TrackColor color);
// A text colour that reads well (4.5:1 at least) on that fill.
QColor textColorOn(TrackColor color);

// WCAG 2 contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);
// tint, darkened or lightened just enough to read on background at 4.5:1.
QColor readableOn(const QColor& tint, const QColor& background);

}  // namespace qx::app
