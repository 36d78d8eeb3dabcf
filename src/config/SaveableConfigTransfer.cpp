// The transfer itself: passes that take the looper's replies and ask for what
// is still missing, paced by how many requests still wait to be sent.
#include "config/ConfigReports.h"
#include "config/SaveableConfig.h"
#include "midi/Messages.h"
#include "midi/SysExCodec.h"

namespace qx {
namespace {

constexpr std::size_t kBlock = 8;

}  // namespace

void QXSaveableConfig::resetConfig()
{
    btnConfig.fill(QXButtonConfig{});
    qx2EffectsConfig = QX2EffectsConfig{};
    lastNews_ = timing_.now();
}

void QXSaveableConfig::beginTransfer()
{
    resetConfig();
    for (Bytes reply = responseQueue.dequeue(); !reply.empty(); reply = responseQueue.dequeue())
        parseEffectsReport(reply, qx2EffectsConfig);
}

bool QXSaveableConfig::takeReply(std::span<const std::uint8_t> message)
{
    if (message.size() <= sysex::kTypeOffset) return false;
    switch (message[sysex::kTypeOffset]) {
    case msg::kEffects: return parseEffectsReport(message, qx2EffectsConfig);
    case msg::kButtonReport: return takeButtonBlockReport(message, btnConfig) > 0;
    default: return false;
    }
}

bool QXSaveableConfig::runPass()
{
    bool news = false;
    for (Bytes reply = responseQueue.dequeue(); !reply.empty(); reply = responseQueue.dequeue())
        news = takeReply(reply) || news;
    if (news) lastNews_ = timing_.now();

    if (!qx2EffectsConfig.valid) commands_.enqueue(msg::effectsRequest());

    bool requested = false;
    std::size_t scan = 0;
    while (scan < kButtonCodes) {
        if (btnConfig[scan].valid) {
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

std::optional<Seconds> QXSaveableConfig::waitStep()
{
    const std::size_t waiting = commands_.count();
    if (waiting == 0) return std::nullopt;
    const double requests = static_cast<double>(kRequestsPerPass);
    postProgress((requests - static_cast<double>(waiting)) / requests * kReadShare);
    return timing_.wait;
}

bool QXSaveableConfig::looperSilent() const
{
    return timing_.now() - lastNews_ >= timing_.silenceLimit;
}

std::optional<QXSaveableConfig::TransferEnd> QXSaveableConfig::runTransfer()
{
    beginTransfer();
    const std::string kind = savePath ? "saved" : "restored";
    for (;;) {
        if (pacer_->stopRequested()) return std::nullopt;
        if (!runPass()) return TransferEnd{finishTransfer(), 1.0};
        for (;;) {
            if (looperSilent()) {
                savePath.reset();
                openPath.reset();
                return TransferEnd{{false, "The looper did not answer: nothing " + kind}, 0.0};
            }
            const std::optional<Seconds> pause = waitStep();
            if (!pause) break;
            if (!pacer_->pause(*pause)) return std::nullopt;
        }
    }
}

Outcome QXSaveableConfig::finishTransfer()
{
    postProgress(kReadShare);
    Outcome outcome{true, "Configuration read; no file was chosen"};
    if (savePath) outcome = writeConfigurationFile(*savePath);
    else if (openPath) outcome = applyConfigurationFile(*openPath);
    savePath.reset();
    openPath.reset();
    return outcome;
}

}  // namespace qx
