// The upgrade's slice protocol, driven datagram by datagram.
#include <gtest/gtest.h>

#include "net/NetUpgradeTransfer.h"
#include "net/SocketAddress.h"

namespace qx {
namespace {

const sockaddr_in kLooper = makeSockaddr({10, 77, 0, 2}, 5667);
const sockaddr_in kLooperTransferPort = makeSockaddr({10, 77, 0, 2}, 40001);
const sockaddr_in kStranger = makeSockaddr({10, 77, 0, 9}, 40001);
const Bytes kStartRequest{0x00, 0x01};

Bytes fileOf(std::size_t size)
{
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return out;
}
Bytes ack(int slice) { return {0x00, 0x04, static_cast<std::uint8_t>(slice >> 8), static_cast<std::uint8_t>(slice)}; }

TEST(NetUpgradeTransfer, NumberedSlicesCarryTheWholeFileWithoutAnEmptyLastOne)
{
    struct Row {
        std::size_t size;
        int slices;
        double firstProgress;
    };
    for (const Row row : {Row{1024, 2, 0.5}, Row{1000, 2, 0.512}, Row{1'000'000, 1954, 0.000512}}) {
        const Bytes file = fileOf(row.size);
        NetUpgradeTransfer transfer(file, kLooper);
        EXPECT_EQ(transfer.announcement(), "<command>upgrade " + std::to_string(row.size) + "</command>");
        EXPECT_EQ(transfer.sliceCount(), row.slices);
        Bytes reassembled;
        auto r = transfer.onDatagram(kStartRequest, kLooperTransferPort);
        for (int sent = 1; r.sendSlice; ++sent) {
            ASSERT_EQ(*r.sendSlice, sent);
            EXPECT_TRUE(sameHostAndPort(r.to, kLooperTransferPort));  // answered where the request came from
            const Bytes slice = transfer.sliceDatagram(sent);
            Bytes header = ack(sent);
            header[1] = 0x03;
            ASSERT_EQ(Bytes(slice.begin(), slice.begin() + 4), header);
            reassembled.insert(reassembled.end(), slice.begin() + 4, slice.end());
            r = transfer.onDatagram(ack(sent), kLooperTransferPort);
            if (sent == 1) {
                EXPECT_DOUBLE_EQ(*r.progress, row.firstProgress);
            }
        }
        EXPECT_EQ(r.progress, 1.0);
        EXPECT_EQ(reassembled, file);
        EXPECT_TRUE(transfer.complete());
    }
    const Bytes slice300 = NetUpgradeTransfer(fileOf(1000), kLooper).sliceDatagram(300);
    EXPECT_EQ(Bytes(slice300.begin(), slice300.begin() + 4), (Bytes{0x00, 0x03, 0x01, 0x2C}));
}

TEST(NetUpgradeTransfer, OnlyTheLooperMovesItOnAndFiveSilencesEndIt)
{
    NetUpgradeTransfer transfer(fileOf(512 * 10), kLooper);
    EXPECT_EQ(transfer.onSilence().sendSlice, std::nullopt);  // nothing to resend before the start request
    EXPECT_EQ(transfer.onDatagram(kStartRequest, kStranger).sendSlice, std::nullopt);
    EXPECT_EQ(transfer.onDatagram(Bytes{0x00}, kLooper).sendSlice, std::nullopt);
    EXPECT_EQ(transfer.onDatagram(ack(0), kLooper).sendSlice, std::nullopt);
    EXPECT_EQ(transfer.slice(), 0);

    transfer.onDatagram(kStartRequest, kLooperTransferPort);
    for (int n = 1; n <= 5; ++n) transfer.onDatagram(ack(n), kLooperTransferPort);
    ASSERT_EQ(transfer.slice(), 6);
    const auto resend = transfer.onSilence();
    ASSERT_EQ(resend.sendSlice, 6);  // the slice in flight, to where it went
    EXPECT_TRUE(sameHostAndPort(resend.to, kLooperTransferPort));
    for (int i = 0; i < 3; ++i) transfer.onSilence();
    // Neither a stranger nor a broken datagram counts as the looper's answer.
    EXPECT_EQ(transfer.onDatagram(ack(6), kStranger).progress, std::nullopt);
    for (const Bytes& ignored : {Bytes{0x00, 0x04, 0x00}, Bytes{'<', 0x04, 0x00, 0x06}})
        EXPECT_EQ(transfer.onDatagram(ignored, kLooper).progress, std::nullopt);
    EXPECT_FALSE(transfer.finished());
    transfer.onSilence();
    EXPECT_TRUE(transfer.finished());
    EXPECT_FALSE(transfer.complete());
}

TEST(NetUpgradeTransfer, LateAcknowledgementIsIgnoredAndRepeatedStartRestarts)
{
    const Bytes file = fileOf(3000);
    NetUpgradeTransfer transfer(file, kLooper);
    transfer.onDatagram(kStartRequest, kLooper);
    transfer.onDatagram(ack(1), kLooper);
    transfer.onDatagram(ack(2), kLooper);
    for (int i = 0; i < 4; ++i) transfer.onSilence();
    // A late acknowledgement moves nothing but shows the looper is still there.
    const auto late = transfer.onDatagram(ack(1), kLooper);
    EXPECT_EQ(late.sendSlice, std::nullopt);
    EXPECT_EQ(late.progress, std::nullopt);
    EXPECT_EQ(transfer.slice(), 3);
    for (int i = 0; i < 4; ++i) transfer.onSilence();
    EXPECT_FALSE(transfer.finished());

    EXPECT_EQ(transfer.onDatagram(kStartRequest, kLooper).sendSlice, 1);
    const Bytes first = transfer.sliceDatagram(1);
    EXPECT_EQ(Bytes(first.begin() + 4, first.end()), Bytes(file.begin(), file.begin() + 512));
    EXPECT_EQ(transfer.onDatagram(ack(1), kLooper).progress, 512.0 / 3000.0);
}

}  // namespace
}  // namespace qx
