#include "app/TrackColors.h"

namespace qx::app {

std::optional<QColor> fillColor(TrackColor color)
{
    switch (color) {
    case TrackColor::red: return QColor(255, 59, 48);
    case TrackColor::yellow: return QColor(255, 204, 0);
    case TrackColor::green: return QColor(52, 199, 89);
    case TrackColor::orange: return QColor(255, 149, 0);
    case TrackColor::blue: return QColor(0, 122, 255);
    case TrackColor::clear: break;
    }
    return std::nullopt;
}

QColor textColorOn(TrackColor color)
{
    return color == TrackColor::blue ? QColor(Qt::white) : QColor(Qt::black);
}

}  // namespace qx::app
