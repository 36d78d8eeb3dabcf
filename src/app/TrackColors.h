#pragma once
// The screen colours of the track models' named colours.
#include <optional>

#include <QColor>

#include "model/Tracks.h"

namespace qx::app {

// The fill behind a cell's text; nothing for clear.
std::optional<QColor> fillColor(TrackColor color);
// A text colour that reads well on that fill.
QColor textColorOn(TrackColor color);

}  // namespace qx::app
