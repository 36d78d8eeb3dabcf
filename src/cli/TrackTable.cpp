#include "cli/TrackTable.h"

#include <cstdio>

#include "cli/TerminalText.h"

namespace qx::cli {
namespace {

const char* colorMark(TrackColor color)
{
    switch (color) {
    case TrackColor::red: return "R";
    case TrackColor::yellow: return "Y";
    case TrackColor::green: return "G";
    case TrackColor::orange: return "O";
    case TrackColor::blue: return "*";
    case TrackColor::clear: break;
    }
    return " ";
}

void row(std::string& out, const char* header, const Tracks& tracks,
         std::string (*cell)(const TrackStatus&))
{
    char text[64];
    std::snprintf(text, sizeof text, "%-9s", header);
    out += text;
    for (const auto& track : tracks.tracks()) {
        std::snprintf(text, sizeof text, " %-13s", cell(track).c_str());
        out += text;
    }
    out += '\n';
}

}  // namespace

std::string renderTrackTable(const Tracks& tracks, const std::string& deviceLine)
{
    std::string out = "Device: " + terminalSafe(deviceLine) + "\n";
    row(out, "", tracks, [](const TrackStatus& t) {
        return std::string(colorMark(t.trackNumColor)) + "Track " + std::to_string(t.index);
    });
    row(out, "Length", tracks, [](const TrackStatus& t) { return t.length; });
    row(out, "Position", tracks, [](const TrackStatus& t) { return t.position; });
    row(out, "Status", tracks, [](const TrackStatus& t) {
        return t.status.empty() ? std::string() : std::string(colorMark(t.color)) + " " + t.status;
    });
    row(out, "Pan", tracks, [](const TrackStatus& t) { return t.pan; });
    row(out, "Volume", tracks, [](const TrackStatus& t) { return t.volume; });
    row(out, "Feedback", tracks, [](const TrackStatus& t) { return t.feedback; });
    return out;
}

}  // namespace qx::cli
