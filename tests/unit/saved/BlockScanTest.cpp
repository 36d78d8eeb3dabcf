// What a pass asks the looper for, and which replies it takes.
#include "SavedTestSupport.h"

namespace qx {
namespace {

using test::hex;
using test::Slots;

const Bytes kEffectsRequest = hex("F0 00 02 33 09 F7");

Bytes blockRequest(std::size_t first)
{
    return {0xF0, 0x00, 0x02, 0x33, 0x0E, static_cast<std::uint8_t>(first >> 7), static_cast<std::uint8_t>(first & 0x7F),
            0x08, 0xF7};
}

using BlockScan = test::SavedConfigTest;

TEST_F(BlockScan, FirstPassAsksForTheBanksThenEveryBlockInOrder)
{
    EXPECT_TRUE(config.runPass());
    const auto sent = test::drain(commands);
    ASSERT_EQ(sent.size(), 49u);
    EXPECT_EQ(sent[0], kEffectsRequest);
    for (std::size_t i = 0; i < 48; ++i) EXPECT_EQ(sent[1 + i], blockRequest(8 * i)) << "block " << i;
    EXPECT_EQ(sent[1 + 17], hex("F0 00 02 33 0E 01 08 08 F7"));  // code 136
    EXPECT_EQ(sent.back(), hex("F0 00 02 33 0E 02 78 08 F7"));
}

TEST_F(BlockScan, LaterPassesAskOnlyForWhatIsMissing)
{
    for (std::size_t code = 0; code < kButtonCodes; ++code) config.btnConfig[code].valid = code != 380;
    config.qx2EffectsConfig.valid = true;
    EXPECT_TRUE(config.runPass());
    EXPECT_EQ(test::drain(commands), std::vector<Bytes>{hex("F0 00 02 33 0E 02 78 08 F7")});

    config.btnConfig[380].valid = true;
    EXPECT_FALSE(config.runPass()) << "nothing missing: the pass is the last";
    EXPECT_EQ(commands.count(), 0u);
}

TEST_F(BlockScan, WaitingEffectsReportMakesTheEffectsRequestUnnecessary)
{
    config.responseQueue.enqueue(test::effectsReport({48, -1, 0, 0, 0, 0, 0, 0}, {1, 2, 3, 4, 5, 6, 7, 2103}));
    EXPECT_TRUE(config.runPass());
    const auto sent = test::drain(commands);
    ASSERT_EQ(sent.size(), 48u);
    EXPECT_EQ(sent.front(), blockRequest(0));
    EXPECT_EQ(config.qx2EffectsConfig.effects1, (FunctionValues{48, -1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(config.qx2EffectsConfig.effects2, (FunctionValues{1, 2, 3, 4, 5, 6, 7, 2103}));
}

// Each bad reply is dropped whole; the one good block around them is taken.
TEST_F(BlockScan, RepliesThatReachPastTheirEndOrTheLastButtonAreIgnored)
{
    const Slots good{1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<Slots> eight(8, Slots{9, 9, 9, 9, 9, 9, 9, 9});
    Bytes cut = test::blockReport(8, eight);
    cut.erase(cut.end() - 3, cut.end() - 1);  // slots of the last button run into the end
    Bytes otherType = test::blockReport(16, eight);
    otherType[4] = 0x17;  // same length, another message
    Bytes shortEffects = test::effectsReport({}, {});
    shortEffects.erase(shortEffects.end() - 2);
    const std::vector<Bytes> replies = {
        test::blockReport(376, std::vector<Slots>(8, good)),  // fits exactly up to 383
        test::blockReport(0, eight, 9),                       // claims nine buttons, holds eight
        cut,
        test::blockReport(380, eight),     // would run to 387
        test::blockReport(0x3FFF, eight),  // 7F 7F reads as -1
        test::blockReport(24, eight, 0),
        hex("F0 00 02 33 0F 00 00"),
        hex("F0"),
        otherType,
        shortEffects,
    };
    for (const Bytes& reply : replies) config.responseQueue.enqueue(reply);
    EXPECT_TRUE(config.runPass());
    for (std::size_t code = 0; code < kButtonCodes; ++code) {
        EXPECT_EQ(config.btnConfig[code].valid, code >= 376) << code;
        EXPECT_EQ(config.btnConfig[code].effects, code >= 376 ? good : Slots{}) << code;
    }
    EXPECT_FALSE(config.qx2EffectsConfig.valid);
    EXPECT_EQ(test::drain(commands).front(), kEffectsRequest);
}

}  // namespace
}  // namespace qx
