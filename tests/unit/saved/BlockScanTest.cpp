// What a pass asks the looper for, and which replies it takes.
#include <gtest/gtest.h>

#include "SavedTestSupport.h"
#include "common/MainQueue.h"
#include "config/SaveableConfig.h"

namespace qx {
namespace {

using test::blockReport;
using test::effectsReport;
using test::Slots;

const Bytes kEffectsRequest{0xF0, 0x00, 0x02, 0x33, 0x09, 0xF7};

Bytes blockRequest(std::uint8_t high, std::uint8_t low)
{
    return {0xF0, 0x00, 0x02, 0x33, 0x0E, high, low, 0x08, 0xF7};
}

std::vector<Bytes> drain(QXCommandQueue& queue)
{
    std::vector<Bytes> out;
    for (Bytes m = queue.dequeue(); !m.empty(); m = queue.dequeue()) out.push_back(m);
    return out;
}

class BlockScan : public ::testing::Test {
protected:
    void markAllValidExcept(std::size_t missing)
    {
        for (std::size_t code = 0; code < kButtonCodes; ++code) config.btnConfig[code].valid = code != missing;
        config.qx2EffectsConfig.valid = true;
    }

    QXCommandQueue commands;
    ManualMainQueue ui;
    QXSaveableConfig config{commands, ui};
};

TEST_F(BlockScan, FirstPassAsksForTheBanksThenEveryBlockInOrder)
{
    EXPECT_TRUE(config.runPass());
    const auto sent = drain(commands);
    ASSERT_EQ(sent.size(), 49u);
    EXPECT_EQ(sent[0], kEffectsRequest);
    for (std::size_t i = 0; i < 48; ++i) {
        const std::size_t code = 8 * i;
        EXPECT_EQ(sent[1 + i], blockRequest(static_cast<std::uint8_t>(code >> 7), static_cast<std::uint8_t>(code & 0x7F)))
            << "block " << i;
    }
    EXPECT_EQ(sent[1 + 17], blockRequest(0x01, 0x08));  // code 136
    EXPECT_EQ(sent.back(), blockRequest(0x02, 0x78));   // code 376
}

TEST_F(BlockScan, OneMissingButtonAsksForItsBlockOnly)
{
    markAllValidExcept(380);
    EXPECT_TRUE(config.runPass());
    EXPECT_EQ(drain(commands), std::vector<Bytes>{blockRequest(0x02, 0x78)});

    markAllValidExcept(13);
    EXPECT_TRUE(config.runPass());
    EXPECT_EQ(drain(commands), std::vector<Bytes>{blockRequest(0x00, 0x08)});
}

TEST_F(BlockScan, NothingMissingAsksForNothing)
{
    markAllValidExcept(kButtonCodes);
    EXPECT_FALSE(config.runPass());
    EXPECT_EQ(commands.count(), 0u);
}

TEST_F(BlockScan, WaitingEffectsReportMakesTheEffectsRequestUnnecessary)
{
    config.responseQueue.enqueue(effectsReport({48, -1, 0, 0, 0, 0, 0, 0}, {1, 2, 3, 4, 5, 6, 7, 2103}));
    EXPECT_TRUE(config.runPass());
    const auto sent = drain(commands);
    ASSERT_EQ(sent.size(), 48u);
    EXPECT_EQ(sent.front(), blockRequest(0x00, 0x00));
    EXPECT_TRUE(config.qx2EffectsConfig.valid);
    EXPECT_EQ(config.qx2EffectsConfig.effects1, (FunctionValues{48, -1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(config.qx2EffectsConfig.effects2, (FunctionValues{1, 2, 3, 4, 5, 6, 7, 2103}));
}

TEST_F(BlockScan, TransferStartDropsMappingReportsLeftFromBeforeButKeepsTheBanks)
{
    config.responseQueue.enqueue(blockReport(376, std::vector<Slots>(8, Slots{9, 9, 9, 9, 9, 9, 9, 9})));
    config.responseQueue.enqueue(effectsReport({48, -1, 0, 0, 0, 0, 0, 0}, {}));
    config.beginTransfer();
    EXPECT_EQ(config.responseQueue.count(), 0u);
    EXPECT_FALSE(config.btnConfig[380].valid);
    EXPECT_EQ(config.btnConfig[380].effects, Slots{});
    EXPECT_TRUE(config.qx2EffectsConfig.valid);
    EXPECT_EQ(config.qx2EffectsConfig.effects1, (FunctionValues{48, -1, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(config.runPass());
    const auto sent = drain(commands);
    ASSERT_EQ(sent.size(), 48u);
    EXPECT_EQ(sent.back(), blockRequest(0x02, 0x78));
}

TEST_F(BlockScan, RepliesFillTheirButtonsAndLaterPassesAskOnlyForTheRest)
{
    for (std::size_t b = 0; b < 48; ++b) {
        if (b == 5 || b == 47) continue;
        std::vector<Slots> block;
        for (std::size_t k = 0; k < 8; ++k) block.push_back(test::patternFor(8 * b + k));
        config.responseQueue.enqueue(blockReport(static_cast<std::int64_t>(8 * b), block));
    }
    EXPECT_TRUE(config.runPass());
    const auto sent = drain(commands);
    EXPECT_EQ(sent, (std::vector<Bytes>{kEffectsRequest, blockRequest(0x00, 0x28), blockRequest(0x02, 0x78)}));
    EXPECT_EQ(config.btnConfig[137].effects, test::patternFor(137));
    EXPECT_TRUE(config.btnConfig[137].valid);
    EXPECT_FALSE(config.btnConfig[40].valid);
    EXPECT_EQ(config.responseQueue.count(), 0u);
}

TEST_F(BlockScan, ResetForgetsWhatAnEarlierTransferRead)
{
    config.responseQueue.enqueue(blockReport(0, std::vector<Slots>(8, Slots{1, 1, 1, 1, 1, 1, 1, 1})));
    config.responseQueue.enqueue(effectsReport({}, {}));
    config.runPass();
    config.resetConfig();
    EXPECT_FALSE(config.btnConfig[0].valid);
    EXPECT_EQ(config.btnConfig[0].effects, Slots{});
    EXPECT_FALSE(config.qx2EffectsConfig.valid);
    EXPECT_TRUE(config.qx2EffectsConfig.effects1.empty());
}

class MalformedReplies : public BlockScan {
protected:
    bool anyValid() const
    {
        for (const auto& button : config.btnConfig)
            if (button.valid) return true;
        return false;
    }
    std::vector<Slots> eight = std::vector<Slots>(8, Slots{9, 9, 9, 9, 9, 9, 9, 9});
};

TEST_F(MalformedReplies, BlockReachingPastItsOwnEndIsIgnoredWhole)
{
    config.responseQueue.enqueue(blockReport(0, eight, 9));  // 137 bytes claiming nine buttons
    Bytes cut = blockReport(8, eight);
    cut.erase(cut.end() - 3, cut.end() - 1);  // slots of the last button run into the end
    config.responseQueue.enqueue(cut);
    config.runPass();
    EXPECT_FALSE(anyValid());
    EXPECT_EQ(config.btnConfig[0].effects, Slots{});
}

TEST_F(MalformedReplies, BlockReachingPastTheLastButtonIsIgnoredWhole)
{
    config.responseQueue.enqueue(blockReport(380, eight));
    config.responseQueue.enqueue(blockReport(0x3FFF, eight));  // 0x7F 0x7F reads as -1
    config.runPass();
    EXPECT_FALSE(anyValid());
}

TEST_F(MalformedReplies, LastBlockThatFitsExactlyIsTaken)
{
    config.responseQueue.enqueue(blockReport(376, eight));
    config.runPass();
    EXPECT_TRUE(config.btnConfig[383].valid);
    EXPECT_TRUE(config.btnConfig[376].valid);
    EXPECT_FALSE(config.btnConfig[375].valid);
}

TEST_F(MalformedReplies, CountZeroShortMessagesAndOtherTypesAreIgnored)
{
    config.responseQueue.enqueue(blockReport(0, eight, 0));
    config.responseQueue.enqueue({0xF0, 0x00, 0x02, 0x33, 0x0F, 0x00, 0x00});
    config.responseQueue.enqueue({0xF0});
    Bytes otherType = blockReport(8, eight);
    otherType[4] = 0x17;  // same length, another message
    config.responseQueue.enqueue(otherType);
    Bytes shortEffects = effectsReport({}, {});
    shortEffects.erase(shortEffects.end() - 2);  // 38 bytes
    config.responseQueue.enqueue(shortEffects);
    EXPECT_TRUE(config.runPass());
    EXPECT_FALSE(anyValid());
    EXPECT_FALSE(config.qx2EffectsConfig.valid);
    EXPECT_EQ(drain(commands).front(), kEffectsRequest);
}

TEST_F(MalformedReplies, LaterEffectsReportOverwritesAnEarlierOne)
{
    config.responseQueue.enqueue(effectsReport({1, 1, 1, 1, 1, 1, 1, 1}, {2, 2, 2, 2, 2, 2, 2, 2}));
    config.responseQueue.enqueue(effectsReport({5, -1, 0, 0, 0, 0, 0, 0}, {3, 3, 3, 3, 3, 3, 3, 3}));
    config.runPass();
    EXPECT_EQ(config.qx2EffectsConfig.effects1, (FunctionValues{5, -1, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(config.qx2EffectsConfig.effects2, (FunctionValues{3, 3, 3, 3, 3, 3, 3, 3}));
}

}  // namespace
}  // namespace qx
