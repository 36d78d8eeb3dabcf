#include <gtest/gtest.h>

#include "common/MainQueue.h"
#include "midi/QXInterface.h"
#include "support/ConsoleCapture.h"
#include "support/FakeMidiEndpoints.h"
#include "support/Hex.h"

namespace qx {
using test::hex;

namespace {

// A 64-byte status report of four tracks: the given bytes after the type, then zeros.
Bytes statusReport(const std::string& afterType)
{
    Bytes m = hex("F0 00 02 33 02 " + afterType);
    m.resize(63, 0);
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

    void SetUp() override
    {
        link.tracksModel = tracks;
        link.qxInfoString = std::make_shared<ObservableText>();
        link.logModel = std::make_shared<LogText>();
    }
};

TEST_F(Decoding, StatusReportFillsTheTracks)
{
    // Four tracks, the second selected; per track state, level, pan, feedback,
    // then length and position in five 7-bit groups each, lowest first.
    link.handleSysEx(statusReport("04 02  00 00 F6 00 00 00 00 00 00 00 00 00 00 00"
                                  "  04 06 40 10 00 6E 05 00 00 10 00 00 00 00"));
    ui.drain();
    const auto records = link.tracksSnapshot();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1], (QXStatusStruct{.length = 96000, .position = 16, .status = 4, .level = -6, .pan = 64,
                                          .feedback = 16, .selected = true}));
    EXPECT_EQ(records[0], QXStatusStruct{.pan = 9}) << "pan bytes of 0x80 and above are inverted";
    for (std::size_t t : {2u, 3u}) EXPECT_EQ(records[t], QXStatusStruct{}) << t;
    EXPECT_EQ(std::pair(link.ntracks.load(), link.selectedTrack.load()), std::pair(std::int64_t{4}, std::int64_t{2}));

    link.handleSysEx(statusReport("04 00"));
    for (const auto& r : link.tracksSnapshot()) EXPECT_FALSE(r.selected);
}

// The first answer on a newly gained link, or one after four or more
// unanswered requests, asks for the configuration; every answer ends the count.
TEST_F(Decoding, ConfigurationIsRequestedOnFirstContactAndAfterSilence)
{
    const std::vector<Bytes> requests = {hex("F0 00 02 33 16 F7"), hex("F0 00 02 33 14 00 F7"),
                                         hex("F0 00 02 33 14 48 F7")};
    // First contact, unanswered requests, and whether the configuration is asked for.
    const std::tuple<bool, std::int64_t, bool> rows[] = {
        {true, 3, true}, {false, 0, false}, {false, 3, false}, {false, 4, true}, {false, 5, true}};
    for (const auto& [firstContact, unanswered, asks] : rows) {
        console.clear();
        link.firstContact.store(firstContact);
        link.pollTries.store(unanswered);
        link.handleSysEx(statusReport("04 01"));
        EXPECT_EQ(link.pollTries.load(), 0);
        EXPECT_FALSE(link.firstContact.load());
        EXPECT_EQ(link.takeTriggers().poll, asks) << "the effects request";
        std::vector<Bytes> queued;
        for (Bytes m = link.cmdQueue.dequeue(); !m.empty(); m = link.cmdQueue.dequeue()) queued.push_back(m);
        EXPECT_EQ(queued, asks ? requests : std::vector<Bytes>{});
        EXPECT_EQ(console.lines(), asks ? std::vector<std::string>{"\"Requesting configuration\""}
                                        : std::vector<std::string>{});
    }
}

TEST_F(Decoding, InformationAndLogText)
{
    const std::pair<const char*, const char*> lines[] = {
        {"F0 00 02 33 17 31 2E 32 00 F7", "1.2 - MIDI"},
        {"F0 00 02 33 17 00 41 F7", " - MIDI"},
        {"F0 00 02 33 17 41 42 F7", "AB - MIDI"},  // no zero: the text ends at 0xF7
        {"F0 00 02 33 17 41 C3 00 F7", "A\xEF\xBF\xBD - MIDI"},
    };
    for (const auto& [message, shown] : lines) {
        link.handleSysEx(hex(message));
        ui.drain();
        EXPECT_EQ(link.qxInfoString->text(), shown) << message;
    }
    link.handleSysEx(hex("F0 00 02 33 03 61 62 63 F7"));
    link.handleSysEx(hex("F0 00 02 33 03 F7"));
    link.handleSysEx(hex("F0 00 02 33 03 78 FF F7"));  // not UTF-8: dropped
    link.handleSysEx(hex("F0 00 02 33 03 64 65 66 F7"));
    ui.drain();
    EXPECT_EQ(link.logModel->log(), "abcdef");
    EXPECT_TRUE(console.lines().empty());
}

TEST_F(Decoding, ForeignUnknownAndShortMessages)
{
    for (const char* foreignOrShort : {"F0 00 02 34 02 F7", "F0 00 02 33 F7", "F7"})
        link.handleSysEx(hex(foreignOrShort));
    EXPECT_TRUE(console.lines().empty()) << "foreign or short messages leave no trace";
    link.handleSysEx(hex("F0 00 02 33 04 F7"));
    EXPECT_EQ(console.lines(), std::vector<std::string>{"\"Unknown sysex \" [240, 0, 2, 51, 4, 247]"});

    // A status report of 62 bytes is unknown and changes nothing.
    console.clear();
    Bytes shortReport = statusReport("04 01");
    shortReport.erase(shortReport.end() - 3, shortReport.end() - 1);
    link.pollTries.store(2);
    link.handleSysEx(shortReport);
    ui.drain();
    EXPECT_EQ(link.pollTries.load(), 2);
    EXPECT_TRUE(link.tracksSnapshot().empty());
    EXPECT_EQ(tracks->tracks()[0].status, "");
    std::string line = "\"Unknown sysex \" [240, 0, 2, 51, 2, 4, 1";
    for (int i = 0; i < 54; ++i) line += ", 0";
    EXPECT_EQ(console.lines(), std::vector<std::string>{line + ", 247]"});

    // Updates for models that are not attached are dropped on the UI thread.
    link.tracksModel.reset();
    link.logModel.reset();
    link.handleSysEx(statusReport("04 01"));
    link.handleSysEx(hex("F0 00 02 33 03 61 F7"));
    EXPECT_EQ(ui.drain(), 2u);
}

TEST(TracksModel, OnlyListsOfFourOrEightAreTaken)
{
    Tracks tracks;
    int changes = 0;
    tracks.subscribe([&] { ++changes; });
    const QXStatusStruct playing{.status = 4};
    tracks.updateFromStatus(std::vector<QXStatusStruct>(6, playing));
    tracks.updateFromStatus({});
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(tracks.tracks()[0].status, "");

    tracks.updateFromStatus(std::vector<QXStatusStruct>(8, playing));
    const auto before = tracks.tracks();
    tracks.updateFromStatus(std::vector<QXStatusStruct>(4, playing));
    EXPECT_EQ(changes, 2);
    ASSERT_EQ(tracks.tracks().size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(tracks.tracks()[i].status, "playing");
        EXPECT_EQ(tracks.tracks()[i].index, static_cast<std::int64_t>(i + 1));
        // Records 1 to 4 are new; 5 to 8 keep what they showed.
        EXPECT_EQ(tracks.tracks()[i].id == before[i].id, i >= 4);
    }
}

}  // namespace qx
