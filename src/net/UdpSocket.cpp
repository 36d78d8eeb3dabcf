#include "net/UdpSocket.h"

#include "net/SocketAddress.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qx {

std::shared_ptr<UdpSocket> UdpSocket::open()
{
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (descriptor < 0) return nullptr;
    // The option results are not needed: a socket without them still sends,
    // and a receive without the time-out is released by wake().
    const int on = 1;
    ::setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(descriptor, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    const timeval oneSecond{1, 0};
    ::setsockopt(descriptor, SOL_SOCKET, SO_RCVTIMEO, &oneSecond, sizeof oneSecond);
    return std::make_shared<UdpSocket>(descriptor);
}

UdpSocket::~UdpSocket() { ::close(descriptor_); }

bool UdpSocket::sendTo(std::span<const std::uint8_t> bytes, const sockaddr_in& to)
{
    // MSG_NOSIGNAL: a socket already shut down must not raise SIGPIPE.
    const ssize_t sent = ::sendto(descriptor_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (trace_) trace_->record(TrafficTrace::Direction::sent, addressText(to), bytes);
    return sent == static_cast<ssize_t>(bytes.size());
}

UdpSocket::Received UdpSocket::receiveFrom(std::span<std::uint8_t> buffer)
{
    Received result;
    socklen_t length = sizeof result.sender;
    const ssize_t got = ::recvfrom(descriptor_, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&result.sender), &length);
    if (got >= 0) {
        result.kind = Received::Kind::datagram;
        result.size = static_cast<std::size_t>(got);
        // A socket shut down to wake its reader returns an empty read: no datagram.
        if (trace_ && got > 0)
            trace_->record(TrafficTrace::Direction::received, addressText(result.sender), buffer.first(result.size));
    } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT || errno == EINTR) {
        result.kind = Received::Kind::timedOut;
    }
    return result;
}

void UdpSocket::setReceiveWait(std::chrono::microseconds wait)
{
    const auto micros = std::max<std::int64_t>(wait.count(), 1000);
    const timeval time{static_cast<time_t>(micros / 1000000), static_cast<suseconds_t>(micros % 1000000)};
    ::setsockopt(descriptor_, SOL_SOCKET, SO_RCVTIMEO, &time, sizeof time);
}

void UdpSocket::wake() { ::shutdown(descriptor_, SHUT_RD); }

}  // namespace qx
