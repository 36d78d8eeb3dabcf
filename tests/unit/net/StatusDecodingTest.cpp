#include <gtest/gtest.h>

#include "CompactReport.h"
#include "ConsoleRecorder.h"
#include "RecordingLinkHost.h"
#include "model/Tracks.h"
#include "net/QXNetworkInterface.h"

namespace qx {
namespace {

using test::CompactReport;

class NetStatusDecoding : public ::testing::Test {
protected:
    // Counts as unanswered queries so that a reset is visible.
    void SetUp() override
    {
        for (int i = 0; i < 7; ++i) link.addPollAttempt();
    }
    std::vector<QXStatusStruct> lastTracks() const
    {
        const auto shown = host.tracks();
        return shown.empty() ? std::vector<QXStatusStruct>{} : shown.back();
    }

    test::ConsoleRecorder console;
    test::RecordingLinkHost host;
    QXNetworkInterface link{host};
};

TEST_F(NetStatusDecoding, FourTrackReportWithSelection)
{
    link.decodeStatus(CompactReport(4).state(0, 3).selection(0, 1).bytes);

    const auto tracks = lastTracks();
    ASSERT_EQ(tracks.size(), 4u);
    EXPECT_EQ(tracks[0], (QXStatusStruct{.status = 3, .selected = true}));
    for (int i = 1; i < 4; ++i) EXPECT_EQ(tracks[i], QXStatusStruct{}) << "track " << i;
    EXPECT_EQ(host.selected(), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(link.pollAttemptsNow(), 0);
    EXPECT_TRUE(console.lines().empty());
}

TEST_F(NetStatusDecoding, WordsGoToTheirFieldsUnsigned)
{
    CompactReport report(8);
    report.state(7, 0x01020304).length(7, 96000).position(7, 4294967295u).level(7, 4294967286u);
    report.pan(7, 64).feedback(7, 127).selection(7, 0x00000001);
    report.state(2, 4).length(2, 1).position(2, 2).level(2, 3).pan(2, 4).feedback(2, 5);
    link.decodeStatus(report.bytes);

    const auto tracks = lastTracks();
    ASSERT_EQ(tracks.size(), 8u);
    EXPECT_EQ(tracks[7], (QXStatusStruct{.length = 96000, .position = 4294967295LL, .status = 4,
                                         .level = 4294967286LL, .pan = 64, .feedback = 127, .selected = true}));
    EXPECT_EQ(tracks[2], (QXStatusStruct{.length = 1, .position = 2, .status = 4, .level = 3, .pan = 4, .feedback = 5}));
    EXPECT_EQ(host.selected(), (std::vector<std::int64_t>{8}));
}

TEST_F(NetStatusDecoding, UnsignedLevelShowsAsNegativeVolume)
{
    link.decodeStatus(CompactReport(4).state(1, 4).level(1, 4294967286u).length(1, 72000).bytes);
    Tracks model;
    model.updateFromStatus(lastTracks());
    EXPECT_EQ(model.tracks()[1].volume, "-10");
    EXPECT_EQ(model.tracks()[1].length, "1.5");
    EXPECT_EQ(model.tracks()[1].status, "playing");
}

TEST_F(NetStatusDecoding, SelectedNumberNeedsLastByteOneButFlagNeedsAnyBit)
{
    CompactReport report(4);
    report.selection(0, 0x00000001).selection(1, 0x00000100).selection(2, 0x00000002).selection(3, 0x01000001);
    link.decodeStatus(report.bytes);

    const auto tracks = lastTracks();
    ASSERT_EQ(tracks.size(), 4u);
    for (const auto& track : tracks) EXPECT_TRUE(track.selected);
    // The last track whose word ends in 1 wins.
    EXPECT_EQ(host.selected(), (std::vector<std::int64_t>{4}));

    link.decodeStatus(CompactReport(4).selection(1, 0x00000100).bytes);
    EXPECT_TRUE(lastTracks()[1].selected);
    EXPECT_EQ(host.selected().back(), 0);
}

TEST_F(NetStatusDecoding, TrackCountSetsTheListLength)
{
    link.decodeStatus(CompactReport(2).state(1, 2).bytes);
    ASSERT_EQ(lastTracks().size(), 2u);
    EXPECT_EQ(lastTracks()[1].status, 2);
    EXPECT_EQ(link.pollAttemptsNow(), 0);

    for (int i = 0; i < 3; ++i) link.addPollAttempt();
    link.decodeStatus(CompactReport(0).selection(0, 1).bytes);
    EXPECT_TRUE(lastTracks().empty());
    EXPECT_EQ(host.selected().back(), 0);  // tracks beyond the count are not looked at
    EXPECT_EQ(link.pollAttemptsNow(), 0);
}

TEST_F(NetStatusDecoding, WrongLengthIsReportedAndStillDecoded)
{
    link.decodeStatus(CompactReport(3).state(2, 5).selection(2, 1).resized(231));
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"\"Status buffer count wrong\" 231"}));
    ASSERT_EQ(lastTracks().size(), 3u);
    EXPECT_EQ(lastTracks()[2].status, 5);
    EXPECT_EQ(host.selected(), (std::vector<std::int64_t>{3}));
    EXPECT_EQ(link.pollAttemptsNow(), 0);
}

TEST_F(NetStatusDecoding, BadMarkIsReportedAndDropped)
{
    link.decodeStatus(CompactReport(4, 44100).bytes);
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"\"Bad format for status\" 44100"}));
    EXPECT_TRUE(host.tracks().empty());
    EXPECT_TRUE(host.selected().empty());
    EXPECT_EQ(link.pollAttemptsNow(), 7);
}

TEST_F(NetStatusDecoding, ReportTooShortForItsTracksDecodesOnlyThoseInside)
{
    // Track i's last word (its selection word) ends at 204 + 4 i.
    link.decodeStatus(CompactReport(8).selection(3, 1).selection(4, 1).resized(216));
    EXPECT_EQ(lastTracks().size(), 4u);
    EXPECT_EQ(host.selected().back(), 4);  // track 5's word lies outside
    EXPECT_EQ(link.pollAttemptsNow(), 0);

    link.decodeStatus(CompactReport(2).resized(203));  // not even track 1 fits
    EXPECT_TRUE(lastTracks().empty());
    EXPECT_EQ(host.selected().back(), 0);
}

TEST_F(NetStatusDecoding, MoreThanEightTracksDecodesTheEightThereIsRoomFor)
{
    link.decodeStatus(CompactReport(1000000).selection(7, 1).bytes);
    EXPECT_EQ(lastTracks().size(), 8u);
    EXPECT_EQ(host.selected().back(), 8);

    // A longer datagram does not make room for a ninth track.
    link.decodeStatus(CompactReport(9).resized(400));
    EXPECT_EQ(lastTracks().size(), 8u);
}

TEST_F(NetStatusDecoding, ReportWithoutHeaderIsNoAnswer)
{
    link.decodeStatus(Bytes{0x00, 0x00, 0xBB, 0x80, 0x00, 0x00, 0x00});
    link.decodeStatus(Bytes{0x00});
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"\"Status buffer count wrong\" 7",
                                                         "\"Status buffer count wrong\" 1"}));
    EXPECT_TRUE(host.tracks().empty());
    EXPECT_EQ(link.pollAttemptsNow(), 7);
}

TEST(NetDispatch, RoutesDatagramsByFirstByte)
{
    test::ConsoleRecorder console;
    test::RecordingLinkHost host;
    QXNetworkInterface link{host};
    const Bytes sysEx{0xF0, 0x00, 0x02, 0x33, 0x03, 'h', 'i', 0xF7};
    const std::string logReply = std::string("<log>abc</log>") + '\0';
    const std::string identity = "<id>Unit7</id>";

    link.dispatchDatagram(test::CompactReport(4).bytes);
    link.dispatchDatagram(sysEx);
    link.dispatchDatagram(Bytes(logReply.begin(), logReply.end()));
    link.dispatchDatagram(Bytes(identity.begin(), identity.end()));  // a late identity reply
    link.dispatchDatagram(Bytes{0x7F, 1, 2, 3});
    link.dispatchDatagram(Bytes{});

    EXPECT_EQ(host.tracks().size(), 1u);
    EXPECT_EQ(host.sysEx(), (std::vector<Bytes>{sysEx}));
    EXPECT_EQ(host.log(), (std::vector<std::string>{"abc"}));
    EXPECT_TRUE(console.lines().empty());
}

}  // namespace
}  // namespace qx
