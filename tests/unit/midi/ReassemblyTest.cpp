#include <gtest/gtest.h>

#include <random>

#include "midi/MidiReassembler.h"
#include "support/Hex.h"

namespace qx {
using test::hex;

class Reassembly : public ::testing::Test {
protected:
    std::vector<Bytes> delivered;
    MidiReassembler reassembler{[this](const Bytes& m) { delivered.push_back(m); }};
    void feed(const std::string& text) { reassembler.feed(hex(text)); }
};

TEST_F(Reassembly, MessageSplitOverPacketsArrivesOnceWhole)
{
    feed("F0 00 02");
    feed("33 17 41");
    EXPECT_TRUE(delivered.empty());
    feed("00 F7");
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0], hex("F0 00 02 33 17 41 00 F7"));
}

TEST_F(Reassembly, NewStartDropsTheUnfinishedMessage)
{
    feed("F0 00 02 33 02 F0 00 02 33 03 F7");
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_EQ(delivered[0], hex("F0 00 02 33 03 F7"));
}

TEST_F(Reassembly, RealTimeByteDropsTheMessageUntilTheNextStart)
{
    feed("F0 00 02 F8 33 03 F7 F0 00 02 33 02 F7");
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0], hex("F7")) << "a lone 0xF7 is handed on; the decoder drops it";
    EXPECT_EQ(delivered[1], hex("F0 00 02 33 02 F7"));
}

TEST_F(Reassembly, SeveralMessagesInOnePacketKeepTheirOrder)
{
    feed("F0 00 02 33 02 F7 F0 00 02 33 03 F7");
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0][4], 0x02);
    EXPECT_EQ(delivered[1][4], 0x03);
}

TEST_F(Reassembly, EmptyPacketsAndStrayDataChangeNothing)
{
    feed("F0 00");
    reassembler.feed({});
    feed("02 33 02 F7");
    feed("12 34 F7");
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[0], hex("F0 00 02 33 02 F7"));
    EXPECT_EQ(delivered[1], hex("F7"));
}

TEST_F(Reassembly, RandomStreamsYieldOnlyWellFormedMessages)
{
    std::mt19937 random(1234);
    for (int round = 0; round < 20000; ++round) {
        Bytes packet(random() % 300);
        for (auto& b : packet) {
            const unsigned pick = random() % 10;
            b = pick == 0 ? 0xF0 : pick == 1 ? 0xF7 : static_cast<std::uint8_t>(random());
        }
        reassembler.feed(packet);
    }
    ASSERT_FALSE(delivered.empty());
    for (const Bytes& m : delivered) {
        ASSERT_EQ(m.back(), 0xF7);
        if (m.size() == 1) continue;
        ASSERT_EQ(m.front(), 0xF0);
        for (std::size_t i = 1; i + 1 < m.size(); ++i) ASSERT_LT(m[i], 0x80);
    }
}

}  // namespace qx
