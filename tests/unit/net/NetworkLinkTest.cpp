// The network link's threads against a stand-in looper on 127.0.0.1 that the
// test itself reads and answers, with an interface list naming only 127.0.0.1.
// Polling a looper that answers is proven against the simulated looper by the
// network integration tests.
#include <gtest/gtest.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "net/NetworkLink.h"
#include "support/ConsoleCapture.h"
#include "support/WaitUntil.h"
#include "session/SessionFactory.h"

namespace qx {
namespace {

using namespace std::string_literals;
using test::waitUntil;

// A UDP socket on 127.0.0.1: the looper, or another program on this computer.
struct Peer {
    int socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    sockaddr_in from{};

    Peer()
    {
        socklen_t length = sizeof address;
        ::bind(socket, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    }
    ~Peer() { ::close(socket); }
    // The next datagram; "" when none comes within the wait.
    std::string receive(int waitMs = 10000)
    {
        pollfd ready{socket, POLLIN, 0};
        if (::poll(&ready, 1, waitMs) <= 0) return "";
        char buffer[2048];
        socklen_t length = sizeof from;
        const ssize_t got = ::recvfrom(socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        return std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    }
    void send(const std::string& text, const sockaddr_in& to)
    {
        ::sendto(socket, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
};

NetworkLink::Options onlyLoopback(std::uint16_t port)
{
    return {.enumerate = [] { return std::vector<AddrPairs>{{{127, 0, 0, 1}, {127, 0, 0, 1}}}; }, .port = port};
}

std::size_t openDescriptors() { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); }

// A session whose MIDI link never runs: the network link is handed the link
// at once and is the only one started.
struct NetworkOnly {
    explicit NetworkOnly(NetworkLink::Options options)
        : session(ui, makeLinks({.midi = {}, .network = std::move(options)}))
    {
        session.arbiter().handTo(Transport::network);
        session.link(Transport::network).start();
    }
    bool handedBack() { return session.arbiter().holds(Transport::midi); }

    ManualMainQueue ui;
    LooperSession session;
};

TEST(NetworkLink, OnlyTheLooperIsHeardAndTenSilentPassesHandTheLinkBackLeavingNoSocket)
{
    test::ConsoleCapture console;
    Peer looper, stranger;
    const std::string command = "\xF0\x00\x02\x33\x06\x05\xF7"s;  // then the settings requests
    std::vector<std::string> expected{"<query>id</query>", command, "\xF0\x00\x02\x33\x14\x00\xF7"s,
                                      "\xF0\x00\x02\x33\x14\x48\xF7"s, "\xF0\x00\x02\x33\x09\xF7"s};
    for (int pass = 0; pass < 10; ++pass)
        expected.insert(expected.end(), {"<query>status compact</query>", "<query>log</query>"});
    std::vector<std::string> got;
    const std::size_t descriptors = openDescriptors();
    const std::string port = std::to_string(portOf(looper.address));
    {
        // The polling socket opens; the upgrade's own socket does not.
        NetworkLink::Options options = onlyLoopback(portOf(looper.address));
        std::atomic<int> opened{0};
        options.openSocket = [&] { return ++opened == 1 ? UdpSocket::open() : std::shared_ptr<UdpSocket>(); };
        NetworkOnly panel(options);
        const SessionModels& models = panel.session.models();
        std::string lineAtStatus;  // the device line when the link status last changed
        models.linkStatus->subscribe([&] { lineAtStatus = models.deviceLine->text(); });
        got.push_back(looper.receive());
        const sockaddr_in linkAddress = looper.from;
        panel.session.linkHost().commands.enqueue(Bytes(command.begin(), command.end()));
        // An identity reply from another port comes first: it is read past.
        stranger.send("<id>Impostor</id>", linkAddress);
        looper.send("<id>Loop</id>", linkAddress);
        while (got.size() < 6) got.push_back(looper.receive());
        panel.ui.drain();
        EXPECT_EQ(models.deviceLine->text(), "Loop - 127.0.0.1:" + port);
        EXPECT_EQ(lineAtStatus, models.deviceLine->text()) << "the looper is named before it shows as connected";
        EXPECT_EQ(statusWords(models.linkStatus->state()), "Connected over the network to Loop at 127.0.0.1");
        looper.send("\xF0\x00\x02\x33\x17QX2\0\xF7"s, linkAddress);  // the identity text, as a datagram
        EXPECT_TRUE(waitUntil([&] { return panel.ui.drain(), models.deviceLine->text() == "QX2 - 127.0.0.1:" + port; }));

        ASSERT_EQ(panel.session.link(Transport::network).startUpgrade(Bytes(1000)), std::nullopt);
        ASSERT_TRUE(waitUntil([&] { return panel.ui.drain(), models.outcome->ended() == 1; }));
        EXPECT_EQ(models.outcome->last().text, "Upgrade stopped: no socket for the upgrade");
        EXPECT_FALSE(models.outcome->last().success);

        // A valid report and a log reply from another program neither keep the
        // loop alive nor reach a model.
        std::string report(232, '\0');
        report[2] = '\xBB', report[3] = '\x80';
        for (int i = 0; i < 200 && !panel.handedBack(); ++i) {
            stranger.send(report, linkAddress);
            stranger.send("<log>intruder</log>\0"s, linkAddress);
            waitUntil([&] { return panel.handedBack(); }, std::chrono::milliseconds(50));
        }
        ASSERT_TRUE(waitUntil([&] { return panel.handedBack(); }));
        panel.session.stop();  // back in MIDI's hands the link has sent nothing more
        // Whatever the stopped link sent is queued by now (300 ms for the loopback to hand it over).
        for (std::string datagram; !(datagram = looper.receive(300)).empty();) {
            got.push_back(datagram);
            EXPECT_TRUE(sameHostAndPort(looper.from, linkAddress)) << got.size();  // all from one socket
        }
        panel.ui.drain();
        EXPECT_EQ(models.tracks->tracks()[0].status + models.log->log(), "") << "nothing reached a model";
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(stranger.receive(0), "") << "nothing went to the other port";
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_GE(std::ranges::count(console.lines(), "\"pollAttempts too many\""), 1);
}

// A looper that does not answer the identity query is the faults suite's
// "LooperVanishingWhilePolling" case; without a socket or an interface list
// there is nothing to send with or to, and no upgrade to start.
TEST(NetworkLink, WithoutAnInterfaceOrASocketThePassHandsTheLinkBackAtOnce)
{
    for (const std::string missing : {"interface", "socket"}) {
        NetworkLink::Options options = onlyLoopback(kLooperPort);
        if (missing == "interface") options.enumerate = [] { return std::vector<AddrPairs>{}; };
        else options.openSocket = [] { return std::shared_ptr<UdpSocket>(); };
        NetworkOnly panel(options);
        ASSERT_TRUE(waitUntil([&] { return panel.handedBack(); })) << missing;
        panel.session.stop();
        panel.ui.drain();
        EXPECT_EQ(panel.session.models().deviceLine->text(), "") << missing;
        Link& link = panel.session.link(Transport::network);
        EXPECT_EQ(static_cast<NetworkLink&>(link).looperAddress(), std::nullopt) << missing;
        EXPECT_EQ(link.startUpgrade(Bytes(100)), "Upgrade refused: no looper found on the network");
        EXPECT_EQ(link.startUpgrade(Bytes{}), "Upgrade refused: the file is empty");
        EXPECT_EQ(link.startUpgrade(Bytes(1'000'001)), "Upgrade refused: the file is longer than 1,000,000 bytes");
    }
}

// The platform's list is filtered in the network integration tests (loopback,
// packet entries, an interface up but not running, a /24 broadcast); these
// are the rest.
TEST(InterfaceList, KeepsRunningIPv4InListOrderWithBroadcastFromTheNetmask)
{
    const unsigned on = IFF_UP | IFF_RUNNING | IFF_BROADCAST;
    const std::vector<InterfaceEntry> entries{
        {IFF_RUNNING, AF_INET, IPv4{10, 0, 2, 2}, IPv4{255, 255, 255, 0}},  // running, not up
        {on, AF_INET, IPv4{10, 0, 3, 2}, std::nullopt},                     // no netmask
        {on, AF_INET, IPv4{192, 168, 1, 20}, IPv4{255, 255, 0, 0}},
        {on, AF_INET, IPv4{10, 77, 0, 1}, IPv4{255, 255, 255, 252}},
    };
    EXPECT_EQ(keepUsableInterfaces(entries),
              (std::vector<AddrPairs>{{{192, 168, 1, 20}, {192, 168, 255, 255}}, {{10, 77, 0, 1}, {10, 77, 0, 3}}}));
}

}  // namespace
}  // namespace qx
