// Tracks playing against the clock: growing, wrapping, closing, and the log
// lines their changes write.
#include <gtest/gtest.h>

#include "sim/TrackDeck.h"

namespace qx::sim {
namespace {

Nanos seconds(double s) { return Nanos(static_cast<std::int64_t>(s * 1e9)); }

TEST(TrackDeck, SampleClockIsExactForLongRuns)
{
    EXPECT_EQ(samplesAt(seconds(1)), 48000);
    EXPECT_EQ(samplesAt(Nanos(20'833)), 0);
    EXPECT_EQ(samplesAt(Nanos(20'834)), 1);
    // A year of nanoseconds would overflow a plain multiplication.
    const std::int64_t year = 365LL * 24 * 3600;
    EXPECT_EQ(samplesAt(seconds(static_cast<double>(year))), year * 48000);
}

TEST(TrackDeck, PlayingWrapsRecordingGrowsStoppedStays)
{
    TrackDeck deck(4, seconds(10));
    deck.loadDefaultScene();
    EXPECT_EQ(deck.advanceTo(seconds(12.5)), "");
    const auto& t = deck.tracks();
    EXPECT_EQ(t[0].position, 24000) << "2.0 s loop after 2.5 s";
    EXPECT_EQ(t[1].length, 120000);
    EXPECT_EQ(t[1].position, 120000);
    EXPECT_EQ(t[2].position, 0);
    EXPECT_EQ(t[3].position, 144000);
    EXPECT_EQ(deck.advanceTo(seconds(12.0)), "") << "time never runs backwards";
    EXPECT_EQ(t[0].position, 24000);
}

TEST(TrackDeck, ARecordingClosesIntoALoopAndPlaysOn)
{
    TrackDeck deck(4, Nanos(0));
    deck.loadDefaultScene();
    EXPECT_EQ(deck.advanceTo(seconds(5)), "track 2 playing\n");
    const SimTrack& t = deck.tracks()[1];
    EXPECT_EQ(t.state, TrackState::Playing);
    EXPECT_EQ(t.length, 4 * 48000);
    EXPECT_EQ(t.position, 48000);
}

TEST(TrackDeck, AnUnclosedRecordingStopsAtTheLongestLoop)
{
    TrackDeck deck(4, Nanos(0));
    deck.setState(1, TrackState::Recording);
    EXPECT_EQ(deck.advanceTo(seconds(601)), "track 1 playing\n");
    EXPECT_EQ(deck.tracks()[0].length, kMaxLoopSamples);
    EXPECT_EQ(deck.tracks()[0].position, 48000);
}

TEST(TrackDeck, StateChangesWriteLogLinesAndMoveThePosition)
{
    TrackDeck deck(4, Nanos(0));
    deck.loadDefaultScene();
    deck.advanceTo(seconds(1));
    EXPECT_EQ(deck.setState(2, TrackState::Playing), "track 2 playing\n");
    EXPECT_EQ(deck.tracks()[1].length, 48000);
    EXPECT_EQ(deck.tracks()[1].position, 0) << "the loop starts over where it closed";
    EXPECT_EQ(deck.setState(1, TrackState::Stopped), "track 1 stopped\n");
    EXPECT_EQ(deck.tracks()[0].position, 0);
    EXPECT_EQ(deck.setState(4, TrackState::Empty), "track 4 empty\n");
    EXPECT_EQ(deck.tracks()[3].length, 0);
    EXPECT_EQ(deck.setState(5, TrackState::Playing), std::nullopt);
    EXPECT_EQ(deck.setState(0, TrackState::Playing), std::nullopt);
}

TEST(TrackDeck, EightTrackSceneShowsEveryState)
{
    TrackDeck deck(8, Nanos(0));
    EXPECT_EQ(deck.loadDefaultScene(),
              "track 1 playing\ntrack 2 recording\ntrack 3 stopped\ntrack 4 overdubbing\n"
              "track 6 playing\ntrack 7 stopped\ntrack 8 replacing\n");
    ASSERT_EQ(deck.count(), 8);
    EXPECT_EQ(deck.tracks()[4].state, TrackState::Empty);
}

TEST(TrackDeck, SetTrackKeepsEveryByteSendable)
{
    TrackDeck deck(4, Nanos(0));
    EXPECT_TRUE(deck.setTrack(1, SimTrack{TrackState::Playing, 200, 255, 128, 1000, 5000, 0}));
    const SimTrack& t = deck.tracks()[0];
    EXPECT_EQ(t.level, 127);
    EXPECT_EQ(t.pan, 127);
    EXPECT_EQ(t.feedback, 127);
    EXPECT_EQ(t.position, 1000);
    EXPECT_FALSE(deck.setTrack(9, SimTrack{}));
    EXPECT_TRUE(deck.select(0));
    EXPECT_FALSE(deck.select(5));
    EXPECT_EQ(deck.selected(), 0);
}

TEST(TrackDeck, StateNamesAndCodes)
{
    EXPECT_EQ(parseTrackState("replacing"), TrackState::Replacing);
    EXPECT_EQ(parseTrackState("2"), TrackState::Overdubbing);
    EXPECT_EQ(parseTrackState("6"), std::nullopt);
    EXPECT_EQ(parseTrackState("Playing"), std::nullopt);
    EXPECT_STREQ(trackStateName(TrackState::Empty), "empty");
}

}  // namespace
}  // namespace qx::sim
