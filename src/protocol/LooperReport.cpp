#include "protocol/LooperReport.h"

#include <algorithm>

#include "common/ConsoleLine.h"
#include "common/ConsoleTexts.h"
#include "protocol/CompactStatus.h"
#include "protocol/StatusReport.h"
#include "protocol/SysExCodec.h"
#include "protocol/TextMessages.h"

namespace qx {
namespace {

constexpr std::size_t kEffectsReportLength = 39;
constexpr std::size_t kButtonBlockReportLength = 137;
constexpr std::size_t kButtonReportLength = 25;
constexpr std::size_t kSliceReportLength = 159;
constexpr std::size_t kButtonEventLength = 9;

LooperReport logText(std::span<const std::uint8_t> message)
{
    // Text that is not valid UTF-8 cannot be shown faithfully; it is dropped.
    auto text = sysex::textToEnd(message);
    if (!text || text->empty()) return {};
    return LogReport{std::move(*text)};
}

LooperReport effects(std::span<const std::uint8_t> message)
{
    // Too short to decode: dropped whole, not even handed to a transfer.
    if (message.size() < kEffectsReportLength) return {};
    EffectsReport report;
    for (std::size_t i = 0; i < 8; ++i) {
        report.bank1[i] = sysex::decodePair(message[6 + 2 * i], message[7 + 2 * i]);
        report.bank2[i] = sysex::decodePair(message[22 + 2 * i], message[23 + 2 * i]);
    }
    report.message.assign(message.begin(), message.end());
    return report;
}

LooperReport buttonReport(std::span<const std::uint8_t> message)
{
    if (message.size() == kButtonBlockReportLength) return ButtonBlockReport{Bytes(message.begin(), message.end())};
    ButtonMappingReport report{.code = sysex::decodePair(message[5], message[6]), .functions = {}};
    for (std::size_t i = 0; i < 8; ++i) report.functions[i] = sysex::decodePair(message[8 + 2 * i], message[9 + 2 * i]);
    return report;
}

LooperReport buttonEvent(std::span<const std::uint8_t> message)
{
    static constexpr std::int64_t kinds[] = {0, 128, 256};
    const std::uint8_t kindCode = message[5];
    return ButtonEvent{.kind = kindCode < 3 ? kinds[kindCode] : -1, .number = message[6]};
}

LooperReport compactStatus(std::span<const std::uint8_t> datagram)
{
    if (datagram.size() != net::kCompactStatusSize)
        consoleLine({console::kStatusBufferCountWrong, static_cast<std::int64_t>(datagram.size())});
    // Without its header the datagram is not a report and no answer.
    const std::optional<std::uint32_t> mark = net::statusFormatMark(datagram);
    if (!mark) return {};
    if (*mark != net::kStatusFormatMark) {
        consoleLine({console::kBadFormatForStatus, static_cast<std::int64_t>(*mark)});
        return {};
    }
    return TrackReport{TrackReport::Form::compact, net::decodeCompactStatus(datagram)};
}

}  // namespace

LooperReport decodeSysEx(std::span<const std::uint8_t> message)
{
    // Messages of other manufacturers, or too short to hold a type, leave no trace.
    if (!sysex::hasLooperEnvelope(message)) return {};
    const std::size_t n = message.size();
    const std::uint8_t t = message[sysex::kTypeOffset];

    if (t == msg::kStatus && n >= kStatusReportLength)
        return TrackReport{TrackReport::Form::sysex, decodeStatusReport(message)};
    if (t == msg::kLog) return logText(message);
    if (t == msg::kEffects) return effects(message);
    if (n == kButtonBlockReportLength || n == kButtonReportLength) {
        if (t == msg::kInfoText) return InformationReport{sysex::textToZero(message)};
        if (t == msg::kButtonReport) return buttonReport(message);
    } else if (t == msg::kInfoText) {
        return InformationReport{sysex::textToZero(message)};
    } else if (n == kSliceReportLength && t == msg::kSliceReport) {
        return decodeSettingsReport(message);
    } else if (n == kButtonEventLength && t == msg::kButtonEvent) {
        return buttonEvent(message);
    }
    consoleLine({console::kUnknownSysEx, Bytes(message.begin(), message.end())});
    return {};
}

LooperReport decodeDatagram(std::span<const std::uint8_t> datagram)
{
    if (datagram.empty()) return {};
    switch (datagram[0]) {
    case 0x00: return compactStatus(datagram);
    case '<':
        if (auto text = net::logReplyText(datagram)) return LogReport{std::move(*text)};
        return {};
    case sysex::kStart: {
        // Checked as the MIDI read procedure checks: data bytes only, up to its closing 0xF7.
        const bool whole = datagram.size() >= 2 && datagram.back() == sysex::kEnd &&
                           std::all_of(datagram.begin() + 1, datagram.end() - 1, [](std::uint8_t b) { return b < 0x80; });
        return whole ? decodeSysEx(datagram) : LooperReport{};
    }
    default: return {};
    }
}

}  // namespace qx
