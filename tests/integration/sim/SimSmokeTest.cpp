// qx-looper-sim on real transports: JACK MIDI ports of a server the test
// starts, UDP on 127.0.0.1, and UDP between two network namespaces the test
// makes, where a broadcast finds it the way the panel does.
#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <thread>

#include "midi/Messages.h"
#include "NamespacePair.h"
#include "net/SocketAddress.h"
#include "net/UdpSocket.h"
#include "support/ChildProcess.h"
#include "support/Hex.h"
#include "support/JackServer.h"

namespace qx::sim {
namespace {

using namespace std::chrono_literals;
using qx::test::hex;
using Datagram = std::pair<Bytes, std::string>;  // the bytes and "address:port" of their sender

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The next datagram, within five of the socket's one-second receive time-outs.
Datagram nextDatagram(UdpSocket& socket)
{
    Bytes buffer(2048);
    UdpSocket::Received got;
    for (int wait = 0; wait < 5 && got.kind != UdpSocket::Received::Kind::datagram; ++wait) got = socket.receiveFrom(buffer);
    if (got.kind != UdpSocket::Received::Kind::datagram) return {};
    buffer.resize(got.size);
    return {buffer, addressText(got.sender)};
}

// The lines the simulator prints up to the answer to a control command.
std::vector<std::string> printedUpTo(qx::test::ChildProcess& sim, const std::string& command)
{
    std::vector<std::string> lines;
    sim.send(command);
    EXPECT_TRUE(sim.waitFor("ok", 5s, &lines)) << command;
    return lines;
}

bool contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The test's side of the MIDI cable, on JACK.
struct MidiClient {
    RtMidiIn in{RtMidi::UNIX_JACK, "qxsim-test-in"};
    RtMidiOut out{RtMidi::UNIX_JACK, "qxsim-test-out"};

    // Opens the first port whose name contains the text.
    static bool open(RtMidi& port, const std::string& name)
    {
        for (unsigned i = 0; i < port.getPortCount(); ++i)
            if (port.getPortName(i).find(name) != std::string::npos) return port.openPort(i, "qxsim-test"), true;
        return false;
    }
    void send(const Bytes& message) { out.sendMessage(message.data(), message.size()); }
    // The next message, looked for every 5 ms until the time-out.
    Bytes next(std::chrono::milliseconds timeout = 5s)
    {
        std::vector<unsigned char> message;
        for (auto waited = 0ms; message.empty() && waited < timeout; waited += 5ms) {
            in.getMessage(&message);
            if (message.empty()) std::this_thread::sleep_for(5ms);
        }
        return Bytes(message.begin(), message.end());
    }
};

TEST(SimOverJack, AnswersWholeMessagesAndSendsPresses)
{
    qx::test::JackServer jack;  // first in, last out
    ASSERT_TRUE(jack.ready()) << "jackd did not start";
    qx::test::ChildProcess sim({QX_SIM_PATH, "--jack", "--journal"});
    ASSERT_TRUE(sim.waitFor("ready", 10s)) << "the simulated looper did not open its ports";
    MidiClient client;
    client.in.ignoreTypes(false, true, true);
    ASSERT_TRUE(MidiClient::open(client.out, "QX Looper Sim") && MidiClient::open(client.in, "QX Looper Sim"));
    // A new JACK connection carries data from a later process cycle on: ask
    // (at most 20 times) until an answer comes back, then drop any extra ones.
    bool carries = false;
    for (int attempt = 0; attempt < 20 && !carries; ++attempt) {
        client.send(msg::statusRequest());
        carries = !client.next(250ms).empty();
    }
    ASSERT_TRUE(carries) << "no answer through the new connections";
    while (!client.next(250ms).empty()) {
    }
    client.send(msg::statusRequest());
    const Bytes status = client.next();
    EXPECT_EQ(Bytes(status.begin(), status.begin() + std::min<std::ptrdiff_t>(7, std::ssize(status))), hex("F0 00 02 33 02 04 01"));
    EXPECT_EQ(status.size(), 64u);
    client.send(msg::informationRequest());
    EXPECT_EQ(client.next(), hex("F0 00 02 33 17 51 58 32 20 53 69 6D 20 31 2E 30 00 F7"));
    client.send(msg::buttonMappingRequest(376, 8));
    EXPECT_EQ(client.next().size(), 137u) << "a long message arrives whole";
    EXPECT_TRUE(contains(printedUpTo(sim, "press 2 36"), "rx midi F0 00 02 33 02 F7")) << "printed as it arrived";
    EXPECT_EQ(client.next(), hex("F0 00 02 33 18 02 24 00 F7"));
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
    panel->sendTo(text("<query>status compact</query>"), looper);
    EXPECT_EQ(nextDatagram(*panel).first.size(), 232u);
    panel->sendTo(msg::statusRequest(), looper);
    EXPECT_EQ(nextDatagram(*panel).first.size(), 64u);
    EXPECT_TRUE(contains(printedUpTo(sim, "press 0 5"), "rx udp <query>id</query>"));
    EXPECT_EQ(nextDatagram(*panel).first, hex("F0 00 02 33 18 00 05 00 F7"));
    qx::test::ChildProcess second({QX_SIM_PATH, "--udp", "127.0.0.1"});
    EXPECT_FALSE(second.waitFor("ready", 5s)) << "the port is taken: the second looper must refuse to start";
}

class SimInNamespace : public ::testing::TestWithParam<const char*> {};

TEST_P(SimInNamespace, BroadcastIdentityQueryIsAnsweredFromTheLoopersAddress)
{
    if (geteuid() != 0) GTEST_SKIP() << "network namespaces need root";
    test::NamespacePair net;  // first in, last out
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

}  // namespace
}  // namespace qx::sim
