#include "net/QXNetworkInterface.h"

#include "common/ConsoleLine.h"
#include "net/NetPollCycle.h"
#include "net/TextMessages.h"

namespace qx {
namespace {

constexpr double kWaitForLink = 1.0;  // while MIDI holds the link

}  // namespace

QXNetworkInterface::QXNetworkInterface(LinkHost& host) : QXNetworkInterface(host, Options{}) {}

QXNetworkInterface::QXNetworkInterface(LinkHost& host, Options options)
    : host_(host), options_(std::move(options))
{
}

QXNetworkInterface::~QXNetworkInterface() { stop(); }

void QXNetworkInterface::start()
{
    if (networkThread_.joinable() || pacer_.stopRequested()) return;
    networkThread_ = std::thread([this] { threadNetwork(); });
}

void QXNetworkInterface::stop()
{
    pacer_.requestStop();
    // Release threads blocked in a receive; a socket opened after this point
    // sees the stop request as soon as it is published.
    std::shared_ptr<UdpSocket> current, upgrade;
    {
        std::lock_guard guard(foundLock_);
        current = qxDesc;
        upgrade = upgradeSocket_;
    }
    if (current) current->wake();
    if (upgrade) upgrade->wake();
    if (networkThread_.joinable()) networkThread_.join();
    if (upgradeThread_.joinable()) upgradeThread_.join();
}

void QXNetworkInterface::threadNetwork()
{
    while (networkPass()) {
    }
}

void QXNetworkInterface::publishSocket(std::shared_ptr<UdpSocket> socket)
{
    std::lock_guard guard(foundLock_);
    qxDesc = std::move(socket);
    qxID.clear();
    qxAddr = sockaddr_in{};
    currentInterface.reset();
}

bool QXNetworkInterface::networkPass()
{
    while (host_.pollMIDI())
        if (!pacer_.pause(Seconds(kWaitForLink))) return false;

    interfaceAddrs = options_.enumerate();
    if (interfaceAddrs.empty()) host_.setPollMIDI(true);

    // A socket that cannot be opened is a pass that finds no looper.
    std::shared_ptr<UdpSocket> socket = options_.openSocket();
    publishSocket(socket);
    if (socket && !pacer_.stopRequested()) discover(*socket);

    const std::optional<sockaddr_in> looper = looperAddress();
    if (looper && !pacer_.stopRequested()) {
        host_.showDeviceLine(looperID() + " - " + addressText(*looper));
        pollingLoop(socket, *looper);
    }

    host_.setPollMIDI(true);
    // The receive thread has been joined; dropping the last references closes
    // the socket. What was found stays readable until the next pass.
    {
        std::lock_guard guard(foundLock_);
        qxDesc.reset();
    }
    socket.reset();
    return !pacer_.stopRequested();
}

void QXNetworkInterface::discover(UdpSocket& socket)
{
    Bytes buffer(kMaxDatagram);
    for (const AddrPairs& entry : interfaceAddrs) {
        socket.sendTo(net::bytesOf(net::kIdentityQuery), makeSockaddr(entry.bcast, options_.port));
        // Whatever arrives first within the time-out is the one examined.
        const UdpSocket::Received got = socket.receiveFrom(buffer);
        if (pacer_.stopRequested()) return;
        if (got.kind != UdpSocket::Received::Kind::datagram) continue;
        const auto id = net::parseIdentityReply(std::span(buffer).first(got.size));
        if (!id) continue;
        std::lock_guard guard(foundLock_);
        qxID = *id;
        qxAddr = got.sender;
        currentInterface = entry;
        return;
    }
}

void QXNetworkInterface::pollingLoop(const std::shared_ptr<UdpSocket>& socket, const sockaddr_in& looper)
{
    NetPollCycle cycle(*this, host_, [&](std::span<const std::uint8_t> bytes) { sendQuery(*socket, looper, bytes); });
    cycle.queueSettingsRequests();
    receiveCancelled_.store(false);
    receiveThread_ = std::thread([this, socket, looper] { receiveThread(socket, looper); });
    resetPollAttempts();

    bool stopped = false;
    do {
        if (!pacer_.pause(cycle.step())) stopped = true;
    } while (!stopped && cycle.keepPolling());
    if (!stopped) consoleLine({"pollAttempts too many"});

    // The receive thread must be gone before its socket closes, so a later
    // pass's socket (perhaps with the same number) is never read by it.
    receiveCancelled_.store(true);
    socket->wake();
    receiveThread_.join();
}

void QXNetworkInterface::sendQuery(UdpSocket& socket, const sockaddr_in& looper, std::span<const std::uint8_t> bytes)
{
    socket.sendTo(bytes, looper);
}

void QXNetworkInterface::sendToLooper(std::span<const std::uint8_t> message)
{
    std::shared_ptr<UdpSocket> socket;
    sockaddr_in looper{};
    {
        std::lock_guard guard(foundLock_);
        socket = qxDesc;
        looper = qxAddr;
    }
    if (socket && isAddressSet(looper)) socket->sendTo(message, looper);
}

std::optional<sockaddr_in> QXNetworkInterface::looperAddress() const
{
    std::lock_guard guard(foundLock_);
    if (!isAddressSet(qxAddr)) return std::nullopt;
    return qxAddr;
}

std::string QXNetworkInterface::looperID() const
{
    std::lock_guard guard(foundLock_);
    return qxID;
}

std::optional<AddrPairs> QXNetworkInterface::foundInterface() const
{
    std::lock_guard guard(foundLock_);
    return currentInterface;
}

std::int64_t QXNetworkInterface::pollAttemptsNow() const
{
    std::lock_guard guard(lock);
    return pollAttempts;
}

std::int64_t QXNetworkInterface::addPollAttempt()
{
    std::lock_guard guard(lock);
    return ++pollAttempts;
}

void QXNetworkInterface::resetPollAttempts()
{
    std::lock_guard guard(lock);
    pollAttempts = 0;
}

bool QXNetworkInterface::pollingPausedNow() const
{
    std::lock_guard guard(lock);
    return pollingPaused;
}

void QXNetworkInterface::setPollingPaused(bool paused)
{
    std::lock_guard guard(lock);
    pollingPaused = paused;
}

}  // namespace qx
