// The engine's answers to every request and write of the panel, over MIDI.
#include <gtest/gtest.h>

#include "midi/Messages.h"
#include "midi/SysExCodec.h"
#include "SimTestSupport.h"

namespace qx::sim {
namespace {

using test::ClockedLooper;
using test::hex;
using test::onlyReply;

// Word k of a settings slice report as the panel reads it.
std::int64_t sliceWord(const Bytes& report, std::size_t k)
{
    const Bytes data = sysex::unpackGroups(report, 6);
    return k + 1 < data.size() ? data[k] + 256 * data[k + 1] : 0;
}

TEST(EngineMidi, StatusReportOfTheDemoSceneFollowsTheClock)
{
    ClockedLooper looper;
    EXPECT_EQ(onlyReply(looper.engine->receiveMidi(msg::statusRequest())),
              hex("F0 00 02 33 02 04 01"
                  " 04 00 40 7F 00 6E 05 00 00 00 00 00 00 00"
                  " 01 06 20 64 00 00 00 00 00 00 00 00 00 00"
                  " 03 0C 60 50 00 65 08 00 00 00 00 00 00 00"
                  " 02 03 40 7F 00 5C 0B 00 00 40 3B 01 00 00"
                  " F7"));
    looper.advanceSeconds(0.5);  // 24,000 samples
    EXPECT_EQ(onlyReply(looper.engine->receiveMidi(msg::statusRequest())),
              hex("F0 00 02 33 02 04 01"
                  " 04 00 40 7F 00 6E 05 00 00 40 3B 01 00 00"
                  " 01 06 20 64 40 3B 01 00 00 40 3B 01 00 00"
                  " 03 0C 60 50 00 65 08 00 00 00 00 00 00 00"
                  " 02 03 40 7F 00 5C 0B 00 00 00 77 02 00 00"
                  " F7"));
}

TEST(EngineMidi, LogRequestHandsOutNewLinesOnceThenAnEmptyText)
{
    ClockedLooper looper;
    const Bytes first = onlyReply(looper.engine->receiveMidi(msg::logRequest()));
    EXPECT_EQ(sysex::textToEnd(first), "track 1 playing\ntrack 2 recording\ntrack 3 stopped\ntrack 4 overdubbing\n");
    EXPECT_EQ(onlyReply(looper.engine->receiveMidi(msg::logRequest())), hex("F0 00 02 33 03 F7"));
    looper.engine->setTrackState(3, TrackState::Playing);
    EXPECT_EQ(sysex::textToEnd(onlyReply(looper.engine->receiveMidi(msg::logRequest()))), "track 3 playing\n");
}

TEST(EngineMidi, LongLogIsSplitAtLineEndsAcrossRequestsWithinOnePacket)
{
    ClockedLooper looper(test::emptyStage());
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        const std::string line = "line " + std::to_string(i) + " of the looper's log\n";
        looper.engine->appendLog(line);
        expected += line;
    }
    std::string collected;
    for (int request = 0; request < 10; ++request) {
        const Bytes reply = onlyReply(looper.engine->receiveMidi(msg::logRequest()));
        ASSERT_LE(reply.size(), 256u);
        const std::string text = *sysex::textToEnd(reply);
        if (!text.empty()) {
            EXPECT_EQ(text.back(), '\n');
        }
        collected += text;
    }
    EXPECT_EQ(collected, expected);
}

TEST(EngineMidi, InformationRequestAnswersTheIdentity)
{
    EngineOptions options;
    options.identity = "QX2 1.2";
    ClockedLooper looper(options);
    EXPECT_EQ(onlyReply(looper.engine->receiveMidi(msg::informationRequest())),
              hex("F0 00 02 33 17 51 58 32 20 31 2E 32 00 F7"));
}

TEST(EngineMidi, SettingsSlicesHoldTheDefaultsAtTheirWords)
{
    ClockedLooper looper;
    const Bytes slice0 = onlyReply(looper.engine->receiveMidi(msg::settingsSliceRequest(0)));
    ASSERT_EQ(slice0.size(), 159u);
    EXPECT_EQ(slice0[5], 0);
    EXPECT_EQ(sliceWord(slice0, 52), 0);
    EXPECT_EQ(sliceWord(slice0, 54), 0);
    EXPECT_EQ(sliceWord(slice0, 56), 3);
    EXPECT_EQ(sliceWord(slice0, 86), 10);
    EXPECT_EQ(sliceWord(slice0, 94), 1);
    // A reader one byte off gets filler, not the setting.
    EXPECT_NE(sliceWord(slice0, 55), 3);
    EXPECT_NE(sliceWord(slice0, 57), 3);
    const Bytes slice72 = onlyReply(looper.engine->receiveMidi(msg::settingsSliceRequest(72)));
    ASSERT_EQ(slice72.size(), 159u);
    EXPECT_EQ(slice72[5], 72);
    EXPECT_EQ(sliceWord(slice72, 98), 0);
}

TEST(EngineMidi, SettingsWritesChangeTheMemoryTheSlicesReport)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    for (const char* write : {"F0 00 02 33 05 10 F7", "F0 00 02 33 06 0C F7", "F0 00 02 33 07 07 F7",
                              "F0 00 02 33 0C 01 F7", "F0 00 02 33 08 03 F7", "F0 00 02 33 08 02 F7"})
        EXPECT_TRUE(e.receiveMidi(hex(write)).empty()) << write << " is not answered";
    const Bytes slice0 = onlyReply(e.receiveMidi(msg::settingsSliceRequest(0)));
    EXPECT_EQ(sliceWord(slice0, 94), 16);
    EXPECT_EQ(sliceWord(slice0, 86), 12);
    EXPECT_EQ(sliceWord(slice0, 56), 7);
    EXPECT_EQ(sliceWord(slice0, 52), 1);
    EXPECT_EQ(sliceWord(slice0, 54), 1);  // clock in: ignore
    EXPECT_EQ(sliceWord(onlyReply(e.receiveMidi(msg::settingsSliceRequest(72))), 98), 1);  // clock out: on

    e.receiveMidi(hex("F0 00 02 33 08 04 F7"));
    e.receiveMidi(hex("F0 00 02 33 08 01 F7"));
    e.receiveMidi(hex("F0 00 02 33 08 05 F7"));  // no such code: nothing changes
    const MiscSettings s = e.settings();
    EXPECT_EQ(s.midiInClockMode, 0);
    EXPECT_EQ(s.midiOutClockMode, 0);
    EXPECT_EQ(s.midiChannel, 16);
}

TEST(EngineMidi, ButtonMappingWriteIsReadBackInOneAndEightButtonReports)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    EXPECT_TRUE(e.receiveMidi(msg::buttonMappingWrite(292, {7, -1, 16, 1, 1, 1, 1, 1})).empty());
    EXPECT_EQ(onlyReply(e.receiveMidi(hex("F0 00 02 33 0E 02 24 01 F7"))),
              hex("F0 00 02 33 0F 02 24 01 00 07 7F 7F 00 10 00 01 00 01 00 01 00 01 00 01 F7"));
    const Bytes block = onlyReply(e.receiveMidi(msg::buttonMappingRequest(288, 8)));
    ASSERT_EQ(block.size(), 137u);
    EXPECT_EQ(Bytes(block.begin() + 5, block.begin() + 8), hex("02 20 08"));
    EXPECT_EQ(Bytes(block.begin() + 8 + 16 * 4, block.begin() + 8 + 16 * 5),
              hex("00 07 7F 7F 00 10 00 01 00 01 00 01 00 01 00 01"));
    for (std::size_t k = 0; k < 8; ++k) {
        if (k == 4) continue;
        const FunctionSlots stored = e.mapping(static_cast<int>(288 + k));
        for (std::size_t i = 0; i < 8; ++i)
            EXPECT_EQ(*sysex::pairAt(block, 8 + 16 * k + 2 * i), stored[i]) << "button " << 288 + k << " slot " << i;
    }
    EXPECT_EQ(onlyReply(e.receiveMidi(msg::buttonMappingRequest(376, 8))).size(), 137u);
}

TEST(EngineMidi, ButtonRequestsOutsideTheCodesAreNotAnswered)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    EXPECT_TRUE(e.receiveMidi(msg::buttonMappingRequest(380, 8)).empty());
    EXPECT_TRUE(e.receiveMidi(msg::buttonMappingRequest(384, 1)).empty());
    EXPECT_TRUE(e.receiveMidi(msg::buttonMappingRequest(0, 0)).empty());
    EXPECT_TRUE(e.receiveMidi(msg::buttonMappingWrite(400, {1, 1, 1, 1, 1, 1, 1, 1})).empty());
    EXPECT_EQ(e.upgradeImage().via, "none") << "well-formed requests are not firmware";
}

TEST(EngineMidi, InitialMappingsAreVariedAndUseRealFunctionNumbers)
{
    ClockedLooper looper;
    int empty = 0, several = 0;
    for (int code = 0; code < kButtonCodes; ++code) {
        const FunctionSlots slots = looper.engine->mapping(code);
        int used = 0;
        for (std::int64_t v : slots) {
            if (v == -1) continue;
            ++used;
            EXPECT_TRUE((v >= 0 && v <= 131 && v != 80 && v != 127 && v != 128) || (v >= 2000 && v <= 2103))
                << "code " << code << " holds " << v;
        }
        empty += used == 0;
        several += used >= 2;
    }
    EXPECT_GT(empty, 10);
    EXPECT_GT(several, 10);
}

TEST(EngineMidi, EffectsWriteStoresBothBanksForTheNextReport)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    EXPECT_EQ(onlyReply(e.receiveMidi(msg::effectsRequest())).size(), 39u);
    EXPECT_TRUE(e.receiveMidi(msg::effectsWrite({200, -1, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 2103})).empty());
    EXPECT_EQ(onlyReply(e.receiveMidi(msg::effectsRequest())),
              hex("F0 00 02 33 09 08"
                  " 01 48 7F 7F 00 00 00 00 00 00 00 00 00 00 00 00"
                  " 00 00 00 00 00 00 00 00 00 00 00 00 00 00 10 37"
                  " F7"));
}

TEST(EngineMidi, MessagesThatAreNoRequestBecomeTheUpgradeImageInOrder)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    const Bytes first = hex("F0 00 02 33 40 01 02 03 F7");
    const Bytes wrongLength = hex("F0 00 02 33 02 00 F7");  // a status request with a payload
    const Bytes foreign = hex("F0 7E 00 06 01 F7");
    for (const Bytes& m : {first, wrongLength, foreign}) EXPECT_TRUE(e.receiveMidi(m).empty());
    e.receiveMidi(hex("F0 00 02 33 40 01"));  // not a whole message: dropped
    e.receiveMidi(msg::statusRequest());      // requests in between are answered, not stored
    const UpgradeImage image = e.upgradeImage();
    Bytes expected = first;
    expected.insert(expected.end(), wrongLength.begin(), wrongLength.end());
    expected.insert(expected.end(), foreign.begin(), foreign.end());
    EXPECT_EQ(image.bytes, expected);
    EXPECT_EQ(image.via, "midi");
    EXPECT_FALSE(image.complete);
}

TEST(EngineMidi, JournalRecordsEveryMessageWithTimeAndTransport)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    std::vector<std::string> streamed;
    e.setJournalSink([&](const std::string& line) { streamed.push_back(line); });
    e.receiveMidi(msg::statusRequest());
    looper.advanceSeconds(1.5);
    e.receiveDatagram(test::text("<query>id</query>"));
    e.receiveDatagram(hex("00 03 00 01 AA"));
    const auto journal = e.journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[0].time, Nanos(0));
    EXPECT_EQ(journal[0].transport, Transport::Midi);
    EXPECT_EQ(journal[0].bytes, msg::statusRequest());
    EXPECT_EQ(journal[1].time, Nanos(1'500'000'000));
    EXPECT_EQ(journal[1].transport, Transport::Udp);
    EXPECT_EQ(streamed, (std::vector<std::string>{"rx midi F0 00 02 33 02 F7", "rx udp <query>id</query>",
                                                  "rx udp 00 03 00 01 AA"}));
}

}  // namespace
}  // namespace qx::sim
