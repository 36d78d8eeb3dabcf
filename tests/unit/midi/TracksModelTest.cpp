#include <gtest/gtest.h>

#include "model/DisplayModels.h"
#include "model/Tracks.h"

namespace qx {

namespace {
std::vector<QXStatusStruct> entries(std::size_t n)
{
    std::vector<QXStatusStruct> list(n);
    for (std::size_t i = 0; i < n; ++i) list[i].status = 4;
    return list;
}
}  // namespace

TEST(TracksModel, StartsWithEightEmptyTracks)
{
    Tracks tracks;
    ASSERT_EQ(tracks.tracks().size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(tracks.tracks()[i].index, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(tracks.tracks()[i].status, "");
        EXPECT_EQ(tracks.tracks()[i].color, TrackColor::clear);
    }
}

TEST(TracksModel, OnlyListsOfFourOrEightAreTaken)
{
    Tracks tracks;
    int changes = 0;
    tracks.subscribe([&] { ++changes; });
    tracks.updateFromStatus(entries(6));
    tracks.updateFromStatus({});
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(tracks.tracks()[0].status, "");

    tracks.updateFromStatus(entries(8));
    const auto ids = tracks.tracks();
    tracks.updateFromStatus(entries(4));
    EXPECT_EQ(changes, 2);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(tracks.tracks()[i].status, "playing");
        EXPECT_EQ(tracks.tracks()[i].index, static_cast<std::int64_t>(i + 1));
        // Records 1 to 4 are new; 5 to 8 keep what they showed.
        EXPECT_EQ(tracks.tracks()[i].id == ids[i].id, i >= 4);
    }
}

TEST(TracksModel, TextsAndColours)
{
    std::vector<QXStatusStruct> list(4);
    list[0] = {72000, 0, 3, -10, 64, 100, false};
    list[1] = {0, 48000, 9, 4294967286LL, 4294967286LL, 0, true};
    list[2].status = 1;
    list[3].status = 5;
    Tracks tracks;
    tracks.updateFromStatus(list);
    const auto& t = tracks.tracks();
    EXPECT_EQ(t[0].length, "1.5");
    EXPECT_EQ(t[0].position, "0.0");
    EXPECT_EQ(t[0].status, "stopped");
    EXPECT_EQ(t[0].color, TrackColor::clear);
    EXPECT_EQ(t[0].volume, "-10");
    EXPECT_EQ(t[0].pan, "64");
    EXPECT_EQ(t[0].feedback, "100");
    EXPECT_EQ(t[0].trackNumColor, TrackColor::clear);
    EXPECT_EQ(t[1].status, "unknown");
    EXPECT_EQ(t[1].color, TrackColor::clear);
    EXPECT_EQ(t[1].volume, "-10") << "an unsigned network word shows as a negative volume";
    EXPECT_EQ(t[1].pan, "-10");
    EXPECT_EQ(t[1].position, "1.0");
    EXPECT_EQ(t[1].trackNumColor, TrackColor::blue);
    EXPECT_EQ(t[2].color, TrackColor::red);
    EXPECT_EQ(t[3].color, TrackColor::orange);
    EXPECT_EQ(statusName(2), "overdubbing");
}

TEST(DisplayModelsTest, LogAppendsWithoutSeparators)
{
    LogText log;
    log.append("abc");
    log.append("def");
    EXPECT_EQ(log.log(), "abcdef");
    log.setLog("");
    log.append("x");
    EXPECT_EQ(log.log(), "x");
}

}  // namespace qx
