#include "sim/Flood.h"

#include <algorithm>
#include <cstdio>

#include "protocol/Messages.h"
#include "protocol/SysExCodec.h"
#include "sim/CompactStatus.h"
#include "sim/LooperReplies.h"

namespace qx::sim {
namespace {

constexpr std::size_t kLineLength = kFloodLineLength;
// Log text per reply: one 256-byte message on MIDI; on UDP the datagram
// around it ("<log>", "</log>" and a zero byte) stays within kDatagram.
constexpr std::size_t kLogTextOverMidi = sysex::kMaxMessage - 6;
constexpr std::size_t kLogTextOverUdp = FloodStream::kDatagram - 12;
// The huge message is a log reply in the looper's envelope: whatever part of
// it got through would land in the panel's log.
constexpr std::uint8_t kHugeHeader[] = {sysex::kStart, 0x00, 0x02, 0x33, msg::kLog};

}  // namespace

std::optional<FloodKind> parseFloodKind(std::string_view word)
{
    if (word == "effects") return FloodKind::Effects;
    if (word == "status") return FloodKind::Status;
    if (word == "log") return FloodKind::Log;
    if (word == "sysex") return FloodKind::SysEx;
    if (word == "sysex-noend") return FloodKind::SysExNoEnd;
    return std::nullopt;
}

std::string floodLine(std::uint64_t number)
{
    char head[32];
    std::snprintf(head, sizeof head, "flood log line %08llu ", static_cast<unsigned long long>(number));
    std::string line(head);
    line.resize(kLineLength - 1, '.');
    return line;
}

std::string floodText(std::uint64_t offset, std::size_t length)
{
    std::string text;
    text.reserve(length);
    for (std::uint64_t at = offset; text.size() < length;) {
        const std::string line = floodLine(at / kLineLength) + '\n';
        const std::size_t from = at % kLineLength;
        const std::size_t take = std::min(kLineLength - from, length - text.size());
        text.append(line, from, take);
        at += take;
    }
    return text;
}

FloodStream::FloodStream(FloodKind kind, std::uint64_t count, Transport transport, FloodScene scene)
    : kind_(kind), count_(count), transport_(transport), scene_(std::move(scene))
{
}

Bytes FloodStream::next()
{
    if (kind_ == FloodKind::SysEx || kind_ == FloodKind::SysExNoEnd)
        return nextPiece(transport_ == Transport::Midi ? kMidiPacket : kDatagram);
    if (transport_ == Transport::Udp) return nextReport();
    Bytes packet = std::move(held_);
    held_.clear();
    for (Bytes report; packet.size() < kMidiPacket && !(report = nextReport()).empty();) {
        if (packet.size() + report.size() > kMidiPacket) {
            held_ = std::move(report);
            break;
        }
        packet.insert(packet.end(), report.begin(), report.end());
    }
    return packet;
}

Bytes FloodStream::nextReport()
{
    if (made_ >= count_) return {};
    switch (kind_) {
    case FloodKind::Effects:
        ++made_;
        return reply::effectsReport(scene_.effects);
    case FloodKind::Status: {
        // Every report moves the loops on, so none repeats the one before.
        std::vector<SimTrack> tracks = scene_.tracks;
        for (SimTrack& t : tracks)
            if (t.length > 0) t.position = (t.position + static_cast<std::int64_t>(made_ % 1'000'000) * 97) % t.length;
        ++made_;
        return transport_ == Transport::Midi ? reply::statusReport(scene_.trackCount, scene_.selected, tracks)
                                             : compactStatus(tracks, scene_.selected);
    }
    case FloodKind::Log: {
        const std::size_t limit = transport_ == Transport::Midi ? kLogTextOverMidi : kLogTextOverUdp;
        const std::string text = floodText(made_, static_cast<std::size_t>(std::min<std::uint64_t>(limit, count_ - made_)));
        made_ += text.size();
        if (transport_ == Transport::Midi) return reply::logText(text);
        const std::string datagram = "<log>" + text + "</log>";
        Bytes bytes(datagram.begin(), datagram.end());
        bytes.push_back(0x00);
        return bytes;
    }
    case FloodKind::SysEx:
    case FloodKind::SysExNoEnd: break;
    }
    return {};
}

Bytes FloodStream::nextPiece(std::size_t limit)
{
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(limit, count_ - made_));
    Bytes piece;
    piece.reserve(length);
    const bool closed = kind_ == FloodKind::SysEx;
    // Text fills everything but the header and the closing byte.
    const std::uint64_t from = made_;
    const std::uint64_t textFrom = std::max<std::uint64_t>(from, sizeof kHugeHeader);
    const std::uint64_t textEnd = std::max(textFrom, std::min(from + length, closed ? count_ - 1 : count_));
    const std::string text = floodText(textFrom - sizeof kHugeHeader, static_cast<std::size_t>(textEnd - textFrom));
    for (std::uint64_t at = from; at < from + length; ++at) {
        if (closed && at == count_ - 1) piece.push_back(sysex::kEnd);
        else if (at < sizeof kHugeHeader) piece.push_back(kHugeHeader[at]);
        else piece.push_back(static_cast<std::uint8_t>(text[at - textFrom]));
    }
    made_ += length;
    return piece;
}

}  // namespace qx::sim
