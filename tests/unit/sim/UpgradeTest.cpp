// The firmware receiver: whole SysEx messages over MIDI; over the network an
// announcement, a start request, then acknowledged slices of 512 bytes.
#include "midi/Messages.h"
#include "SimTestSupport.h"

namespace qx::sim::test {

// Slice `number` (from 1) of a file: 00 03, the number in two bytes, then its 512 bytes or fewer.
static Bytes slice(int number, const Bytes& file)
{
    const auto from = std::min<std::size_t>(file.size(), (number - 1) * 512u), to = std::min(file.size(), from + 512);
    Bytes d(4 + to - from);
    d[1] = 0x03;
    d[2] = static_cast<std::uint8_t>(number >> 8);
    d[3] = static_cast<std::uint8_t>(number & 0xFF);
    std::copy(file.data() + from, file.data() + to, d.begin() + 4);
    return d;
}

TEST(Upgrade, MessagesThatAreNoRequestBecomeTheMidiImageUpToTheLargestFile)
{
    ClockedLooper looper;
    expectExchanges(looper, {
        {Midi, hex("F0 00 02 33 40 01 02 03 F7"), {}},
        {Midi, hex("F0 00 02 33 02 00 F7"), {}},  // a status request with a payload
        {Midi, hex("F0 7E 00 06 01 F7"), {}},     // not the looper's
        {Midi, hex("F0 00 02 33 40 01"), {}},     // not a whole message: dropped
    });
    EXPECT_EQ(looper.receiveMidi(msg::statusRequest()).size(), 1u) << "requests in between are answered, not stored";
    EXPECT_EQ(looper.upgradeImage().bytes, hex("F0 00 02 33 40 01 02 03 F7 F0 00 02 33 02 00 F7 F0 7E 00 06 01 F7"));
    EXPECT_TRUE(looper.upgradeImage().via == "midi" && !looper.upgradeImage().complete) << "the MIDI form has no end";
    const Bytes big = [] { Bytes b(300'000, 0x11); b.front() = 0xF0; b.back() = 0xF7; return b; }();  // one message
    for (int i = 0; i < 4; ++i) looper.receiveMidi(big);
    EXPECT_EQ(looper.upgradeImage().bytes.size(), 1'000'000u);
}

TEST(Upgrade, NetworkSlicesAreAcknowledgedInOrderDuplicatesAgainAndTheRestRefused)
{
    ClockedLooper looper;
    for (const std::string size : {"-1", "12x", "1000001", "", "0"})  // 0: nothing to ask for
        EXPECT_TRUE(looper.receiveDatagram(text("<command>upgrade " + size + "</command>")).empty()) << size;
    Bytes file(300 * 512 - 12);  // the last of 300 slices is short; numbers past 255 use the high byte
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 7 + i / 512);
    const Bytes announcement = text("<command>upgrade " + std::to_string(file.size()) + "</command>");
    expectExchanges(looper, {
        {Udp, announcement, {hex("00 01")}},
        {Udp, slice(0, file), {}},  // there is no slice 0
        {Udp, slice(1, file), {hex("00 04 00 01")}},
        {Udp, slice(1, file), {hex("00 04 00 01")}},
        {Udp, slice(3, file), {}},  // not the slice expected
    });
    for (int n = 2; n < 300; ++n) looper.receiveDatagram(slice(n, file));
    EXPECT_FALSE(looper.upgradeImage().complete);
    expectExchanges(looper, {{Udp, slice(300, file), {hex("00 04 01 2C")}},
                             {Udp, slice(299, file), {hex("00 04 01 2B")}},  // a late duplicate
                             {Udp, slice(301, file), {}}});
    const UpgradeImage image = looper.upgradeImage();
    EXPECT_TRUE(image.complete && image.via == "udp" && image.announced == std::ssize(file));
    EXPECT_EQ(image.bytes, file) << "late duplicates change nothing";
    expectExchanges(looper, {{Udp, text("<command>upgrade 3</command>"), {hex("00 01")}},  // a fresh image
                             {Udp, hex("00 03 00 02 0E"), {}},
                             {Udp, hex("00 03 00 01 0A 0B 0C 0D"), {hex("00 04 00 01")}}});
    EXPECT_EQ(looper.upgradeImage().bytes, hex("0A 0B 0C")) << "nothing past the announced size";
    looper.receiveMidi(hex("F0 05 F7"));
    EXPECT_EQ(looper.upgradeImage().bytes, hex("F0 05 F7")) << "a MIDI firmware message starts a MIDI image";
}

TEST(Upgrade, AcknowledgementsLostDoubledOrTurnedIntoARestartOnce)
{
    ClockedLooper looper;
    looper.setFaults(with(&Faults::dropAcks, 1.0));
    expectExchanges(looper, {{Udp, text("<command>upgrade 1026</command>"), {hex("00 01")}},  // not an acknowledgement
                             {Udp, hex("00 03 00 01 01 02"), {}}});
    looper.setFaults(with(&Faults::dupAcks, 1.0));
    expectExchanges(looper, {{Udp, hex("00 03 00 01 01 02"), {hex("00 04 00 01"), hex("00 04 00 01")}},
                             {Udp, text("<query>id</query>"), {text("<id>QX Looper Sim</id>")}}});
    looper.setFaults(with(&Faults::restartUpgradeAfter, 2));
    const Bytes file(1026, 0x5A);
    expectExchanges(looper, {
        {Udp, slice(2, file), {hex("00 01")}},  // stored, then asked for from the start
        {Udp, slice(2, file), {}},
        {Udp, slice(1, file), {hex("00 04 00 01")}},
        {Udp, slice(2, file), {hex("00 04 00 02")}},
        {Udp, slice(3, file), {hex("00 04 00 03")}},
    });
    EXPECT_TRUE(looper.upgradeImage().complete);
    EXPECT_EQ(looper.upgradeImage().bytes, file);
}

}  // namespace qx::sim::test
