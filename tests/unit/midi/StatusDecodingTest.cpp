#include <gtest/gtest.h>

#include "common/MainQueue.h"
#include "midi/QXInterface.h"
#include "support/ConsoleCapture.h"
#include "support/FakeMidiEndpoints.h"
#include "support/Hex.h"

namespace qx {
using test::hex;

namespace {

// A 64-byte status report with the given blocks (each 14 bytes) for tracks 1..4.
Bytes statusReport(std::uint8_t count, std::uint8_t selected, const std::vector<Bytes>& blocks = {})
{
    Bytes m = hex("F0 00 02 33 02");
    m.push_back(count);
    m.push_back(selected);
    for (std::size_t t = 0; t < 4; ++t) {
        Bytes block = t < blocks.size() ? blocks[t] : Bytes(14, 0);
        m.insert(m.end(), block.begin(), block.end());
    }
    m.push_back(0xF7);
    return m;
}

}  // namespace

class Decoding : public ::testing::Test {
protected:
    ManualMainQueue ui;
    QXInterface link{ui, std::make_unique<test::FakeMidiEndpoints>()};
    test::ConsoleCapture console;
    std::shared_ptr<Tracks> tracks = std::make_shared<Tracks>();
    std::shared_ptr<ObservableText> info = std::make_shared<ObservableText>();
    std::shared_ptr<LogText> log = std::make_shared<LogText>();

    void SetUp() override
    {
        link.tracksModel = tracks;
        link.qxInfoString = info;
        link.logModel = log;
    }
    std::vector<Bytes> queued()
    {
        std::vector<Bytes> out;
        for (Bytes m = link.cmdQueue.dequeue(); !m.empty(); m = link.cmdQueue.dequeue()) out.push_back(m);
        return out;
    }
};

TEST_F(Decoding, StatusReportFillsTheTracks)
{
    const Bytes track2 = hex("04 06 40 10 00 6E 05 00 00 10 00 00 00 00");
    link.handleSysEx(statusReport(4, 2, {Bytes(14, 0), track2}));
    ui.drain();

    const auto records = link.tracksSnapshot();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].status, 4);
    EXPECT_EQ(records[1].level, -6);
    EXPECT_EQ(records[1].pan, 64);
    EXPECT_EQ(records[1].feedback, 16);
    EXPECT_EQ(records[1].length, 96000);
    EXPECT_EQ(records[1].position, 16);
    EXPECT_EQ(link.ntracks.load(), 4);
    EXPECT_EQ(link.selectedTrack.load(), 2);

    const TrackStatus& shown = tracks->tracks()[1];
    EXPECT_EQ(shown.status, "playing");
    EXPECT_EQ(shown.volume, "-6");
    EXPECT_EQ(shown.length, "2.0");
    EXPECT_EQ(shown.position, "0.0");
    EXPECT_EQ(shown.color, TrackColor::green);
    EXPECT_EQ(shown.trackNumColor, TrackColor::blue);
}

TEST_F(Decoding, SelectedTrackAndHighPanByte)
{
    link.handleSysEx(statusReport(4, 3, {hex("00 00 F6 00 00 00 00 00 00 00 00 00 00 00")}));
    auto records = link.tracksSnapshot();
    EXPECT_EQ(records[0].pan, 9) << "pan bytes of 0x80 and above are inverted";
    for (std::size_t t = 0; t < 4; ++t) EXPECT_EQ(records[t].selected, t == 2);

    link.handleSysEx(statusReport(4, 0));
    for (const auto& r : link.tracksSnapshot()) EXPECT_FALSE(r.selected);
}

TEST_F(Decoding, FirstAnswerOnANewLinkRequestsTheConfiguration)
{
    link.pollTries.store(3);
    link.handleSysEx(statusReport(4, 1));
    EXPECT_TRUE(link.takeTriggers().poll);
    EXPECT_EQ(queued().size(), 3u);
    link.handleSysEx(statusReport(4, 1));
    EXPECT_TRUE(queued().empty()) << "only the first answer asks";
    link.firstContact.store(true);  // the link was lost and gained again
    link.handleSysEx(statusReport(4, 1));
    EXPECT_EQ(queued().size(), 3u);
}

TEST_F(Decoding, AnswerAfterSilenceRequestsTheConfigurationAgain)
{
    link.firstContact.store(false);  // polling for a while already
    link.pollTries.store(5);
    link.handleSysEx(statusReport(4, 1));
    EXPECT_EQ(link.pollTries.load(), 0);
    EXPECT_TRUE(link.takeTriggers().poll);
    EXPECT_EQ(queued(), (std::vector<Bytes>{hex("F0 00 02 33 16 F7"), hex("F0 00 02 33 14 00 F7"),
                                            hex("F0 00 02 33 14 48 F7")}));
    EXPECT_EQ(console.lines(), std::vector<std::string>{"\"Requesting configuration\""});

    console.clear();
    link.pollTries.store(3);  // the first request after start-up answered at once
    link.handleSysEx(statusReport(4, 1));
    EXPECT_EQ(link.pollTries.load(), 0);
    EXPECT_FALSE(link.takeTriggers().poll);
    EXPECT_TRUE(queued().empty());
    EXPECT_TRUE(console.lines().empty());
}

TEST_F(Decoding, ShortStatusReportIsUnknownAndChangesNothing)
{
    Bytes shortReport = statusReport(4, 1);
    shortReport.erase(shortReport.end() - 3, shortReport.end() - 1);  // 62 bytes
    link.pollTries.store(2);
    link.handleSysEx(shortReport);
    ui.drain();
    EXPECT_EQ(link.pollTries.load(), 2);
    EXPECT_TRUE(link.tracksSnapshot().empty());
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(console.lines()[0].rfind("\"Unknown sysex \" [240, 0, 2, 51, 2, ", 0), 0u);
    EXPECT_EQ(tracks->tracks()[0].status, "");
}

TEST_F(Decoding, InformationAndLogText)
{
    link.handleSysEx(hex("F0 00 02 33 17 31 2E 32 00 F7"));
    ui.drain();
    EXPECT_EQ(info->text(), "1.2 - MIDI");
    link.handleSysEx(hex("F0 00 02 33 17 00 F7"));
    ui.drain();
    EXPECT_EQ(info->text(), " - MIDI");

    link.handleSysEx(hex("F0 00 02 33 03 61 62 63 F7"));
    link.handleSysEx(hex("F0 00 02 33 03 F7"));
    link.handleSysEx(hex("F0 00 02 33 03 64 65 66 F7"));
    ui.drain();
    EXPECT_EQ(log->log(), "abcdef");
}

TEST_F(Decoding, ForeignAndUnknownMessages)
{
    link.handleSysEx(hex("F0 00 02 34 02 F7"));
    link.handleSysEx(hex("F0 00 02 33 F7"));
    link.handleSysEx(hex("F7"));
    EXPECT_TRUE(console.lines().empty()) << "foreign or short messages leave no trace";
    link.handleSysEx(hex("F0 00 02 33 04 F7"));
    EXPECT_EQ(console.lines(), std::vector<std::string>{"\"Unknown sysex \" [240, 0, 2, 51, 4, 247]"});
}

TEST_F(Decoding, UpdatesWithoutAttachedModelsAreDropped)
{
    link.tracksModel.reset();
    link.logModel.reset();
    link.handleSysEx(statusReport(4, 1));
    link.handleSysEx(hex("F0 00 02 33 03 61 F7"));
    EXPECT_EQ(ui.drain(), 2u);
}

}  // namespace qx
