// What the session makes of the looper's reports: the models they fill, the
// configuration asked for on a new or returning looper, and the counts that
// tell a live link from a silent one.
#include <gtest/gtest.h>

#include "sim/LooperReplies.h"
#include "support/ConsoleCapture.h"
#include "support/Hex.h"
#include "support/SessionUnderTest.h"

namespace qx {
namespace {

using test::hex;

Bytes statusReport(int selected) { return sim::reply::statusReport(4, selected, {}); }

class SessionReports : public ::testing::Test {
protected:
    test::SessionUnderTest panel;
    LinkArbiter& arbiter = panel.session.arbiter();
    SessionModels& models = panel.models();
    test::ConsoleCapture console;
};

// The first answer on a newly gained link, or one after four or more
// unanswered requests, asks for the configuration; every answer ends the count.
TEST_F(SessionReports, ConfigurationIsAskedForOnFirstContactAndAfterASilence)
{
    std::vector<Bytes> requests = {hex("F0 00 02 33 16 F7"), hex("F0 00 02 33 14 00 F7"),
                                         hex("F0 00 02 33 14 48 F7")};
    // First contact, unanswered requests, and whether the configuration is asked for.
    const std::tuple<bool, std::int64_t, bool> rows[] = {
        {true, 3, true}, {false, 0, false}, {false, 3, false}, {false, 4, true}, {false, 5, true}};
    for (const auto& [firstContact, unanswered, asks] : rows) {
        console.clear();
        if (firstContact) arbiter.expectFirstContact();
        arbiter.setUnanswered(Transport::midi, unanswered);
        panel.receive(statusReport(1));
        EXPECT_EQ(arbiter.unanswered(Transport::midi), 0);
        EXPECT_FALSE(arbiter.takeFirstContact());
        EXPECT_EQ(panel.session.linkHost().effects.take().read, asks) << "the effects request";
        EXPECT_EQ(panel.queued(), asks ? requests : std::vector<Bytes>{});
        EXPECT_EQ(console.lines(), asks ? std::vector<std::string>{"\"Requesting configuration\""}
                                        : std::vector<std::string>{});
    }

    // A late answer while the network holds the link leaves the first contact
    // to MIDI's next turn; then the button shown is asked for again too, as a
    // write to it may have been lost in the silence.
    arbiter.expectFirstContact();
    arbiter.handTo(Transport::network);
    panel.receive(statusReport(1));
    EXPECT_TRUE(panel.queued().empty());
    arbiter.handTo(Transport::midi);
    panel.session.edits().tick();  // the button tab shows program change 0
    panel.queued();
    panel.receive(statusReport(1));
    requests.push_back(hex("F0 00 02 33 0E 00 00 01 F7"));
    EXPECT_EQ(panel.queued(), requests);
}

// What the window shows of the reports is checked there (MainWindowTest);
// these are what only the session sees.
TEST_F(SessionReports, EachLinksReportsAnswerItsOwnRequestsAndButtonBlocksAreForATransfer)
{
    arbiter.takeFirstContact();
    arbiter.setUnanswered(Transport::network, 3);
    panel.receive(statusReport(2));
    EXPECT_EQ(arbiter.unanswered(Transport::network), 3) << "a SysEx report answers MIDI's request";

    Bytes compact(232, 0);
    compact[2] = 0xBB, compact[3] = 0x80, compact[7] = 8;  // 48000, eight tracks
    panel.session.linkHost().reports.received(Transport::network, decodeDatagram(compact));
    EXPECT_EQ(arbiter.unanswered(Transport::network), 0);
    panel.ui.drain();
    EXPECT_EQ(models.tracks->tracks()[7].status, "empty") << "the compact report's eight tracks";

    // The eight-button form is for a configuration transfer only.
    panel.receive(sim::reply::buttonReport(0, std::vector<sim::FunctionSlots>(8, {3, 3, 3, 3, 3, 3, 3, 3})));
    EXPECT_TRUE(models.button->oldvalues.empty());
}

TEST(TracksModel, OnlyListsOfFourOrEightAreTakenAndTextsAreSignedDecimals)
{
    Tracks tracks;
    int changes = 0;
    tracks.subscribe([&] { ++changes; });
    const QXStatusStruct playing{.length = 72000, .status = 4, .level = -10, .pan = -3};
    tracks.updateFromStatus(std::vector<QXStatusStruct>(6, playing));
    tracks.updateFromStatus({});
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(tracks.tracks()[0].status, "");

    tracks.updateFromStatus(std::vector<QXStatusStruct>(8, playing));
    tracks.updateFromStatus(std::vector<QXStatusStruct>(4, QXStatusStruct{.status = 1}));
    EXPECT_EQ(changes, 2);
    ASSERT_EQ(tracks.tracks().size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {  // records 1 to 4 are new; 5 to 8 keep what they showed
        const TrackStatus& t = tracks.tracks()[i];
        EXPECT_EQ(std::to_string(t.index) + " " + t.status + " " + t.length + " " + t.volume + " " + t.pan,
                  std::to_string(i + 1) + (i < 4 ? " recording 0.0 0 0" : " playing 1.5 -10 -3"));
    }
}

}  // namespace
}  // namespace qx
