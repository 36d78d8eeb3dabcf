// Tracks playing against an injected clock: growing, wrapping, closing, and
// the log lines their changes write.
#include <gtest/gtest.h>

#include "sim/TrackDeck.h"

namespace qx::sim::test {

static Nanos seconds(double s) { return Nanos(static_cast<std::int64_t>(s * 1e9)); }

// State, length and position of one track.
static auto play(const SimTrack& t) { return std::tuple(t.state, t.length, t.position); }

TEST(TrackDeck, PlayingTracksWrapRecordingsGrowAndCloseStoppedTracksStay)
{
    EXPECT_EQ(std::pair(samplesAt(Nanos(20'833)), samplesAt(Nanos(20'834))), std::pair(0L, 1L));
    const std::int64_t year = 365LL * 24 * 3600;  // its nanoseconds times 48000 overflow 64 bits
    EXPECT_EQ(samplesAt(seconds(static_cast<double>(year))), year * 48000);

    TrackDeck deck(4, seconds(10));
    const std::vector<SimTrack>& t = deck.tracks();
    EXPECT_EQ(deck.loadDefaultScene(), "track 1 playing\ntrack 2 recording\ntrack 3 stopped\ntrack 4 overdubbing\n");
    EXPECT_EQ(deck.advanceTo(seconds(12.5)), "");
    EXPECT_EQ(play(t[0]), play({TrackState::Playing, 0, 0, 0, 96000, 24000})) << "a 2.0 s loop after 2.5 s";
    EXPECT_EQ(play(t[1]), play({TrackState::Recording, 0, 0, 0, 120000, 120000}));
    EXPECT_EQ(play(t[2]), play({TrackState::Stopped, 0, 0, 0, 144000, 0}));
    EXPECT_EQ(play(t[3]), play({TrackState::Overdubbing, 0, 0, 0, 192000, 144000}));
    EXPECT_EQ(deck.advanceTo(seconds(12.0)), "") << "time never runs backwards";
    EXPECT_EQ(t[0].position, 24000);
    EXPECT_EQ(deck.advanceTo(seconds(15)), "track 2 playing\n") << "the recording closes into a 4.0 s loop";
    EXPECT_EQ(play(t[1]), play({TrackState::Playing, 0, 0, 0, 4 * 48000, 48000}));
    EXPECT_EQ(deck.setState(3, TrackState::Recording), "track 3 recording\n");
    EXPECT_EQ(deck.advanceTo(seconds(616)), "track 3 playing\n") << "an unclosed recording stops at ten minutes";
    EXPECT_EQ(play(t[2]), play({TrackState::Playing, 0, 0, 0, kMaxLoopSamples, 48000}));
    EXPECT_EQ(deck.setState(2, TrackState::Stopped), "track 2 stopped\n");
    EXPECT_EQ(t[1].position, 0);
    for (int track : {0, 5}) EXPECT_EQ(deck.setState(track, TrackState::Playing), std::nullopt) << track;
    EXPECT_TRUE(deck.setTrack(1, SimTrack{TrackState::Playing, 200, 255, 128, 1000, 5000, 0}));
    EXPECT_EQ(std::tuple(t[0].level, t[0].pan, t[0].feedback), std::tuple(127, 127, 127)) << "SysEx data bytes";
}

}  // namespace qx::sim::test
