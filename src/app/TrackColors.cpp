#include "app/TrackColors.h"

#include <algorithm>
#include <cmath>

namespace qx::app {
namespace {

constexpr double kReadable = 4.5;

double relativeLuminance(const QColor& color)
{
    const auto linear = [](float channel) {
        const double c = channel;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

QColor mix(const QColor& from, const QColor& to, double amount)
{
    const auto channel = [amount](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * amount)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()), channel(from.blue(), to.blue()));
}

}  // namespace

std::optional<QColor> fillColor(TrackColor color)
{
    switch (color) {
    case TrackColor::red: return QColor(255, 59, 48);
    case TrackColor::yellow: return QColor(255, 204, 0);
    case TrackColor::green: return QColor(52, 199, 89);
    case TrackColor::orange: return QColor(255, 149, 0);
    // Deep enough for white text at better than 4.5:1.
    case TrackColor::blue: return QColor(0, 96, 223);
    case TrackColor::clear: break;
    }
    return std::nullopt;
}

QColor textColorOn(TrackColor color)
{
    return color == TrackColor::blue ? QColor(Qt::white) : QColor(Qt::black);
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& tint, const QColor& background)
{
    // Above this luminance black reads better than white, and reaches 4.5:1.
    const QColor extreme = relativeLuminance(background) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    for (int step = 0; step <= 20; ++step) {
        const QColor candidate = mix(tint.toRgb(), extreme, step / 20.0);
        if (contrastRatio(candidate, background) >= kReadable) return candidate;
    }
    return extreme;
}

}  // namespace qx::app
