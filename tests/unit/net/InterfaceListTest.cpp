#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/socket.h>

#include "net/InterfaceList.h"
#include "net/SocketAddress.h"

namespace qx {
namespace {

constexpr unsigned kUpRunning = IFF_UP | IFF_RUNNING | IFF_BROADCAST;

InterfaceEntry ipv4(unsigned flags, IPv4 address, IPv4 netmask)
{
    return {flags, AF_INET, address, netmask};
}

TEST(InterfaceList, BroadcastIsAddressOrInvertedNetmask)
{
    const std::vector<InterfaceEntry> entries{
        ipv4(kUpRunning, {192, 168, 1, 20}, {255, 255, 255, 0}),
        ipv4(kUpRunning, {192, 168, 1, 20}, {255, 255, 0, 0}),
        ipv4(kUpRunning, {10, 77, 0, 1}, {255, 255, 255, 252}),
    };
    const auto kept = keepUsableInterfaces(entries);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0], (AddrPairs{{192, 168, 1, 20}, {192, 168, 1, 255}}));
    EXPECT_EQ(kept[1], (AddrPairs{{192, 168, 1, 20}, {192, 168, 255, 255}}));
    EXPECT_EQ(kept[2], (AddrPairs{{10, 77, 0, 1}, {10, 77, 0, 3}}));
}

TEST(InterfaceList, KeepsOnlyRunningNonLoopbackIPv4InListOrder)
{
    const IPv4 mask{255, 255, 255, 0};
    const std::vector<InterfaceEntry> entries{
        ipv4(IFF_UP | IFF_LOOPBACK | IFF_RUNNING, {127, 0, 0, 1}, {255, 0, 0, 0}),  // loopback
        ipv4(IFF_UP | IFF_BROADCAST, {10, 0, 1, 2}, mask),                          // up, not running
        ipv4(IFF_RUNNING, {10, 0, 2, 2}, mask),                                     // running, not up
        {kUpRunning, AF_INET6, std::nullopt, std::nullopt},                         // IPv6
        {kUpRunning, AF_PACKET, std::nullopt, std::nullopt},                        // link layer
        {kUpRunning, AF_INET, IPv4{10, 0, 3, 2}, std::nullopt},                     // no netmask
        {kUpRunning, 0, std::nullopt, std::nullopt},                                // no address at all
        ipv4(kUpRunning, {10, 0, 5, 2}, mask),
        ipv4(kUpRunning, {10, 0, 4, 2}, mask),
    };
    const auto kept = keepUsableInterfaces(entries);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].addr, (IPv4{10, 0, 5, 2}));
    EXPECT_EQ(kept[1].addr, (IPv4{10, 0, 4, 2}));
}

TEST(InterfaceList, EmptyListKeepsNothing)
{
    EXPECT_TRUE(keepUsableInterfaces({}).empty());
}

TEST(SocketAddress, BuildsAndPrintsTheLooperAddress)
{
    const sockaddr_in address = makeSockaddr({10, 0, 0, 7}, 5667);
    EXPECT_EQ(address.sin_family, AF_INET);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&address);
    EXPECT_EQ(raw[2], 0x16);  // 5667 = 0x1623, most significant byte first
    EXPECT_EQ(raw[3], 0x23);
    EXPECT_EQ(raw[4], 10);
    EXPECT_EQ(raw[7], 7);
    EXPECT_EQ(addressText(address), "10.0.0.7:5667");
    EXPECT_EQ(addressText(makeSockaddr({255, 255, 255, 255}, 65535)), "255.255.255.255:65535");
}

TEST(SocketAddress, AnAllZeroAddressIsNotSet)
{
    EXPECT_FALSE(isAddressSet(sockaddr_in{}));
    EXPECT_TRUE(isAddressSet(makeSockaddr({0, 0, 0, 0}, 0)));
}

TEST(SocketAddress, ComparesHostWithAndWithoutPort)
{
    const sockaddr_in a = makeSockaddr({10, 77, 0, 2}, 5667);
    EXPECT_TRUE(sameHostAndPort(a, makeSockaddr({10, 77, 0, 2}, 5667)));
    EXPECT_FALSE(sameHostAndPort(a, makeSockaddr({10, 77, 0, 2}, 5668)));
    EXPECT_TRUE(sameHost(a, makeSockaddr({10, 77, 0, 2}, 40000)));
    EXPECT_FALSE(sameHost(a, makeSockaddr({10, 77, 0, 3}, 5667)));
}

}  // namespace
}  // namespace qx
