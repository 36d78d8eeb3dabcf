// Whole SysEx messages however the MIDI input is split.
#include <gtest/gtest.h>

#include "sim/SysExAssembler.h"
#include "SimTestSupport.h"

namespace qx::sim {
namespace {

using test::hex;

TEST(SysExAssembler, MessagesSplitAndSharedAcrossPackets)
{
    SysExAssembler assembler;
    EXPECT_TRUE(assembler.feed(hex("F0 00 02")).empty());
    EXPECT_EQ(assembler.feed(hex("33 02 F7 F0 00 02 33 03 F7 F0")),
              (std::vector<Bytes>{hex("F0 00 02 33 02 F7"), hex("F0 00 02 33 03 F7")}));
    EXPECT_EQ(assembler.feed(hex("00 02 33 16 F7")), std::vector<Bytes>{hex("F0 00 02 33 16 F7")});
}

TEST(SysExAssembler, RealTimeBytesAreSkippedOtherStatusBytesAbandon)
{
    SysExAssembler assembler;
    EXPECT_EQ(assembler.feed(hex("F0 00 F8 02 33 FE 02 F7")), std::vector<Bytes>{hex("F0 00 02 33 02 F7")});
    EXPECT_TRUE(assembler.feed(hex("F0 00 02 90 40 7F 33 02 F7")).empty());
    EXPECT_TRUE(assembler.feed(hex("F7 00 01")).empty()) << "an end without a start is nothing";
}

}  // namespace
}  // namespace qx::sim
