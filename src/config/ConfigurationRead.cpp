#include "config/ConfigurationRead.h"

#include "protocol/ConfigReports.h"
#include "protocol/Messages.h"
#include "protocol/SysExCodec.h"

namespace qx {
namespace {

constexpr std::size_t kBlock = 8;

// Fills the block's buttons and marks them valid; how many were not valid before.
std::size_t takeBlock(const ButtonBlock& block, ButtonConfigs& buttons)
{
    std::size_t fresh = 0;
    for (std::size_t k = 0; k < block.buttons.size(); ++k) {
        QXButtonConfig& button = buttons[block.first + k];
        button.effects = block.buttons[k];
        if (!button.valid) ++fresh;
        button.valid = true;
    }
    return fresh;
}

bool takeEffects(std::span<const std::uint8_t> message, QX2EffectsConfig& banks)
{
    const auto decoded = decodeEffectsReport(message);
    if (!decoded) return false;
    banks.effects1.assign(decoded->bank1.begin(), decoded->bank1.end());
    banks.effects2.assign(decoded->bank2.begin(), decoded->bank2.end());
    banks.valid = true;
    return true;
}

}  // namespace

void ConfigurationRead::reset()
{
    buttons.fill(QXButtonConfig{});
    banks = QX2EffectsConfig{};
    lastNews_ = timing_.now();
}

void ConfigurationRead::begin()
{
    reset();
    while (!replies.dequeue().empty()) {
    }
    sentSoFar_ = commands_.dequeuedTotal();
}

bool ConfigurationRead::takeReply(std::span<const std::uint8_t> message)
{
    if (message.size() <= sysex::kTypeOffset) return false;
    switch (message[sysex::kTypeOffset]) {
    case msg::kEffects: return takeEffects(message, banks);
    case msg::kButtonReport: {
        const auto block = decodeButtonBlock(message);
        return block && takeBlock(*block, buttons) > 0;
    }
    default: return false;
    }
}

bool ConfigurationRead::runPass()
{
    bool news = false;
    for (Bytes reply = replies.dequeue(); !reply.empty(); reply = replies.dequeue())
        news = takeReply(reply) || news;
    if (news) lastNews_ = timing_.now();

    if (!banks.valid) commands_.enqueue(msg::effectsRequest());

    bool requested = false;
    std::size_t scan = 0;
    while (scan < kButtonCodes) {
        if (buttons[scan].valid) {
            ++scan;
            continue;
        }
        const std::size_t block = scan / kBlock * kBlock;
        commands_.enqueue(msg::buttonMappingRequest(static_cast<std::int64_t>(block), kBlock));
        requested = true;
        scan = block + kBlock;
    }
    return requested;
}

std::optional<double> ConfigurationRead::progressWhileWaiting()
{
    if (const std::uint64_t sent = commands_.dequeuedTotal(); sent != sentSoFar_) {
        sentSoFar_ = sent;
        lastNews_ = timing_.now();
    }
    const std::size_t waiting = commands_.count();
    if (waiting == 0) return std::nullopt;
    const double requests = static_cast<double>(kRequestsPerPass);
    return (requests - static_cast<double>(waiting)) / requests * kReadShare;
}

bool ConfigurationRead::looperSilent() const { return timing_.now() - lastNews_ >= timing_.silenceLimit; }

}  // namespace qx
