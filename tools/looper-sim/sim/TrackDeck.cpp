#include "sim/TrackDeck.h"

#include <algorithm>
#include <charconv>

namespace qx::sim {
namespace {

constexpr const char* kStateNames[] = {"empty", "recording", "overdubbing", "stopped", "playing", "replacing"};

std::string logLine(int track, TrackState state)
{
    return "track " + std::to_string(track) + " " + trackStateName(state) + "\n";
}

bool loops(TrackState state)
{
    return state == TrackState::Playing || state == TrackState::Overdubbing || state == TrackState::Replacing;
}

// Moves one track on by the given number of samples; true when a recording
// closed into a loop on the way.
bool advanceTrack(SimTrack& track, std::int64_t samples)
{
    bool closed = false;
    if (track.state == TrackState::Recording) {
        const std::int64_t limit = track.closeAt > 0 ? std::min(track.closeAt, kMaxLoopSamples) : kMaxLoopSamples;
        const std::int64_t room = limit - track.length;
        if (samples < room) {
            track.length += samples;
            track.position = track.length;
            return false;
        }
        // The loop closes at its limit and the rest of the time is played.
        track.length = limit;
        track.position = 0;
        track.state = TrackState::Playing;
        track.closeAt = 0;
        samples -= room;
        closed = true;
    }
    if (loops(track.state) && track.length > 0) track.position = (track.position + samples) % track.length;
    return closed;
}

}  // namespace

const char* trackStateName(TrackState state)
{
    const auto code = static_cast<std::size_t>(state);
    return code < std::size(kStateNames) ? kStateNames[code] : "unknown";
}

std::optional<TrackState> parseTrackState(std::string_view text)
{
    for (std::size_t code = 0; code < std::size(kStateNames); ++code)
        if (text == kStateNames[code]) return static_cast<TrackState>(code);
    unsigned code = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (error == std::errc() && end == text.data() + text.size() && code < std::size(kStateNames))
        return static_cast<TrackState>(code);
    return std::nullopt;
}

std::int64_t samplesAt(Nanos time)
{
    // Split so that the multiplication cannot overflow for any clock value.
    constexpr std::int64_t kPerSecond = 1'000'000'000;
    const std::int64_t ns = time.count();
    return ns / kPerSecond * kSampleRate + ns % kPerSecond * kSampleRate / kPerSecond;
}

TrackDeck::TrackDeck(int count, Nanos start)
    : tracks_(static_cast<std::size_t>(count == 8 ? 8 : 4)), lastSample_(samplesAt(start))
{
}

std::string TrackDeck::loadDefaultScene()
{
    auto loop = [](TrackState state, std::uint8_t level, std::uint8_t pan, std::uint8_t feedback,
                   std::int64_t length, std::int64_t position) {
        return SimTrack{state, level, pan, feedback, length, position, 0};
    };
    tracks_[0] = loop(TrackState::Playing, 0, 64, 127, 2 * kSampleRate, 0);
    tracks_[1] = loop(TrackState::Recording, 6, 32, 100, 0, 0);
    tracks_[1].closeAt = 4 * kSampleRate;
    tracks_[2] = loop(TrackState::Stopped, 12, 96, 80, 3 * kSampleRate, 0);
    tracks_[3] = loop(TrackState::Overdubbing, 3, 64, 127, 4 * kSampleRate, kSampleRate / 2);
    if (tracks_.size() == 8) {
        tracks_[4] = SimTrack{};
        tracks_[5] = loop(TrackState::Playing, 9, 0, 127, 5 * kSampleRate, 0);
        tracks_[6] = loop(TrackState::Stopped, 20, 127, 64, kSampleRate, 0);
        tracks_[7] = loop(TrackState::Replacing, 1, 64, 110, 5 * kSampleRate / 2, 0);
    }
    selected_ = 1;
    std::string log;
    for (std::size_t i = 0; i < tracks_.size(); ++i)
        if (tracks_[i].state != TrackState::Empty) log += logLine(static_cast<int>(i + 1), tracks_[i].state);
    return log;
}

std::string TrackDeck::advanceTo(Nanos now)
{
    const std::int64_t sample = samplesAt(now);
    const std::int64_t elapsed = sample - lastSample_;
    if (elapsed <= 0) return {};
    lastSample_ = sample;
    std::string log;
    for (std::size_t i = 0; i < tracks_.size(); ++i)
        if (advanceTrack(tracks_[i], elapsed)) log += logLine(static_cast<int>(i + 1), tracks_[i].state);
    return log;
}

std::optional<std::string> TrackDeck::setState(int track, TrackState state)
{
    if (track < 1 || track > count()) return std::nullopt;
    SimTrack& t = tracks_[static_cast<std::size_t>(track - 1)];
    const TrackState before = t.state;
    switch (state) {
    case TrackState::Empty:
    case TrackState::Recording:  // a new take starts from nothing
        t.length = 0;
        t.position = 0;
        t.closeAt = 0;
        break;
    case TrackState::Stopped:
        t.position = 0;
        break;
    case TrackState::Playing:
    case TrackState::Overdubbing:
    case TrackState::Replacing:
        if (before == TrackState::Recording) t.position = 0;  // the loop closes here
        break;
    }
    t.state = state;
    return logLine(track, state);
}

bool TrackDeck::setTrack(int track, const SimTrack& value)
{
    if (track < 1 || track > count()) return false;
    SimTrack t = value;
    // Every byte of the MIDI report must stay below 0x80.
    t.level = std::min<std::uint8_t>(t.level, 127);
    t.pan = std::min<std::uint8_t>(t.pan, 127);
    t.feedback = std::min<std::uint8_t>(t.feedback, 127);
    t.length = std::clamp<std::int64_t>(t.length, 0, kMaxLoopSamples);
    t.position = std::clamp<std::int64_t>(t.position, 0, std::max<std::int64_t>(t.length, 0));
    tracks_[static_cast<std::size_t>(track - 1)] = t;
    return true;
}

bool TrackDeck::select(int track)
{
    if (track < 0 || track > count()) return false;
    selected_ = track;
    return true;
}

}  // namespace qx::sim
