#include "protocol/ConfigReports.h"

#include "protocol/SysExCodec.h"

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

msg::Bank bankAt(std::span<const std::uint8_t> message, std::size_t offset)
{
    msg::Bank bank{};
    for (std::size_t i = 0; i < bank.size(); ++i)
        bank[i] = sysex::decodePair(message[offset + 2 * i], message[offset + 2 * i + 1]);
    return bank;
}

}  // namespace

std::optional<ButtonBlock> decodeButtonBlock(std::span<const std::uint8_t> message)
{
    if (!hasType(message, msg::kButtonReport) || message.size() <= kSlotsOffset) return std::nullopt;
    const std::size_t count = message[kCountOffset];
    if (count == 0) return std::nullopt;
    const auto first =
        static_cast<std::size_t>(sysex::decodePair(message[kFirstCodeOffset], message[kFirstCodeOffset + 1]));
    const std::size_t slotsEnd = kSlotsOffset + kBytesPerButton * count;
    if (slotsEnd > message.size() - 1) return std::nullopt;
    if (first >= kButtonCodes || count > kButtonCodes - first) return std::nullopt;

    ButtonBlock block{.first = first, .buttons = {}};
    for (std::size_t k = 0; k < count; ++k)
        block.buttons.push_back(bankAt(message, kSlotsOffset + kBytesPerButton * k));
    return block;
}

std::optional<EffectBanks> decodeEffectsReport(std::span<const std::uint8_t> message)
{
    if (!hasType(message, msg::kEffects) || message.size() < kEffectsReportLength) return std::nullopt;
    return EffectBanks{bankAt(message, kBank1Offset), bankAt(message, kBank2Offset)};
}

}  // namespace qx
