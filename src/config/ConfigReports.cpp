#include "config/ConfigReports.h"

#include "midi/Messages.h"
#include "midi/SysExCodec.h"

namespace qx {
namespace {

constexpr std::size_t kFirstCodeOffset = 5;
constexpr std::size_t kCountOffset = 7;
constexpr std::size_t kSlotsOffset = 8;
constexpr std::size_t kBytesPerButton = 16;
constexpr std::size_t kEffectsReportLength = 39;
constexpr std::size_t kBank1Offset = 6;
constexpr std::size_t kBank2Offset = 22;

bool hasType(std::span<const std::uint8_t> message, std::uint8_t type)
{
    return sysex::hasLooperEnvelope(message) && message[sysex::kTypeOffset] == type;
}

FunctionValues bankAt(std::span<const std::uint8_t> message, std::size_t offset)
{
    FunctionValues bank(8);
    for (std::size_t i = 0; i < bank.size(); ++i)
        bank[i] = sysex::decodePair(message[offset + 2 * i], message[offset + 2 * i + 1]);
    return bank;
}

}  // namespace

std::size_t takeButtonBlockReport(std::span<const std::uint8_t> message, ButtonConfigs& buttons)
{
    if (!hasType(message, msg::kButtonReport) || message.size() <= kSlotsOffset) return 0;
    const std::size_t count = message[kCountOffset];
    if (count == 0) return 0;
    const auto first = static_cast<std::size_t>(sysex::decodePair(message[kFirstCodeOffset], message[kFirstCodeOffset + 1]));
    // The slots must end before the closing byte, and every code must exist;
    // otherwise nothing of the report can be trusted.
    const std::size_t slotsEnd = kSlotsOffset + kBytesPerButton * count;
    if (slotsEnd > message.size() - 1) return 0;
    if (first >= kButtonCodes || count > kButtonCodes - first) return 0;

    std::size_t fresh = 0;
    for (std::size_t k = 0; k < count; ++k) {
        QXButtonConfig& button = buttons[first + k];
        const std::size_t at = kSlotsOffset + kBytesPerButton * k;
        for (std::size_t i = 0; i < button.effects.size(); ++i)
            button.effects[i] = sysex::decodePair(message[at + 2 * i], message[at + 2 * i + 1]);
        if (!button.valid) ++fresh;
        button.valid = true;
    }
    return fresh;
}

bool parseEffectsReport(std::span<const std::uint8_t> message, QX2EffectsConfig& banks)
{
    if (!hasType(message, msg::kEffects) || message.size() < kEffectsReportLength) return false;
    banks.effects1 = bankAt(message, kBank1Offset);
    banks.effects2 = bankAt(message, kBank2Offset);
    banks.valid = true;
    return true;
}

}  // namespace qx
