#include "net/NetworkLink.h"

#include <chrono>

#include "common/ConsoleLine.h"
#include "common/ConsoleTexts.h"
#include "net/NetPollCycle.h"
#include "net/NetworkUpgrade.h"
#include "protocol/TextMessages.h"

namespace qx {
namespace {

constexpr double kWaitForLink = 1.0;  // while MIDI holds the link
constexpr std::chrono::microseconds kDiscoveryWait = std::chrono::seconds(1);  // per interface

std::string hostText(const sockaddr_in& address)
{
    const std::string text = addressText(address);
    return text.substr(0, text.find(':'));
}

// Sockets that write what they carry to the trace, when there is one.
NetworkLink::Options traced(NetworkLink::Options options, std::shared_ptr<TrafficTrace> trace)
{
    if (!trace) return options;
    options.openSocket = [open = std::move(options.openSocket), trace = std::move(trace)] {
        auto socket = open();
        if (socket) socket->setTrace(trace);
        return socket;
    };
    return options;
}

}  // namespace

NetworkLink::NetworkLink(LinkHost host) : NetworkLink(host, Options{}) {}

NetworkLink::NetworkLink(LinkHost host, Options options)
    : host_(host),
      options_(traced(std::move(options), host.trace)),
      upgrade_(std::make_unique<NetworkUpgrade>(
          host_, pacer_, pollingPaused_, options_.openSocket, [this] { return found(); }))
{
}

NetworkLink::~NetworkLink() { stop(); }

void NetworkLink::start()
{
    if (networkThread_.joinable() || pacer_.stopRequested()) return;
    networkThread_ = std::thread([this] { threadNetwork(); });
}

void NetworkLink::stop()
{
    pacer_.requestStop();
    // Release a thread blocked in a receive; a socket opened after this point
    // sees the stop request as soon as it is published.
    if (const std::shared_ptr<UdpSocket> current = found().socket) current->wake();
    upgrade_->stop();
    if (networkThread_.joinable()) networkThread_.join();
}

std::optional<std::string> NetworkLink::startUpgrade(Bytes contents) { return upgrade_->start(std::move(contents)); }

void NetworkLink::threadNetwork()
{
    while (networkPass()) {
    }
}

void NetworkLink::publishSocket(std::shared_ptr<UdpSocket> socket)
{
    std::lock_guard guard(foundLock_);
    found_ = LooperOnNetwork{std::move(socket), {}, {}, {}};
}

bool NetworkLink::networkPass()
{
    while (!host_.arbiter.holds(Transport::network))
        if (!pacer_.pause(Seconds(kWaitForLink))) return false;

    const std::vector<AddrPairs> interfaces = options_.enumerate();
    if (interfaces.empty()) host_.arbiter.handTo(Transport::midi);

    // A socket that cannot be opened is a pass that finds no looper.
    std::shared_ptr<UdpSocket> socket = options_.openSocket();
    publishSocket(socket);
    if (socket && !pacer_.stopRequested()) discover(*socket, interfaces);

    const LooperOnNetwork looper = found();
    if (looper.interface && !pacer_.stopRequested()) {
        host_.reports.showDeviceLine(looper.name + " - " + addressText(looper.address));
        host_.arbiter.publish({LinkState::Phase::connectedNetwork, looper.name, hostText(looper.address)});
        pollingLoop(socket, looper.address);
    }

    host_.arbiter.handTo(Transport::midi);
    // The receive thread has been joined; dropping the last references closes
    // the socket. What was found stays readable until the next pass.
    {
        std::lock_guard guard(foundLock_);
        found_.socket.reset();
    }
    socket.reset();
    return !pacer_.stopRequested();
}

void NetworkLink::discover(UdpSocket& socket, const std::vector<AddrPairs>& interfaces)
{
    using Clock = std::chrono::steady_clock;
    Bytes buffer(kMaxDatagram);
    for (const AddrPairs& entry : interfaces) {
        socket.sendTo(net::bytesOf(net::kIdentityQuery), makeSockaddr(entry.bcast, options_.port));
        // One second per interface, as ever; within it, what is not an
        // identity reply from the looper's port is read past.
        const Clock::time_point deadline = Clock::now() + kDiscoveryWait;
        for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
            socket.setReceiveWait(std::chrono::duration_cast<std::chrono::microseconds>(deadline - now));
            const UdpSocket::Received got = socket.receiveFrom(buffer);
            if (pacer_.stopRequested()) return;
            if (got.kind != UdpSocket::Received::Kind::datagram) break;
            if (portOf(got.sender) != options_.port) continue;
            const auto id = net::parseIdentityReply(std::span(buffer).first(got.size));
            if (!id) continue;
            socket.setReceiveWait(kDiscoveryWait);
            std::lock_guard guard(foundLock_);
            found_.name = *id;
            found_.address = got.sender;
            found_.interface = entry;
            return;
        }
        socket.setReceiveWait(kDiscoveryWait);
    }
}

void NetworkLink::pollingLoop(const std::shared_ptr<UdpSocket>& socket, const sockaddr_in& looper)
{
    NetPollCycle cycle(host_, pollingPaused_,
                       [&](std::span<const std::uint8_t> bytes) { socket->sendTo(bytes, looper); });
    cycle.queueConfigurationRequests();
    receiveCancelled_.store(false);
    receiveThread_ = std::thread([this, socket, looper] { receiveThread(socket, looper); });
    host_.arbiter.setUnanswered(Transport::network, 0);

    bool stopped = false;
    do {
        if (!pacer_.pause(cycle.step())) stopped = true;
    } while (!stopped && cycle.keepPolling());
    if (!stopped) consoleLine({console::kPollAttemptsTooMany});

    // The receive thread must be gone before its socket closes, so a later
    // pass's socket (perhaps with the same number) is never read by it.
    receiveCancelled_.store(true);
    socket->wake();
    receiveThread_.join();
}

void NetworkLink::receiveThread(std::shared_ptr<UdpSocket> socket, sockaddr_in looper)
{
    Bytes buffer(kMaxDatagram);
    while (!receiveCancelled_.load() && !pacer_.stopRequested()) {
        const UdpSocket::Received got = socket->receiveFrom(buffer);
        if (got.kind == UdpSocket::Received::Kind::failed) return;  // the socket is unusable
        if (got.kind != UdpSocket::Received::Kind::datagram) continue;
        // Only the looper found by discovery is listened to.
        if (!sameHostAndPort(got.sender, looper)) {
            noticeSecondLooper(std::span(buffer).first(got.size), got.sender, looper);
            continue;
        }
        LooperReport report = decodeDatagram(std::span(buffer).first(got.size));
        // The identity text keeps the device line's network form.
        if (const auto* info = std::get_if<InformationReport>(&report))
            host_.reports.showDeviceLine(info->text + " - " + addressText(looper));
        else
            host_.reports.received(Transport::network, std::move(report));
    }
}

void NetworkLink::noticeSecondLooper(std::span<const std::uint8_t> datagram, const sockaddr_in& sender,
                                     const sockaddr_in& looper)
{
    if (secondLooperTold_ || sameHost(sender, looper) || portOf(sender) != options_.port) return;
    const auto name = net::parseIdentityReply(datagram);
    if (!name) return;
    secondLooperTold_ = true;
    consoleLine({"Two loopers answered: " + found().name + " at " + hostText(looper) + ", " + *name + " at " +
                 hostText(sender) + "; using the first"});
}

LooperOnNetwork NetworkLink::found() const
{
    std::lock_guard guard(foundLock_);
    return found_;
}

std::optional<sockaddr_in> NetworkLink::looperAddress() const
{
    const LooperOnNetwork looper = found();
    if (!isAddressSet(looper.address)) return std::nullopt;
    return looper.address;
}

}  // namespace qx
