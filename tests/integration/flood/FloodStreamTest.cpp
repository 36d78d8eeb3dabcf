// The simulated looper's floods packet by packet, as the flood tests rely on
// them: MIDI packets of whole messages, datagrams of one message each, and
// pieces of the huge message that add up to exactly the bytes asked for.
#include <gtest/gtest.h>

#include "sim/LooperEngine.h"
#include "support/Hex.h"

namespace qx::sim::test {
namespace {

Bytes joined(const std::vector<Bytes>& packets)
{
    Bytes all;
    for (const Bytes& p : packets) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct Flooded {
    std::vector<Bytes> midi, udp;
};

Flooded flood(FloodKind kind, std::uint64_t count, bool silent = false)
{
    LooperEngine looper({.clock = std::make_shared<ManualSimClock>()});
    Flooded out;
    looper.addEventListener([&](const Bytes& p) { out.midi.push_back(p); });
    looper.addEventListener([&](const Bytes& p) { out.udp.push_back(p); }, Transport::Udp);
    looper.setFaults({.silent = silent, .restartUpgradeAfter = {}});
    const LooperEngine::FloodSent sent = looper.flood(kind, count);
    EXPECT_EQ(sent.midiBytes, joined(out.midi).size());
    EXPECT_EQ(sent.udpBytes, joined(out.udp).size());
    EXPECT_EQ(sent.udpDatagrams, out.udp.size());
    return out;
}

}  // namespace

TEST(FloodStream, ReportsTravelWholeInMidiPacketsAndOnePerDatagram)
{
    const Flooded status = flood(FloodKind::Status, 100);
    ASSERT_EQ(status.midi.size(), 2u);  // 64 reports of 64 bytes fill the first packet
    EXPECT_EQ(status.midi[0].size(), FloodStream::kMidiPacket);
    EXPECT_EQ(joined(status.midi).size(), 6400u);
    for (const Bytes& p : status.midi) EXPECT_TRUE(p.front() == 0xF0 && p.back() == 0xF7);
    ASSERT_EQ(status.udp.size(), 100u);
    EXPECT_NE(status.udp[0], status.udp[1]) << "each report moves the loops on";
    for (const Bytes& d : status.udp) EXPECT_EQ(d.size(), 232u);

    // The log text, however it is cut, is the flood's text in order.
    const Flooded log = flood(FloodKind::Log, 3000);
    std::string midiText, udpText;
    for (const Bytes& p : log.midi) {
        EXPECT_LE(p.size(), FloodStream::kMidiPacket);
        for (std::size_t at = 0; at < p.size(); at += 256) {
            const std::size_t end = std::find(p.begin() + at, p.end(), 0xF7) - p.begin();
            ASSERT_EQ(qx::test::toHex(Bytes(p.begin() + at, p.begin() + at + 5)), "F0 00 02 33 03");
            midiText.append(p.begin() + at + 5, p.begin() + end);
        }
    }
    for (const Bytes& d : log.udp) {
        EXPECT_LE(d.size(), FloodStream::kDatagram);
        const std::string text(d.begin(), d.end());
        ASSERT_TRUE(text.starts_with("<log>") && text.ends_with(std::string("</log>") + '\0'));
        udpText += text.substr(5, text.size() - 12);
    }
    EXPECT_EQ(midiText, floodText(0, 3000));
    EXPECT_EQ(udpText, midiText);
    EXPECT_TRUE(midiText.starts_with(floodLine(0) + "\n" + floodLine(1) + "\n"));

    EXPECT_EQ(flood(FloodKind::Effects, 10, true).midi.size(), 0u) << "a silent looper floods nothing";
}

TEST(FloodStream, TheHugeMessageIsExactlyCountBytesWithOrWithoutItsEnd)
{
    for (const FloodKind kind : {FloodKind::SysEx, FloodKind::SysExNoEnd}) {
        const Flooded huge = flood(kind, 10'000);
        Bytes expected = qx::test::hex("F0 00 02 33 03");
        const std::string text = floodText(0, kind == FloodKind::SysEx ? 9994 : 9995);
        expected.insert(expected.end(), text.begin(), text.end());
        if (kind == FloodKind::SysEx) expected.push_back(0xF7);
        EXPECT_EQ(joined(huge.midi), expected);
        EXPECT_EQ(joined(huge.udp), expected);
        EXPECT_EQ(huge.midi.size(), 3u);
        EXPECT_EQ(huge.udp.size(), 8u);  // 1400 bytes each, the last 200
    }
}

}  // namespace qx::sim::test
