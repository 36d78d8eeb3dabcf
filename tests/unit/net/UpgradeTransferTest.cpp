// The upgrade's slice protocol, driven datagram by datagram. Slice contents,
// progress, another host's datagrams and a restart are left to the net_upgrade
// fuzz target and the net_netns upgrade tests.
#include <gtest/gtest.h>

#include "net/NetUpgradeTransfer.h"
#include "net/SocketAddress.h"

namespace qx {
namespace {

const sockaddr_in kLooper = makeSockaddr({10, 77, 0, 2}, 5667);
const sockaddr_in kLooperTransferPort = makeSockaddr({10, 77, 0, 2}, 40001);
const sockaddr_in kStranger = makeSockaddr({10, 77, 0, 9}, 40001);
const Bytes kStartRequest{0x00, 0x01};

Bytes ack(int slice) { return {0x00, 0x04, static_cast<std::uint8_t>(slice >> 8), static_cast<std::uint8_t>(slice)}; }

TEST(NetUpgradeTransfer, NumberedSlicesCarryTheWholeFileWithoutAnEmptyLastOne)
{
    Bytes file(1024);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    NetUpgradeTransfer transfer(file, kLooper);
    Bytes reassembled;
    int sent = 0;
    for (auto r = transfer.onDatagram(kStartRequest, kLooperTransferPort); r.sendSlice;) {
        ASSERT_EQ(*r.sendSlice, ++sent);
        EXPECT_TRUE(sameHostAndPort(r.to, kLooperTransferPort));  // answered where the request came from
        const Bytes slice = transfer.sliceDatagram(sent);
        reassembled.insert(reassembled.end(), slice.begin() + 4, slice.end());
        r = transfer.onDatagram(ack(sent), kLooperTransferPort);
    }
    EXPECT_EQ(reassembled, file);
    EXPECT_TRUE(sent == 2 && transfer.sliceCount() == 2 && transfer.complete()) << sent;
}

TEST(NetUpgradeTransfer, OnlyTheAskingPortMovesItOnAndFiveSilencesInARowEndIt)
{
    NetUpgradeTransfer transfer(Bytes(512 * 10), kLooper);
    EXPECT_EQ(transfer.onSilence().sendSlice, std::nullopt);  // nothing to resend before the start request
    EXPECT_EQ(transfer.onDatagram(kStartRequest, kStranger).sendSlice, std::nullopt);
    EXPECT_EQ(transfer.onDatagram(Bytes{0x00}, kLooper).sendSlice, std::nullopt);
    EXPECT_EQ(transfer.onDatagram(ack(0), kLooper).sendSlice, std::nullopt);
    EXPECT_EQ(transfer.slice(), 0);

    transfer.onDatagram(kStartRequest, kLooperTransferPort);
    EXPECT_EQ(transfer.onDatagram(ack(2), kLooper).sendSlice, std::nullopt) << "slice 2 has not gone out yet";
    for (int n = 1; n <= 5; ++n) transfer.onDatagram(ack(n), kLooperTransferPort);
    const auto resend = transfer.onSilence();
    ASSERT_EQ(resend.sendSlice, 6);  // the slice in flight, to where it went
    EXPECT_TRUE(sameHostAndPort(resend.to, kLooperTransferPort));
    for (int i = 0; i < 3; ++i) transfer.onSilence();
    // A late acknowledgement moves nothing but shows the looper is still there.
    const auto late = transfer.onDatagram(ack(2), kLooperTransferPort);
    EXPECT_TRUE(!late.sendSlice && !late.progress);
    for (int i = 0; i < 4; ++i) transfer.onSilence();
    // Once started, only the port that asked speaks for the transfer: not a
    // stranger, not another port of the looper's host (not even with a start
    // request), and not a broken or unknown datagram.
    transfer.onDatagram(ack(6), kStranger);
    transfer.onDatagram(ack(6), kLooper);
    transfer.onDatagram(kStartRequest, kLooper);
    for (const Bytes& broken : {Bytes{0x00, 0x04, 0x00}, Bytes{'<', 0x04, 0x00, 0x06}, Bytes{0x00, 0x07}, ack(7)})
        transfer.onDatagram(broken, kLooperTransferPort);
    EXPECT_EQ(transfer.slice(), 6);
    EXPECT_FALSE(transfer.finished());
    transfer.onSilence();
    EXPECT_TRUE(transfer.finished());
    EXPECT_FALSE(transfer.complete());
}

}  // namespace
}  // namespace qx
