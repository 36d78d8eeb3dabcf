#pragma once
// The looper's tracks, playing in (simulated) real time: a recording track
// grows, a playing, overdubbing or replacing track moves its position on and
// wraps at the loop's length. Times are sample counts at 48,000 per second.
// Not thread-safe: the engine guards it with its own lock.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimClock.h"

namespace qx::sim {

inline constexpr std::int64_t kSampleRate = 48000;
// A recording that nobody closes becomes a loop at this length (ten minutes),
// which also keeps every length inside a 32-bit word.
inline constexpr std::int64_t kMaxLoopSamples = 10 * 60 * kSampleRate;

enum class TrackState : std::uint8_t {
    Empty = 0,
    Recording = 1,
    Overdubbing = 2,
    Stopped = 3,
    Playing = 4,
    Replacing = 5,
};

const char* trackStateName(TrackState state);
// Accepts the names ("playing") and the codes ("4").
std::optional<TrackState> parseTrackState(std::string_view text);

struct SimTrack {
    TrackState state = TrackState::Empty;
    std::uint8_t level = 0;      // attenuation; the panel shows it negated
    std::uint8_t pan = 64;       // 0 to 127
    std::uint8_t feedback = 127; // 0 to 127
    std::int64_t length = 0;     // samples
    std::int64_t position = 0;   // samples
    // A recording turns into a playing loop when it reaches this length
    // (0: at kMaxLoopSamples).
    std::int64_t closeAt = 0;
};

// Sample count of the simulated sample clock at the given time.
std::int64_t samplesAt(Nanos time);

class TrackDeck {
public:
    // 4 or 8 tracks, all empty, track 1 selected; time starts at `start`.
    TrackDeck(int count, Nanos start);

    // The demo scene: track 1 playing a 2.0 s loop, track 2 recording (it
    // closes into a 4.0 s loop), track 3 stopped, track 4 overdubbing; with
    // eight tracks also an empty, a playing, a stopped and a replacing track.
    // Returns the log lines it causes.
    std::string loadDefaultScene();

    // Plays every track on to the given time; returns the log lines of the
    // state changes that happened on the way ("track 2 playing\n").
    std::string advanceTo(Nanos now);

    // Track numbers are 1-based. Each returns its log line, or nullopt when
    // the track number does not exist.
    std::optional<std::string> setState(int track, TrackState state);
    bool setTrack(int track, const SimTrack& value);
    // 0 selects no track.
    bool select(int track);

    int count() const { return static_cast<int>(tracks_.size()); }
    int selected() const { return selected_; }
    const std::vector<SimTrack>& tracks() const { return tracks_; }

private:
    std::vector<SimTrack> tracks_;
    int selected_ = 1;
    std::int64_t lastSample_;
};

}  // namespace qx::sim
