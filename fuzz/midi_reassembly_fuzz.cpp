// The MIDI read procedure fed an arbitrary stream of packets. Whatever the
// bytes and however they are split into packets, the messages handed on must
// be exactly those the stream holds once its real-time bytes (0xF8 to 0xFF,
// which may come anywhere) are taken out: for every 0xF7, the bytes back to
// the nearest 0xF0 when only data bytes lie between them, else the lone 0xF7.
#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzSupport.h"
#include "midi/MidiReassembler.h"

namespace {

using qx::Bytes;

// The messages a stream must yield, worked out from the stream as a whole.
std::vector<Bytes> expectedMessages(std::span<const std::uint8_t> received)
{
    Bytes stream;
    for (std::uint8_t b : received)
        if (b < 0xF8) stream.push_back(b);
    std::vector<Bytes> messages;
    for (std::size_t end = 0; end < stream.size(); ++end) {
        if (stream[end] != 0xF7) continue;
        std::size_t start = end;
        while (start > 0 && stream[start - 1] < 0x80) --start;
        if (start > 0 && stream[start - 1] == 0xF0)
            messages.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(start - 1),
                                  stream.begin() + static_cast<std::ptrdiff_t>(end + 1));
        else
            messages.push_back({0xF7});
    }
    return messages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    // The first four bytes choose the packet boundaries; the rest is the stream.
    std::minstd_rand cuts(input.ConsumeIntegral<std::uint32_t>());
    const Bytes stream = input.ConsumeRemainingBytes<std::uint8_t>();

    std::vector<Bytes> delivered;
    qx::MidiReassembler reassembler([&](const Bytes& message) { delivered.push_back(message); });
    std::size_t at = 0;
    while (at < stream.size()) {
        // Packets of 0 to 256 bytes, the data area of one MIDI packet.
        const std::size_t length = std::min<std::size_t>(cuts() % 257, stream.size() - at);
        reassembler.feed(std::span(stream).subspan(at, length));
        at += length;
    }

    for (const Bytes& message : delivered) {
        qx::fuzz::require(!message.empty() && message.back() == 0xF7, "a message ends with 0xF7");
        qx::fuzz::require(message.size() == 1 || message.front() == 0xF0, "a message starts with 0xF0");
        for (std::size_t i = 1; i + 1 < message.size(); ++i)
            qx::fuzz::require(message[i] < 0x80, "only data bytes inside a message");
    }
    qx::fuzz::require(delivered == expectedMessages(stream), "the messages the stream holds, in order");
    return 0;
}
