// The network receive thread: every datagram from the looper is dispatched by
// its first byte.
#include "common/ConsoleLine.h"
#include "net/CompactStatus.h"
#include "net/QXNetworkInterface.h"
#include "net/TextMessages.h"

namespace qx {

void QXNetworkInterface::receiveThread(std::shared_ptr<UdpSocket> socket, sockaddr_in looper)
{
    Bytes buffer(kMaxDatagram);
    while (!receiveCancelled_.load() && !pacer_.stopRequested()) {
        const UdpSocket::Received got = socket->receiveFrom(buffer);
        if (got.kind == UdpSocket::Received::Kind::failed) return;  // the socket is unusable
        if (got.kind != UdpSocket::Received::Kind::datagram) continue;
        // Only the looper found by discovery is listened to.
        if (!sameHostAndPort(got.sender, looper)) continue;
        dispatchDatagram(std::span(buffer).first(got.size));
    }
}

void QXNetworkInterface::dispatchDatagram(std::span<const std::uint8_t> datagram)
{
    if (datagram.empty()) return;
    switch (datagram[0]) {
    case 0x00:
        decodeStatus(datagram);
        break;
    case '<':
        if (auto text = net::logReplyText(datagram)) host_.appendLog(std::move(*text));
        break;
    case 0xF0:
        host_.handleSysEx(datagram);
        break;
    default:
        break;
    }
}

void QXNetworkInterface::decodeStatus(std::span<const std::uint8_t> datagram)
{
    if (datagram.size() != net::kCompactStatusSize)
        consoleLine({"Status buffer count wrong", static_cast<std::int64_t>(datagram.size())});
    // Without its header the datagram is not a report and no answer.
    const std::optional<std::uint32_t> mark = net::statusFormatMark(datagram);
    if (!mark) return;
    if (*mark != net::kStatusFormatMark) {
        consoleLine({"Bad format for status", static_cast<std::int64_t>(*mark)});
        return;
    }
    resetPollAttempts();
    net::CompactStatus report = net::decodeCompactStatus(datagram);
    host_.showTracks(std::move(report.tracks));
    host_.setSelectedTrack(report.selectedTrack);
}

}  // namespace qx
