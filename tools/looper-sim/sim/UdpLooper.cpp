#include "sim/UdpLooper.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "sim/DeliveryQueue.h"

namespace qx::sim {
namespace {

// Large enough for any datagram; the panel's biggest is a 516-byte slice.
constexpr std::size_t kMaxDatagram = 65536;

std::runtime_error systemError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

sockaddr_in makeAddress(in_addr address, std::uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr = address;
    return sa;
}

// Shared sockets let two simulated loopers on one segment both hear its
// broadcast address; each of them gets every broadcast datagram.
int boundSocket(const sockaddr_in& address, bool shared = false)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (fd < 0) throw systemError("socket");
    const int on = 1;
    if ((shared && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) ||
        bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        auto error = systemError("bind " + std::string(inet_ntoa(address.sin_addr)) + ":" +
                                 std::to_string(ntohs(address.sin_port)));
        close(fd);
        throw error;
    }
    return fd;
}

std::uint16_t localPort(int fd)
{
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    return ntohs(bound.sin_port);
}

// The broadcast address of the interface that owns this address, if it has one.
std::optional<in_addr> broadcastOf(in_addr address)
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::optional<in_addr> found;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_netmask) continue;
        if (!(entry->ifa_flags & IFF_BROADCAST)) continue;
        const auto* own = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        const auto* mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
        if (own->sin_addr.s_addr != address.s_addr) continue;
        in_addr broadcast{};
        broadcast.s_addr = own->sin_addr.s_addr | ~mask->sin_addr.s_addr;
        found = broadcast;
        break;
    }
    freeifaddrs(list);
    return found;
}

// Where button events go: the last sender heard from. Shared with the event
// listener, which may run once more after the looper's sockets are gone.
struct LastPeer {
    std::mutex lock;
    std::optional<sockaddr_in> address;
};

}  // namespace

struct UdpLooper::Sockets {
    std::shared_ptr<LooperEngine> engine;
    int main = -1;       // bound to the given address
    int broadcast = -1;  // bound to the interface's broadcast address, or -1
    int reply = -1;      // bound to the reply port of the given address, or -1
    int wake[2] = {-1, -1};
    std::uint16_t port = 0;
    std::uint16_t replyPort = 0;
    std::optional<in_addr> broadcastAddress;
    std::shared_ptr<DeliveryQueue> queue;
    int listenerId = 0;
    std::shared_ptr<LastPeer> lastPeer = std::make_shared<LastPeer>();
    std::thread receiver;

    void sendTo(const Bytes& bytes, const sockaddr_in& peer) const
    {
        // A lost datagram is the panel's problem to notice, as on a real network.
        const int from = reply >= 0 ? reply : main;
        (void)sendto(from, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    }

    void receiveFrom(int fd, Bytes& buffer)
    {
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        const ssize_t n = recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&peer),
                                   &peerLength);
        if (n < 0 || peer.sin_family != AF_INET) return;
        {
            std::lock_guard guard(lastPeer->lock);
            lastPeer->address = peer;
        }
        const std::span<const std::uint8_t> datagram(buffer.data(), static_cast<std::size_t>(n));
        for (Reply& reply : engine->receiveDatagram(datagram))
            queue->post(reply.delay, [this, peer, bytes = std::move(reply.bytes)] { sendTo(bytes, peer); });
    }

    // Whatever reaches the reply port is heard too, so a journal shows every
    // datagram sent to this looper, wherever it was aimed.
    void receiveLoop()
    {
        Bytes buffer(kMaxDatagram);
        pollfd fds[4] = {{wake[0], POLLIN, 0}, {main, POLLIN, 0}};
        nfds_t count = 2;
        for (int fd : {broadcast, reply})
            if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
        for (;;) {
            if (poll(fds, count, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[0].revents) return;  // stop requested
            for (nfds_t i = 1; i < count; ++i)
                if (fds[i].revents & POLLIN) receiveFrom(fds[i].fd, buffer);
        }
    }

    void closeAll()
    {
        for (int fd : {main, broadcast, reply, wake[0], wake[1]})
            if (fd >= 0) close(fd);
        main = broadcast = reply = wake[0] = wake[1] = -1;
    }
};

UdpLooper::UdpLooper(std::shared_ptr<LooperEngine> engine, const std::string& address, std::uint16_t port,
                     std::optional<std::uint16_t> replyPort)
    : sockets_(std::make_unique<Sockets>())
{
    Sockets& s = *sockets_;
    s.engine = std::move(engine);
    in_addr host{};
    if (inet_pton(AF_INET, address.c_str(), &host) != 1) throw std::runtime_error("not an IPv4 address: " + address);
    try {
        s.main = boundSocket(makeAddress(host, port));
        s.port = s.replyPort = localPort(s.main);
        // Bound to 0.0.0.0 the socket hears broadcasts already; bound to one
        // address it does not, so the interface's broadcast gets a socket too.
        if (host.s_addr != htonl(INADDR_ANY)) {
            s.broadcastAddress = broadcastOf(host);
            if (s.broadcastAddress) s.broadcast = boundSocket(makeAddress(*s.broadcastAddress, s.port), true);
        }
        if (replyPort) {
            s.reply = boundSocket(makeAddress(host, *replyPort));
            s.replyPort = localPort(s.reply);
        }
        if (pipe2(s.wake, O_CLOEXEC) != 0) throw systemError("pipe");
    } catch (...) {
        s.closeAll();
        throw;
    }
    s.queue = std::make_shared<DeliveryQueue>();
    std::weak_ptr<DeliveryQueue> queue = s.queue;
    Sockets* self = &s;
    s.listenerId = s.engine->addEventListener([queue, self, lastPeer = s.lastPeer](const Bytes& event) {
        std::optional<sockaddr_in> peer;
        {
            std::lock_guard guard(lastPeer->lock);
            peer = lastPeer->address;
        }
        // The queue stops (and drops what is posted later) before the sockets
        // close, so an action that runs finds them open.
        if (auto live = queue.lock(); live && peer)
            live->post(std::chrono::milliseconds(0), [self, event, to = *peer] { self->sendTo(event, to); });
    }, Transport::Udp);
    s.receiver = std::thread([self] { self->receiveLoop(); });
}

UdpLooper::~UdpLooper()
{
    Sockets& s = *sockets_;
    s.engine->removeEventListener(s.listenerId);
    const char stop = 1;
    (void)!write(s.wake[1], &stop, 1);  // a full pipe already wakes it
    s.receiver.join();
    s.queue->stop();
    s.closeAll();
}

std::uint16_t UdpLooper::port() const { return sockets_->port; }

std::uint16_t UdpLooper::replyPort() const { return sockets_->replyPort; }

std::string UdpLooper::broadcastAddress() const
{
    if (!sockets_->broadcastAddress) return {};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &*sockets_->broadcastAddress, text, sizeof text);
    return text;
}

}  // namespace qx::sim
