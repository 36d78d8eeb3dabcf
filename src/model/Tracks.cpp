#include "model/Tracks.h"

#include "model/DisplayModels.h"

#include <charconv>

namespace qx {
namespace {

// "1.5" whatever the locale: the window's toolkit sets the user's locale,
// which printf would follow ("1,5").
std::string seconds(std::int64_t samples)
{
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, static_cast<double>(samples) / 48000.0,
                                   std::chars_format::fixed, 1);
    return std::string(text, end.ptr);
}

TrackColor stateColor(std::uint8_t code)
{
    switch (code) {
    case 1: return TrackColor::red;
    case 2: return TrackColor::yellow;
    case 4: return TrackColor::green;
    case 5: return TrackColor::orange;
    default: return TrackColor::clear;
    }
}

}  // namespace

std::string statusName(std::uint8_t code)
{
    switch (code) {
    case 0: return "empty";
    case 1: return "recording";
    case 2: return "overdubbing";
    case 3: return "stopped";
    case 4: return "playing";
    case 5: return "replacing";
    default: return "unknown";
    }
}

Tracks::Tracks()
{
    for (std::size_t i = 0; i < kCount; ++i) tracks_.emplace_back(static_cast<std::int64_t>(i + 1));
}

void Tracks::updateFromStatus(const std::vector<QXStatusStruct>& entries)
{
    if (entries.size() != 8 && entries.size() != 4) return;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QXStatusStruct& entry = entries[i];
        TrackStatus record(static_cast<std::int64_t>(i + 1));
        record.length = seconds(entry.length);
        record.position = seconds(entry.position);
        record.status = statusName(entry.status);
        record.pan = std::to_string(entry.pan);
        record.volume = std::to_string(entry.level);
        record.feedback = std::to_string(entry.feedback);
        record.color = stateColor(entry.status);
        record.trackNumColor = entry.selected ? TrackColor::blue : TrackColor::clear;
        tracks_[i] = std::move(record);
    }
    notify();
}

void LogText::keepLimit()
{
    if (log_.size() <= kLimit) return;
    std::size_t cut = log_.size() - kLimit;
    if (const std::size_t line = log_.find('\n', cut); line != std::string::npos) {
        cut = line + 1;
    } else {
        // One line longer than the limit: cut where a character starts.
        while (cut < log_.size() && (static_cast<unsigned char>(log_[cut]) & 0xC0) == 0x80) ++cut;
    }
    log_.erase(0, cut);
    dropped_ += cut;
}

}  // namespace qx
