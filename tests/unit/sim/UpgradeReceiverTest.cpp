// The firmware receiver on its own: both forms and the switch between them.
#include <gtest/gtest.h>

#include "sim/UpgradeReceiver.h"
#include "SimTestSupport.h"

namespace qx::sim {
namespace {

using test::hex;
using Verdict = UpgradeReceiver::SliceVerdict;

TEST(UpgradeReceiver, MidiMessagesAppendWholeUntilTheFileLimit)
{
    UpgradeReceiver receiver;
    EXPECT_EQ(receiver.image().via, "none");
    receiver.appendMessage(hex("F0 01 F7"));
    receiver.appendMessage(hex("F0 02 03 F7"));
    EXPECT_EQ(receiver.image().bytes, hex("F0 01 F7 F0 02 03 F7"));
    const Bytes big(300'000, 0x11);
    for (int i = 0; i < 4; ++i) receiver.appendMessage(big);
    EXPECT_EQ(receiver.image().bytes.size(), 1'000'000u);
}

TEST(UpgradeReceiver, ANetworkAnnouncementReplacesAMidiImageAndBack)
{
    UpgradeReceiver receiver;
    receiver.appendMessage(hex("F0 01 F7"));
    ASSERT_TRUE(receiver.announce(3));
    EXPECT_TRUE(receiver.image().bytes.empty());
    EXPECT_EQ(receiver.acceptSlice(1, hex("0A 0B 0C 0D")), Verdict::Stored);
    EXPECT_EQ(receiver.image().bytes, hex("0A 0B 0C")) << "nothing past the announced size";
    EXPECT_TRUE(receiver.image().complete);
    receiver.appendMessage(hex("F0 05 F7"));
    EXPECT_EQ(receiver.image().bytes, hex("F0 05 F7"));
    EXPECT_EQ(receiver.image().via, "midi");
    EXPECT_EQ(receiver.acceptSlice(2, hex("01")), Verdict::Unexpected);
}

TEST(UpgradeReceiver, RestartExpectsTheFirstSliceAgain)
{
    UpgradeReceiver receiver;
    receiver.announce(1024);
    const Bytes a(512, 0xAA), b(512, 0xBB);
    EXPECT_EQ(receiver.acceptSlice(1, a), Verdict::Stored);
    receiver.restart();
    EXPECT_EQ(receiver.acceptSlice(2, b), Verdict::Unexpected);
    EXPECT_EQ(receiver.acceptSlice(1, a), Verdict::Stored);
    EXPECT_EQ(receiver.acceptSlice(2, b), Verdict::Stored);
    EXPECT_EQ(receiver.acceptSlice(1, a), Verdict::Duplicate);
    EXPECT_EQ(receiver.acceptSlice(3, a), Verdict::Unexpected) << "no third slice in 1024 bytes";
    EXPECT_TRUE(receiver.image().complete);
    EXPECT_EQ(receiver.acceptSlice(0, a), Verdict::Unexpected);
}

}  // namespace
}  // namespace qx::sim
