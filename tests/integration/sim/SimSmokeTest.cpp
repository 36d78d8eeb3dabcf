// qx-looper-sim on UDP, where the panel's tests do not take it: on 127.0.0.1,
// where a second simulator must refuse the port, and bound to its own address
// in the looper's namespace, where a broadcast from the panel's must still
// find it. Over JACK, and bound to any address, it serves the panel's
// integration tests.
#include <gtest/gtest.h>

#include "net/SocketAddress.h"
#include "net/UdpSocket.h"
#include "protocol/Messages.h"
#include "support/ChildProcess.h"
#include "support/Hex.h"
#include "support/Namespaces.h"

namespace qx::sim::test {

using namespace std::chrono_literals;
using qx::test::ChildProcess;
using Datagram = std::pair<Bytes, std::string>;  // the bytes and "address:port" of their sender

static Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The next datagram, within five of the socket's one-second receive time-outs.
static Datagram nextDatagram(UdpSocket& socket)
{
    Bytes buffer(2048);
    for (int wait = 0; wait < 5; ++wait)
        if (const auto got = socket.receiveFrom(buffer); got.kind == UdpSocket::Received::Kind::datagram)
            return {Bytes(buffer.data(), buffer.data() + got.size), addressText(got.sender)};
    return {};
}

TEST(SimOnLoopback, AnswersFromPort5667AndSendsPressesToTheLastSender)
{
    ChildProcess sim({QX_SIM_PATH, "--udp", "127.0.0.1", "--name", "Loop Sim", "--journal"});
    ASSERT_TRUE(sim.waitForLine("ready", 10s)) << "127.0.0.1:5667 may be taken";
    const auto panel = UdpSocket::open();
    ASSERT_TRUE(panel);
    const sockaddr_in looper = makeSockaddr({127, 0, 0, 1}, 5667);
    panel->sendTo(text("<query>id</query>"), looper);
    EXPECT_EQ(nextDatagram(*panel), Datagram(text("<id>Loop Sim</id>"), "127.0.0.1:5667"));
    panel->sendTo(msg::statusRequest(), looper);
    EXPECT_EQ(nextDatagram(*panel).first.size(), 64u);
    EXPECT_TRUE(sim.waitForLine("rx udp <query>id</query>", 5s)) << "each datagram is printed as it arrives";
    sim.send("press 0 5");
    EXPECT_EQ(nextDatagram(*panel).first, qx::test::hex("F0 00 02 33 18 00 05 00 F7"));
    ChildProcess second({QX_SIM_PATH, "--udp", "127.0.0.1"});
    EXPECT_NE(second.exitStatus(10s), 0) << "the port is taken: the second looper must refuse to start";
    EXPECT_FALSE(second.waitForLine("ready", 1s));
}

TEST(SimInNamespace, BoundToItsOwnAddressItAnswersABroadcastIdentityQuery)
{
    ASSERT_TRUE(qx::test::insideNamespace(QX_PANEL_NETNS)) << "run this binary with: ip netns exec " << QX_PANEL_NETNS;
    ChildProcess sim({"ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "10.77.0.2"});
    ASSERT_TRUE(sim.waitForLine("ready", 10s));
    const auto panel = UdpSocket::open();
    ASSERT_TRUE(panel);
    ASSERT_TRUE(panel->sendTo(text("<query>id</query>"), makeSockaddr({10, 77, 0, 255}, 5667)));
    EXPECT_EQ(nextDatagram(*panel), Datagram(text("<id>QX Looper Sim</id>"), "10.77.0.2:5667"));
    // From then on the panel talks to that address directly.
    panel->sendTo(text("<query>status compact</query>"), makeSockaddr({10, 77, 0, 2}, 5667));
    EXPECT_EQ(nextDatagram(*panel).first.size(), 232u);
}

}  // namespace qx::sim::test
