// qx-looper-sim on real transports: JACK MIDI ports of a server the test
// starts, UDP on 127.0.0.1, and UDP between two network namespaces the test
// makes, where a broadcast finds it the way the panel does.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>

#include "midi/Messages.h"
#include "midi/RtMidiEndpoints.h"
#include "NamespacePair.h"
#include "net/SocketAddress.h"
#include "net/UdpSocket.h"
#include "support/ChildProcess.h"
#include "support/Hex.h"
#include "support/JackServer.h"

namespace qx::sim::test {

using namespace std::chrono_literals;
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

TEST(SimOverJack, AnswersWholeMessagesAndSendsPresses)
{
    qx::test::JackServer jack;  // first in, last out
    ASSERT_TRUE(jack.ready()) << "jackd did not start";
    qx::test::ChildProcess sim({QX_SIM_PATH, "--jack", "--journal"});
    ASSERT_TRUE(sim.waitFor("ready", 10s)) << "the simulated looper did not open its ports";
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<Bytes> inbox;  // what the looper sent, handed over on the MIDI system's thread
    const auto panel = openSystemMidiEndpoints("qxsim-test");  // the panel's own MIDI ports: JACK here
    ASSERT_EQ(panel->destinationNames().size(), 1u);
    EXPECT_NE(panel->destinationNames()[0].find("QX Looper Sim"), std::string::npos);
    panel->setReceiver([&](std::span<const std::uint8_t> message) {
        std::lock_guard guard(lock);
        inbox.emplace_back(message.begin(), message.end());
        arrived.notify_all();
    });
    // The next message, or nothing after the time-out.
    auto next = [&](std::chrono::milliseconds timeout = 5s) {
        std::unique_lock guard(lock);
        if (!arrived.wait_for(guard, timeout, [&] { return !inbox.empty(); })) return Bytes{};
        Bytes message = std::move(inbox.front());
        inbox.pop_front();
        return message;
    };
    // A new JACK connection carries data from a later process cycle on: ask
    // (at most 20 times) until an answer comes back, then drop any extra ones.
    bool carries = false;
    for (int attempt = 0; attempt < 20 && !carries; ++attempt) {
        panel->sendToEach(msg::statusRequest());
        carries = next(250ms).size() == 64;  // a whole status report
    }
    ASSERT_TRUE(carries) << "no answer through the new connections";
    while (!next(250ms).empty()) continue;
    panel->sendToEach(msg::informationRequest());
    EXPECT_EQ(next(), qx::test::hex("F0 00 02 33 17 51 58 32 20 53 69 6D 20 31 2E 30 00 F7"));
    panel->sendToEach(msg::buttonMappingRequest(376, 8));
    EXPECT_EQ(next().size(), 137u) << "a long message arrives whole";
    EXPECT_TRUE(sim.waitFor("rx midi F0 00 02 33 02 F7", 5s)) << "each message is printed as it arrives";
    sim.send("press 2 36");
    EXPECT_EQ(next(), qx::test::hex("F0 00 02 33 18 02 24 00 F7"));
}

TEST(SimOnLoopback, AnswersFromPort5667AndSendsPressesToTheLastSender)
{
    qx::test::ChildProcess sim({QX_SIM_PATH, "--udp", "127.0.0.1", "--name", "Loop Sim", "--journal"});
    ASSERT_TRUE(sim.waitFor("ready", 10s)) << "127.0.0.1:5667 may be taken";
    const auto panel = UdpSocket::open();
    ASSERT_TRUE(panel);
    const sockaddr_in looper = makeSockaddr({127, 0, 0, 1}, 5667);
    panel->sendTo(text("<query>id</query>"), looper);
    EXPECT_EQ(nextDatagram(*panel), Datagram(text("<id>Loop Sim</id>"), "127.0.0.1:5667"));
    panel->sendTo(msg::statusRequest(), looper);
    EXPECT_EQ(nextDatagram(*panel).first.size(), 64u);
    EXPECT_TRUE(sim.waitFor("rx udp <query>id</query>", 5s)) << "each datagram is printed as it arrives";
    sim.send("press 0 5");
    EXPECT_EQ(nextDatagram(*panel).first, qx::test::hex("F0 00 02 33 18 00 05 00 F7"));
    qx::test::ChildProcess second({QX_SIM_PATH, "--udp", "127.0.0.1"});
    EXPECT_FALSE(second.waitFor("ready", 5s)) << "the port is taken: the second looper must refuse to start";
}

class SimInNamespace : public ::testing::TestWithParam<const char*> {};

TEST_P(SimInNamespace, BroadcastIdentityQueryIsAnsweredFromTheLoopersAddress)
{
    if (geteuid() != 0) GTEST_SKIP() << "network namespaces need root";
    NamespacePair net;  // first in, last out
    ASSERT_TRUE(net.ok()) << "could not set up the namespaces";
    qx::test::ChildProcess sim({"ip", "netns", "exec", net.looperSide(), QX_SIM_PATH, "--udp", GetParam()});
    ASSERT_TRUE(sim.waitFor("ready", 10s));
    const auto panel = net.inPanelSide([] { return UdpSocket::open(); });
    ASSERT_TRUE(panel);
    ASSERT_TRUE(panel->sendTo(text("<query>id</query>"), makeSockaddr({10, 77, 0, 255}, 5667)));
    EXPECT_EQ(nextDatagram(*panel), Datagram(text("<id>QX Looper Sim</id>"), "10.77.0.2:5667"));
    // From then on the panel talks to that address directly.
    panel->sendTo(text("<query>status compact</query>"), makeSockaddr({10, 77, 0, 2}, 5667));
    EXPECT_EQ(nextDatagram(*panel).first.size(), 232u);
}

INSTANTIATE_TEST_SUITE_P(BoundTo, SimInNamespace, ::testing::Values("0.0.0.0", "10.77.0.2"),
                         [](const auto& info) { return std::string(info.param[0] == '0' ? "Any" : "OwnAddress"); });

}  // namespace qx::sim::test
