// The control protocol through which tests steer a running simulator.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "midi/Messages.h"
#include "sim/ControlSession.h"
#include "SimTestSupport.h"

namespace qx::sim {
namespace {

using Lines = std::vector<std::string>;

class ControlSessionTest : public ::testing::Test {
protected:
    test::ClockedLooper looper;
    ControlSession session{*looper.engine};
};

TEST_F(ControlSessionTest, FaultSwitchesAnswerOkAndTakeEffect)
{
    for (const char* command : {"silent", "drop-replies 0.25", "garble 0.5", "dup-replies 0.3", "delay 40", "drop-acks 0.1",
                                "dup-acks 1", "restart-upgrade-after 3"})
        EXPECT_EQ(session.run(command), Lines{"ok"}) << command;
    const Faults f = looper.engine->faults();
    EXPECT_TRUE(f.silent);
    EXPECT_DOUBLE_EQ(f.dropReplies, 0.25);
    EXPECT_DOUBLE_EQ(f.garble, 0.5);
    EXPECT_DOUBLE_EQ(f.dupReplies, 0.3);
    EXPECT_EQ(f.delay, std::chrono::milliseconds(40));
    EXPECT_DOUBLE_EQ(f.dropAcks, 0.1);
    EXPECT_DOUBLE_EQ(f.dupAcks, 1.0);
    EXPECT_EQ(f.restartUpgradeAfter, 3);
    EXPECT_EQ(session.run("answer"), Lines{"ok"});
    EXPECT_EQ(session.run("restart-upgrade-after off"), Lines{"ok"});
    EXPECT_FALSE(looper.engine->faults().silent);
    EXPECT_FALSE(looper.engine->faults().restartUpgradeAfter);
}

TEST_F(ControlSessionTest, WrongArgumentsAreErrorsAndChangeNothing)
{
    for (const char* command : {"drop-replies 1.5", "garble x", "delay -1", "delay", "press 1", "press 1 200",
                                "mapping 384", "track 5 playing", "track 1 dancing", "select 9",
                                "restart-upgrade-after 0", "frobnicate"}) {
        const Lines answer = session.run(command);
        ASSERT_EQ(answer.size(), 1u) << command;
        EXPECT_EQ(answer[0].rfind("error ", 0), 0u) << command << ": " << answer[0];
    }
    const Faults f = looper.engine->faults();
    EXPECT_EQ(f.dropReplies, 0.0);
    EXPECT_EQ(f.delay, std::chrono::milliseconds(0));
    EXPECT_TRUE(session.run("").empty());
    EXPECT_FALSE(session.quitRequested());
    EXPECT_EQ(session.run("quit"), Lines{"ok"});
    EXPECT_TRUE(session.quitRequested());
}

TEST_F(ControlSessionTest, StateReportsSettingsBanksImageMappingsTracksAndFaults)
{
    looper.engine->receiveMidi(msg::settingWrite(msg::kMidiChannelWrite, 16));
    session.run("track 3 playing");
    session.run("select 2");
    const Lines lines = session.run("state");
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[0], "settings qx2DisplayType=0 midiInClockMode=0 qx2Brightness=3 noiseGateLevel=10 midiChannel=16 "
                        "midiOutClockMode=0");
    EXPECT_EQ(lines[1], "effects1 0 1 16 15 81 126 -1 2100");
    EXPECT_EQ(lines[2], "effects2 2103 2008 -1 -1 14 13 60 47");
    EXPECT_EQ(lines[3], "upgrade size=0 complete=no via=none");
    EXPECT_EQ(lines[4].rfind("mappings fnv1a=", 0), 0u);
    EXPECT_EQ(lines[5], "tracks n=4 selected=2");
    EXPECT_EQ(lines[8], "track 3 playing level=12 pan=96 feedback=80 length=144000 position=0");
    EXPECT_EQ(lines.back(), "ok");

    // The mappings hash moves with any one slot.
    const std::string before = lines[4];
    looper.engine->receiveMidi(msg::buttonMappingWrite(383, {1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_NE(session.run("state")[4], before);
    EXPECT_EQ(session.run("mapping 383"), (Lines{"1 2 3 4 5 6 7 8", "ok"}));
}

TEST_F(ControlSessionTest, PressSendsAnEventToListeners)
{
    std::vector<Bytes> events;
    looper.engine->addEventListener([&](const Bytes& e) { events.push_back(e); });
    EXPECT_EQ(session.run("press 1 64"), Lines{"ok"});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], test::hex("F0 00 02 33 18 01 40 00 F7"));
}

TEST_F(ControlSessionTest, DumpConfigHasTheSavedFileShape)
{
    looper.engine->receiveMidi(msg::buttonMappingWrite(12, {1, 2, -1, 0, 0, 0, 0, 0}));
    const Lines lines = session.run("dump-config");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "ok");
    EXPECT_EQ(lines[0].find(' '), std::string::npos) << "compact, one line";
    const auto file = nlohmann::json::parse(lines[0]);
    ASSERT_EQ(file.size(), 3u);
    const auto& buttons = file.at("MIDIButtons");
    ASSERT_EQ(buttons.size(), 384u);
    for (int code = 0; code < 384; ++code) {
        const auto& slots = buttons.at(std::to_string(code));
        ASSERT_EQ(slots.size(), 8u);
        const FunctionSlots expected = looper.engine->mapping(code);
        for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(slots[i].get<std::int64_t>(), expected[i]);
    }
    EXPECT_EQ(buttons.at("12"), nlohmann::json({1, 2, -1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(file.at("QX2Effects1"), nlohmann::json({0, 1, 16, 15, 81, 126, -1, 2100}));
    EXPECT_EQ(file.at("QX2Effects2"), nlohmann::json({2103, 2008, -1, -1, 14, 13, 60, 47}));
}

TEST_F(ControlSessionTest, UpgradeImageSizeHashAndHex)
{
    looper.engine->receiveMidi(test::hex("F0 00 02 33 40 01 F7"));
    EXPECT_EQ(session.run("upgrade-image"),
              (Lines{"size=7 complete=no via=midi fnv1a=af916e03aba2c4fe", "ok"}));
    EXPECT_EQ(session.run("upgrade-image-hex"), (Lines{"F0 00 02 33 40 01 F7", "ok"}));
}

TEST_F(ControlSessionTest, JournalListsReceivedMessagesWithTheirTimes)
{
    looper.engine->receiveMidi(msg::statusRequest());
    looper.advanceSeconds(0.25);
    looper.engine->receiveDatagram(test::text("<query>log</query>"));
    EXPECT_EQ(session.run("journal"), (Lines{"0.000000 rx midi F0 00 02 33 02 F7",
                                             "0.250000 rx udp <query>log</query>", "ok 2"}));
}

}  // namespace
}  // namespace qx::sim
