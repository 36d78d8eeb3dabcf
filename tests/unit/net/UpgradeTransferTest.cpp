#include <gtest/gtest.h>

#include <numeric>

#include "net/NetUpgradeTransfer.h"
#include "net/SocketAddress.h"

namespace qx {
namespace {

const sockaddr_in kLooper = makeSockaddr({10, 77, 0, 2}, 5667);
const sockaddr_in kLooperTransferPort = makeSockaddr({10, 77, 0, 2}, 40001);
const sockaddr_in kStranger = makeSockaddr({10, 77, 0, 9}, 40001);

Bytes fileOf(std::size_t size)
{
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return out;
}

Bytes ack(int slice) { return {0x00, 0x04, static_cast<std::uint8_t>(slice >> 8), static_cast<std::uint8_t>(slice)}; }
const Bytes kStartRequest{0x00, 0x01};

// What the looper would reassemble from the slices it is sent.
Bytes payloadOf(const Bytes& slice) { return Bytes(slice.begin() + 4, slice.end()); }

TEST(NetUpgradeTransfer, AnnouncesTheFileLength)
{
    EXPECT_EQ(NetUpgradeTransfer(fileOf(123456), kLooper).announcement(), "<command>upgrade 123456</command>");
}

TEST(NetUpgradeTransfer, ExactMultipleOfSliceSizeEndsWithoutEmptySlice)
{
    const Bytes file = fileOf(1024);
    NetUpgradeTransfer transfer(file, kLooper);
    EXPECT_EQ(transfer.sliceCount(), 2);

    auto r = transfer.onDatagram(kStartRequest, kLooperTransferPort);
    ASSERT_EQ(r.sendSlice, 1);
    EXPECT_TRUE(sameHostAndPort(r.to, kLooperTransferPort));
    const Bytes first = transfer.sliceDatagram(1);
    EXPECT_EQ(first.size(), 516u);
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 4), (Bytes{0x00, 0x03, 0x00, 0x01}));

    r = transfer.onDatagram(ack(1), kLooperTransferPort);
    ASSERT_EQ(r.sendSlice, 2);
    EXPECT_EQ(r.progress, 0.5);
    const Bytes second = transfer.sliceDatagram(2);
    EXPECT_EQ(second.size(), 516u);

    Bytes reassembled = payloadOf(first);
    const Bytes rest = payloadOf(second);
    reassembled.insert(reassembled.end(), rest.begin(), rest.end());
    EXPECT_EQ(reassembled, file);

    r = transfer.onDatagram(ack(2), kLooperTransferPort);
    EXPECT_EQ(r.sendSlice, std::nullopt);
    EXPECT_EQ(r.progress, 1.0);
    EXPECT_TRUE(transfer.complete());
    EXPECT_TRUE(transfer.finished());
}

TEST(NetUpgradeTransfer, ShortLastSliceAndFractionalProgress)
{
    const Bytes file = fileOf(1000);
    NetUpgradeTransfer transfer(file, kLooper);
    transfer.onDatagram(kStartRequest, kLooper);
    auto r = transfer.onDatagram(ack(1), kLooper);
    EXPECT_DOUBLE_EQ(*r.progress, 0.512);
    const Bytes last = transfer.sliceDatagram(2);
    ASSERT_EQ(last.size(), 4u + 488u);
    EXPECT_EQ(payloadOf(last), Bytes(file.begin() + 512, file.end()));
    r = transfer.onDatagram(ack(2), kLooper);
    EXPECT_EQ(r.progress, 1.0);  // 1024 of 1000 bytes is still 1.0
    EXPECT_TRUE(transfer.complete());
}

TEST(NetUpgradeTransfer, SliceNumberCarriesItsHighByte)
{
    NetUpgradeTransfer transfer(fileOf(1000), kLooper);
    const Bytes slice = transfer.sliceDatagram(300);
    EXPECT_EQ(Bytes(slice.begin(), slice.begin() + 4), (Bytes{0x00, 0x03, 0x01, 0x2C}));
}

TEST(NetUpgradeTransfer, LateOrRepeatedAcknowledgementIsIgnoredButClearsMisses)
{
    NetUpgradeTransfer transfer(fileOf(512 * 10), kLooper);
    transfer.onDatagram(kStartRequest, kLooper);
    for (int n = 1; n <= 5; ++n) transfer.onDatagram(ack(n), kLooper);
    ASSERT_EQ(transfer.slice(), 6);
    for (int i = 0; i < 4; ++i) transfer.onSilence();

    const auto r = transfer.onDatagram(ack(5), kLooper);
    EXPECT_EQ(r.sendSlice, std::nullopt);
    EXPECT_EQ(r.progress, std::nullopt);
    EXPECT_EQ(transfer.slice(), 6);
    // Misses were cleared: four more silences do not end the transfer.
    for (int i = 0; i < 4; ++i) transfer.onSilence();
    EXPECT_FALSE(transfer.finished());
    transfer.onSilence();
    EXPECT_TRUE(transfer.finished());
    EXPECT_FALSE(transfer.complete());
}

TEST(NetUpgradeTransfer, SilenceResendsTheSliceInFlightToWhereItWent)
{
    NetUpgradeTransfer transfer(fileOf(2000), kLooper);
    // Before the start request a silence sends nothing.
    EXPECT_EQ(transfer.onSilence().sendSlice, std::nullopt);
    transfer.onDatagram(kStartRequest, kLooperTransferPort);
    transfer.onDatagram(ack(1), kLooperTransferPort);
    const auto r = transfer.onSilence();
    ASSERT_EQ(r.sendSlice, 2);
    EXPECT_TRUE(sameHostAndPort(r.to, kLooperTransferPort));
    EXPECT_EQ(transfer.sliceDatagram(2), transfer.sliceDatagram(2));  // same bytes again
}

TEST(NetUpgradeTransfer, FiveSilencesInARowEndTheTransfer)
{
    NetUpgradeTransfer transfer(fileOf(2000), kLooper);
    for (int i = 0; i < 4; ++i) transfer.onSilence();
    EXPECT_FALSE(transfer.finished());
    transfer.onDatagram(Bytes{0x00, 0x09}, kLooper);  // another 00 packet clears the count
    for (int i = 0; i < 4; ++i) transfer.onSilence();
    EXPECT_FALSE(transfer.finished());
    transfer.onSilence();
    EXPECT_TRUE(transfer.finished());
    EXPECT_EQ(transfer.slice(), 0);
}

TEST(NetUpgradeTransfer, RepeatedStartRequestRestartsFromTheFirstByte)
{
    const Bytes file = fileOf(3000);
    NetUpgradeTransfer transfer(file, kLooper);
    transfer.onDatagram(kStartRequest, kLooper);
    transfer.onDatagram(ack(1), kLooper);
    transfer.onDatagram(ack(2), kLooper);
    const auto r = transfer.onDatagram(kStartRequest, kLooper);
    EXPECT_EQ(r.sendSlice, 1);
    EXPECT_EQ(transfer.slice(), 1);
    EXPECT_EQ(payloadOf(transfer.sliceDatagram(1)), Bytes(file.begin(), file.begin() + 512));
    EXPECT_EQ(transfer.onDatagram(ack(1), kLooper).progress, 512.0 / 3000.0);
}

TEST(NetUpgradeTransfer, ActsOnlyOnWholeRepliesFromTheLooper)
{
    NetUpgradeTransfer transfer(fileOf(2000), kLooper);
    EXPECT_EQ(transfer.onDatagram(kStartRequest, kStranger).sendSlice, std::nullopt);
    EXPECT_EQ(transfer.onDatagram(Bytes{0x00}, kLooper).sendSlice, std::nullopt);
    EXPECT_EQ(transfer.slice(), 0);
    // Acknowledgements before the start request name no slice in flight.
    EXPECT_EQ(transfer.onDatagram(ack(0), kLooper).sendSlice, std::nullopt);

    transfer.onDatagram(kStartRequest, kLooper);
    EXPECT_EQ(transfer.onDatagram(ack(1), kStranger).progress, std::nullopt);
    EXPECT_EQ(transfer.onDatagram(Bytes{0x00, 0x04, 0x00}, kLooper).progress, std::nullopt);
    EXPECT_EQ(transfer.onDatagram(Bytes{'<', 0x04, 0x00, 0x01}, kLooper).progress, std::nullopt);
    EXPECT_EQ(transfer.slice(), 1);
    // A stranger's datagram and a short one do not count as the looper's answer.
    for (int i = 0; i < 4; ++i) transfer.onSilence();
    transfer.onDatagram(Bytes{0x00, 0x04, 0x00}, kLooper);
    transfer.onDatagram(ack(7), kStranger);
    transfer.onSilence();
    EXPECT_TRUE(transfer.finished());
}

TEST(NetUpgradeTransfer, AMillionBytesTakeNineteenHundredFiftyFourSlices)
{
    const Bytes file = fileOf(1'000'000);
    NetUpgradeTransfer transfer(file, kLooper);
    EXPECT_EQ(transfer.sliceCount(), 1954);
    Bytes reassembled;
    auto r = transfer.onDatagram(kStartRequest, kLooper);
    int sent = 0;
    while (r.sendSlice) {
        ++sent;
        const Bytes slice = transfer.sliceDatagram(*r.sendSlice);
        ASSERT_EQ((slice[2] << 8) | slice[3], *r.sendSlice);
        reassembled.insert(reassembled.end(), slice.begin() + 4, slice.end());
        r = transfer.onDatagram(ack(*r.sendSlice), kLooper);
        ASSERT_LE(sent, 1954);
    }
    EXPECT_EQ(sent, 1954);
    EXPECT_EQ(reassembled, file);
    EXPECT_TRUE(transfer.complete());
}

}  // namespace
}  // namespace qx
