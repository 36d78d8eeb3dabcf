// The network link's threads against a stand-in looper on 127.0.0.1 that the
// test itself reads and answers, with an interface list naming only 127.0.0.1.
// Polling a looper that answers is proven against the simulated looper by the
// net_netns tests.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "RecordingLinkHost.h"
#include "WaitUntil.h"
#include "net/QXNetworkInterface.h"
#include "support/ConsoleCapture.h"

namespace qx {
namespace {

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

QXNetworkInterface::Options onlyLoopback(std::uint16_t port)
{
    return {.enumerate = [] { return std::vector<AddrPairs>{{{127, 0, 0, 1}, {127, 0, 0, 1}}}; }, .port = port};
}

std::size_t openDescriptors()
{
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

TEST(LoopbackLink, OnlyTheLooperIsHeardAndTenSilentPassesHandTheLinkBackLeavingNoSocket)
{
    test::ConsoleCapture console;
    test::RecordingLinkHost host;
    Peer looper, stranger;
    const std::string command{'\xF0', 0, 2, 0x33, 0x06, 0x05, '\xF7'};
    std::vector<std::string> expected{"<query>id</query>", command, {'\xF0', 0, 2, 0x33, 0x14, 0x00, '\xF7'},
                                      {'\xF0', 0, 2, 0x33, 0x14, 0x48, '\xF7'}};
    for (int pass = 0; pass < 10; ++pass) expected.insert(expected.end(), {"<query>status compact</query>", "<query>log</query>"});
    std::vector<std::string> got;
    const std::size_t descriptors = openDescriptors();
    {
        // The polling socket opens; the upgrade's own socket does not.
        QXNetworkInterface::Options options = onlyLoopback(portOf(looper.address));
        std::atomic<int> opened{0};
        options.openSocket = [&]() -> std::shared_ptr<UdpSocket> { return ++opened == 1 ? UdpSocket::open() : nullptr; };
        QXNetworkInterface link(host, options);
        host.setPollMIDI(false);
        link.start();
        got.push_back(looper.receive());
        const sockaddr_in linkAddress = looper.from;
        host.queue.enqueue(Bytes(command.begin(), command.end()));  // goes out before the settings requests
        looper.send("<id>Loop</id>", linkAddress);
        while (got.size() < 5) got.push_back(looper.receive());
        EXPECT_EQ(host.deviceLines(), (std::vector<std::string>{"Loop - 127.0.0.1:" + std::to_string(portOf(looper.address))}));

        ASSERT_EQ(link.startUpgrade(Bytes(1000)), std::nullopt);
        ASSERT_TRUE(waitUntil([&] { return !host.outcomes().empty(); }));
        EXPECT_EQ(host.outcomes().size(), 1u);
        EXPECT_FALSE(host.outcomes()[0].success);
        EXPECT_EQ(host.outcomes()[0].text, "Upgrade stopped: no socket for the upgrade");
        EXPECT_FALSE(link.pollingPausedNow());

        // A valid report and a log reply from another program neither keep the
        // loop alive nor reach a model.
        Bytes report(232);
        report[2] = 0xBB;
        report[3] = 0x80;
        for (int i = 0; i < 200 && !host.pollMIDI(); ++i) {
            stranger.send(std::string(report.begin(), report.end()), linkAddress);
            stranger.send(std::string("<log>intruder</log>") + '\0', linkAddress);
            waitUntil([&] { return host.pollMIDI(); }, std::chrono::milliseconds(50));
        }
        ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); }));
        link.stop();  // back in MIDI's hands the link has sent nothing more
        // Whatever the stopped link sent is queued by now (300 ms for the loopback to hand it over).
        for (std::string datagram; !(datagram = looper.receive(300)).empty();) {
            got.push_back(datagram);
            EXPECT_TRUE(sameHostAndPort(looper.from, linkAddress)) << got.size();  // all from one socket
        }
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(openDescriptors(), descriptors);
    const auto lines = console.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\"pollAttempts too many\""), lines.end());
    EXPECT_TRUE(host.tracks().empty());
    EXPECT_TRUE(host.log().empty());
}

// A looper that does not answer the identity query is the faults suite's
// "LooperVanishingWhilePolling" case; without a socket or an interface list
// there is nothing to send with or to.
TEST(LoopbackLink, WithoutAnInterfaceOrASocketThePassHandsTheLinkBackAtOnce)
{
    for (const std::string missing : {"interface", "socket"}) {
        test::RecordingLinkHost host;
        QXNetworkInterface::Options options = onlyLoopback(kLooperPort);
        if (missing == "interface") options.enumerate = [] { return std::vector<AddrPairs>{}; };
        else options.openSocket = [] { return std::shared_ptr<UdpSocket>(); };
        QXNetworkInterface link(host, options);
        host.setPollMIDI(false);
        link.start();
        ASSERT_TRUE(waitUntil([&] { return host.pollMIDI(); })) << missing;
        link.stop();
        EXPECT_TRUE(host.deviceLines().empty()) << missing;
        EXPECT_EQ(link.looperAddress(), std::nullopt) << missing;
    }
}

TEST(NetworkUpgrade, RefusesWithoutLooperOrFitFile)
{
    test::RecordingLinkHost host;
    QXNetworkInterface link(host);
    EXPECT_EQ(link.startUpgrade(Bytes(100)), "Upgrade refused: no looper found on the network");
    EXPECT_EQ(link.startUpgrade(Bytes{}), "Upgrade refused: the file is empty");
    EXPECT_EQ(link.startUpgrade(Bytes(1'000'001)), "Upgrade refused: the file is longer than 1,000,000 bytes");
    EXPECT_TRUE(host.outcomes().empty());
    EXPECT_FALSE(link.pollingPausedNow());
}

}  // namespace
}  // namespace qx
