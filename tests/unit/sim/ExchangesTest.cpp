// What the looper answers to each request and write of the panel, over MIDI
// and over UDP, byte for byte.
#include "midi/Messages.h"
#include "midi/SysExCodec.h"
#include "SimTestSupport.h"

namespace qx::sim::test {

using namespace std::string_literals;

TEST(Exchanges, EachRequestGetsItsExactBytesEachWriteIsReadBackAndTheRestIsRefused)
{
    ClockedLooper looper(with(&EngineOptions::identity, "QX2 1.2"));
    const Bytes status = hex("F0 00 02 33 02 04 01 04 00 40 7F 00 6E 05 00 00 00 00 00 00 00"
                             " 01 06 20 64 00 00 00 00 00 00 00 00 00 00 03 0C 60 50 00 65 08 00 00 00 00 00 00 00"
                             " 02 03 40 7F 00 5C 0B 00 00 40 3B 01 00 00 F7");
    expectExchanges(looper, {
        {Midi, msg::statusRequest(), {status}},
        {Udp, msg::statusRequest(), {status}},
        {Midi, msg::informationRequest(), {hex("F0 00 02 33 17 51 58 32 20 31 2E 32 00 F7")}},
        {Midi, msg::logRequest(),
         {text("\xF0\x00\x02\x33\x03track 1 playing\ntrack 2 recording\ntrack 3 stopped\ntrack 4 overdubbing\n\xF7"s)}},
        {Midi, msg::logRequest(), {hex("F0 00 02 33 03 F7")}},  // nothing new
        {Udp, text("<query>log</query>"), {}},                   // nothing new, no reply
        {Udp, text("<query>id</query>"), {text("<id>QX Looper Sim</id>")}},
        {Midi, msg::effectsRequest(), {hex("F0 00 02 33 09 08 00 00 00 01 00 10 00 0F 00 51 00 7E 7F 7F 10 34"
                                           " 10 37 0F 58 7F 7F 7F 7F 00 0E 00 0D 00 3C 00 2F F7")}},
        {Midi, msg::effectsWrite({200, -1, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 2103}), {}},
        {Midi, msg::effectsRequest(), {hex("F0 00 02 33 09 08 01 48 7F 7F 00 00 00 00 00 00 00 00 00 00 00 00"
                                           " 00 00 00 00 00 00 00 00 00 00 00 00 00 00 10 37 F7")}},
        {Midi, msg::buttonMappingWrite(292, {7, -1, 16, 1, 1, 1, 1, 1}), {}},
        {Midi, hex("F0 00 02 33 0E 02 24 01 F7"),
         {hex("F0 00 02 33 0F 02 24 01 00 07 7F 7F 00 10 00 01 00 01 00 01 00 01 00 01 F7")}},
        // Button requests reaching past code 383, a write to no such code, and
        // datagrams that are no query, no SysEx message and no upgrade slice.
        {Midi, msg::buttonMappingRequest(380, 8), {}}, {Midi, msg::buttonMappingRequest(384, 1), {}},
        {Midi, msg::buttonMappingRequest(0, 0), {}}, {Midi, msg::buttonMappingWrite(400, {1, 1, 1, 1, 1, 1, 1, 1}), {}},
        {Udp, text("<query>ID</query>"), {}}, {Udp, text("hello"), {}}, {Udp, hex("00 04 00 01"), {}},
        {Udp, hex("00 03 00"), {}}, {Udp, {}, {}},
    });
    // A long log comes in whole lines, each reply within one 256-byte MIDI packet.
    std::string log, collected;
    for (int i = 0; i < 40; ++i) log += "line " + std::to_string(i) + " of the looper's log\n";
    looper.appendLog(log);
    for (int request = 0; request < 10; ++request) {
        const Bytes reply = onlyReply(looper.receiveMidi(msg::logRequest()));
        const std::string part = sysex::textToEnd(reply).value_or("?");
        EXPECT_TRUE(reply.size() <= 256 && (part.empty() || part.back() == '\n')) << "cut inside a line: " << part;
        collected += part;
    }
    EXPECT_EQ(collected, log);
    looper.appendLog("abc");
    expectExchanges(looper, {{Udp, text("<query>log</query>"), {text("<log>abc</log>\0"s)}}});

    const Bytes block = onlyReply(looper.receiveMidi(msg::buttonMappingRequest(288, 8)));
    ASSERT_EQ(block.size(), 137u);
    EXPECT_EQ(Bytes(block.begin() + 5, block.begin() + 8), hex("02 20 08"));
    for (std::size_t k = 0; k < 64; ++k)  // eight slots of each of the eight buttons
        EXPECT_EQ(sysex::pairAt(block, 8 + 2 * k), looper.mapping(static_cast<int>(288 + k / 8))[k % 8]) << k;
    EXPECT_EQ(onlyReply(looper.receiveMidi(msg::buttonMappingRequest(376, 8))).size(), 137u);
}

TEST(Exchanges, SettingsWritesChangeTheWordsOfSlicesZeroAndSeventyTwo)
{
    ClockedLooper looper;
    // Word k of a slice as the panel reads it; -1 for a malformed report.
    auto word = [&](std::uint8_t slice, std::size_t k) -> std::int64_t {
        const Bytes report = onlyReply(looper.receiveMidi(msg::settingsSliceRequest(slice)));
        const Bytes data = report.size() == 159 && report[5] == slice ? sysex::unpackGroups(report, 6) : Bytes{};
        return k + 1 < data.size() ? data[k] + 256 * data[k + 1] : -1;
    };
    const std::tuple<const char*, std::uint8_t, std::size_t, std::int64_t, std::int64_t> cases[] = {
        // write, slice, word, before, after
        {"F0 00 02 33 05 10 F7", 0, 94, 1, 16},   // MIDI channel
        {"F0 00 02 33 06 0C F7", 0, 86, 10, 12},  // noise gate
        {"F0 00 02 33 07 07 F7", 0, 56, 3, 7},    // brightness
        {"F0 00 02 33 0C 01 F7", 0, 52, 0, 1},    // display type
        {"F0 00 02 33 08 03 F7", 0, 54, 0, 1},    // clock in: ignore
        {"F0 00 02 33 08 02 F7", 72, 98, 0, 1},   // clock out: on
        {"F0 00 02 33 08 05 F7", 0, 54, 1, 1},    // no such clock code
        {"F0 00 02 33 08 04 F7", 0, 54, 1, 0},    // clock in: allow
        {"F0 00 02 33 08 01 F7", 72, 98, 1, 0},   // clock out: off
    };
    for (const auto& [write, slice, k, before, after] : cases) {
        EXPECT_EQ(word(slice, k), before) << write;
        EXPECT_TRUE(looper.receiveMidi(hex(write)).empty()) << write << " is not answered";
        EXPECT_EQ(word(slice, k), after) << write;
    }
}

TEST(Exchanges, CompactStatusOverUdpHoldsEveryTracksWordsAtTheirOffsets)
{
    ClockedLooper looper;
    looper.advanceSeconds(2.5);  // track 1 (a 2.0 s loop) has wrapped; track 2 records on
    const Bytes report = onlyReply(looper.receiveDatagram(text("<query>status compact</query>")));
    ASSERT_EQ(report.size(), 232u);
    auto word = [&](std::size_t at) {
        return std::uint32_t{report[at]} << 24 | report[at + 1] << 16 | report[at + 2] << 8 | report[at + 3];
    };
    EXPECT_EQ(std::pair(word(0), word(4)), std::pair(48000u, 4u)) << "the mark and the track count";
    // Arrays of eight words: state, length, position, level (negated), pan, feedback, selection.
    const std::int64_t arrays[7][4] = {{4, 1, 3, 2}, {96000, 120000, 144000, 192000}, {24000, 120000, 0, 144000},
                                       {0, -6, -12, -3}, {64, 32, 96, 64}, {127, 100, 80, 127}, {1, 0, 0, 0}};
    for (std::size_t i = 0; i < 7 * 8; ++i)
        EXPECT_EQ(word(8 + 4 * i), static_cast<std::uint32_t>(i % 8 < 4 ? arrays[i / 8][i % 8] : 0))
            << "array " << i / 8 << ", track " << i % 8 + 1;
}

}  // namespace qx::sim::test
