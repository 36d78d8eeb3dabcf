// The looper's side of the network protocol: text queries, SysEx messages in
// datagrams, and the firmware transfer in numbered slices.
#include <charconv>
#include <string_view>

#include "sim/CompactStatus.h"
#include "sim/LooperEngine.h"

namespace qx::sim {
namespace {

// Log text per reply; the panel reads datagrams of up to 2048 bytes.
constexpr std::size_t kMaxLogTextOverUdp = 1500;

constexpr std::string_view kUpgradeOpen = "<command>upgrade ";
constexpr std::string_view kUpgradeClose = "</command>";

Bytes textBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes startRequest() { return Bytes{0x00, 0x01}; }

Bytes acknowledgement(int slice)
{
    return Bytes{0x00, 0x04, static_cast<std::uint8_t>((slice >> 8) & 0xFF), static_cast<std::uint8_t>(slice & 0xFF)};
}

// Tolerates a trailing line end or zero byte, as typed by hand.
std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.back() == '\0' || text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

std::optional<std::int64_t> announcedSize(std::string_view text)
{
    if (!text.starts_with(kUpgradeOpen) || !text.ends_with(kUpgradeClose)) return std::nullopt;
    const std::string_view digits = text.substr(kUpgradeOpen.size(), text.size() - kUpgradeOpen.size() - kUpgradeClose.size());
    std::int64_t size = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return size;
}

}  // namespace

LooperEngine::Outgoing LooperEngine::answerDatagramLocked(std::span<const std::uint8_t> d)
{
    if (d.empty()) return {};
    if (d[0] == 0xF0) return answerSysExLocked(d);
    if (d[0] == 0x00) return answerSliceLocked(d);
    return answerTextLocked(std::string_view(reinterpret_cast<const char*>(d.data()), d.size()));
}

LooperEngine::Outgoing LooperEngine::answerTextLocked(std::string_view received)
{
    Outgoing out;
    const std::string_view text = trimmed(received);
    if (text == "<query>id</query>") {
        out.answers.push_back({textBytes("<id>" + name_ + "</id>")});
    } else if (text == "<query>status compact</query>") {
        out.answers.push_back({compactStatus(deck_.tracks(), deck_.selected())});
    } else if (text == "<query>log</query>") {
        // The panel drops the first 5 and the last 7 characters: "<log>" and
        // "</log>" with the zero byte.
        const std::string log = log_.take(kMaxLogTextOverUdp);
        if (!log.empty()) {
            Bytes bytes = textBytes("<log>" + log + "</log>");
            bytes.push_back(0x00);
            out.answers.push_back({std::move(bytes)});
        }
    } else if (const auto size = announcedSize(text)) {
        if (upgrade_.announce(*size) && *size > 0) out.transfer.push_back({startRequest()});
    }
    return out;
}

LooperEngine::Outgoing LooperEngine::answerSliceLocked(std::span<const std::uint8_t> d)
{
    Outgoing out;
    // Only slices (00 03, number, data) come this way from the panel.
    if (d.size() < 4 || d[1] != 0x03) return out;
    const int number = (d[2] << 8) | d[3];
    switch (upgrade_.acceptSlice(number, d.subspan(4))) {
    case UpgradeReceiver::SliceVerdict::Stored:
        if (faults_.takeRestart(number)) {
            upgrade_.restart();
            out.transfer.push_back({startRequest()});
        } else {
            out.transfer.push_back({acknowledgement(number)});
        }
        break;
    case UpgradeReceiver::SliceVerdict::Duplicate:
        out.transfer.push_back({acknowledgement(number)});
        break;
    case UpgradeReceiver::SliceVerdict::Unexpected:
        break;
    }
    return out;
}

}  // namespace qx::sim
