// What a pass asks the looper for, which replies it takes, and which of them
// count as news that keeps a transfer alive.
#include "SavedTestSupport.h"

namespace qx {
namespace {

using test::hex;
using test::Slots;
using BlockScan = test::SavedConfigTest;

TEST_F(BlockScan, PassesAskForTheBanksThenEachBlockStillMissingInOrder)
{
    EXPECT_TRUE(config.runPass());
    const auto sent = test::drain(commands);
    ASSERT_EQ(sent.size(), 49u);
    EXPECT_EQ(sent[0], hex("F0 00 02 33 09 F7"));
    for (std::size_t i = 0; i < 48; ++i)
        EXPECT_EQ(sent[1 + i], (Bytes{0xF0, 0x00, 0x02, 0x33, 0x0E, static_cast<std::uint8_t>(i >> 4),
                                      static_cast<std::uint8_t>(i * 8 & 0x7F), 0x08, 0xF7})) << "block " << i;
    EXPECT_EQ(sent[1 + 17], hex("F0 00 02 33 0E 01 08 08 F7"));  // code 136

    for (std::size_t code = 0; code < kButtonCodes; ++code) config.btnConfig[code].valid = code != 380;
    config.qx2EffectsConfig.valid = true;
    EXPECT_TRUE(config.runPass());
    EXPECT_EQ(test::drain(commands), std::vector<Bytes>{hex("F0 00 02 33 0E 02 78 08 F7")});
    config.btnConfig[380].valid = true;
    EXPECT_FALSE(config.runPass()) << "nothing missing: the pass is the last";
    EXPECT_EQ(commands.count(), 0u);
}

// Each bad reply is dropped whole; the one good block among them is taken.
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
    for (const Bytes& reply : {
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
         })
        config.responseQueue.enqueue(reply);
    EXPECT_TRUE(config.runPass());
    for (std::size_t code = 0; code < kButtonCodes; ++code) {
        EXPECT_EQ(config.btnConfig[code].valid, code >= 376) << code;
        EXPECT_EQ(config.btnConfig[code].effects, code >= 376 ? good : Slots{}) << code;
    }
    EXPECT_FALSE(config.qx2EffectsConfig.valid);
}

TEST_F(BlockScan, OnlyNewRepliesKeepATransferAlive)
{
    const Bytes block = test::blockReport(0, std::vector<Slots>(8, Slots{}));
    config.resetConfig();
    config.runPass();
    clockMs += 9900;
    EXPECT_FALSE(config.looperSilent());
    for (const auto& [reply, waited, silent] : {std::tuple{block, 9900, false}, std::tuple{block, 200, true},
                                                std::tuple{test::effectsReport({}, {}), 0, false}}) {
        config.responseQueue.enqueue(reply);
        config.runPass();
        clockMs += waited;
        EXPECT_EQ(config.looperSilent(), silent) << "a repeated block is no news";
    }
}

}  // namespace
}  // namespace qx
