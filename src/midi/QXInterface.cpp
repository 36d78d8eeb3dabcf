#include "midi/QXInterface.h"

#include "midi/Messages.h"
#include "midi/MidiPollCycle.h"
#include "midi/SysExCodec.h"

namespace qx {

QXInterface::QXInterface(MainQueue& mainQueue, std::unique_ptr<MidiEndpoints> endpoints)
    : mainQueue_(mainQueue),
      endpoints_(std::move(endpoints)),
      reassembler_([this](const Bytes& message) { handleSysEx(message); })
{
    if (endpoints_) {
        destinationNames_ = endpoints_->destinationNames();
        sourceNames_ = endpoints_->sourceNames();
        endpoints_->setReceiver([this](std::span<const std::uint8_t> bytes) { midiReadProc(bytes); });
    }
}

QXInterface::~QXInterface()
{
    stop();
    // No more bytes may reach a half-destroyed object.
    if (endpoints_) endpoints_->setReceiver(nullptr);
}

void QXInterface::start()
{
    if (worker_.joinable()) return;
    worker_ = std::thread([this] { workerLoop(); });
}

void QXInterface::stop()
{
    pacer_.requestStop();
    if (worker_.joinable()) worker_.join();
}

void QXInterface::workerLoop()
{
    MidiPollCycle cycle(*this);
    while (pacer_.pause(cycle.step())) {
    }
}

bool QXInterface::pollMIDI()
{
    std::lock_guard guard(lock_);
    return pollMIDI_;
}

void QXInterface::setPollMIDI(bool value)
{
    std::lock_guard guard(lock_);
    pollMIDI_ = value;
}

void QXInterface::requestEffectsRead()
{
    std::lock_guard guard(lock_);
    triggerPollConfiguration_ = true;
}

void QXInterface::requestEffectsWrite()
{
    std::lock_guard guard(lock_);
    triggerSaveConfiguration_ = true;
}

QXInterface::Triggers QXInterface::takeTriggers()
{
    std::lock_guard guard(lock_);
    Triggers taken{triggerPollConfiguration_, triggerSaveConfiguration_};
    triggerPollConfiguration_ = triggerSaveConfiguration_ = false;
    return taken;
}

void QXInterface::sendMessage(std::span<const std::uint8_t> message)
{
    // A message must fit one packet; none of the looper's messages is longer.
    if (message.empty() || message.size() > sysex::kMaxMessage) return;
    if (pollMIDI()) {
        if (endpoints_) endpoints_->sendToEach(message);
    } else if (network_) {
        network_->sendToLooper(message);
    }
}

void QXInterface::sendEffectsConfiguration()
{
    const auto bank1 = qx2EffectsModel(1);
    const auto bank2 = qx2EffectsModel(2);
    // Both banks travel together; without both models there is nothing to send.
    if (!bank1 || !bank2) return;
    sendMessage(msg::effectsWrite(slotValues(bank1->effects), slotValues(bank2->effects)));
}

void QXInterface::attachEffectsModels(std::shared_ptr<QX2Effects> bank1, std::shared_ptr<QX2Effects> bank2)
{
    std::lock_guard guard(stateLock_);
    qx2EffectsModel1_ = std::move(bank1);
    qx2EffectsModel2_ = std::move(bank2);
}

std::shared_ptr<QX2Effects> QXInterface::qx2EffectsModel(int bank) const
{
    std::lock_guard guard(stateLock_);
    return bank == 1 ? qx2EffectsModel1_ : qx2EffectsModel2_;
}

std::vector<QXStatusStruct> QXInterface::tracksSnapshot() const
{
    std::lock_guard guard(stateLock_);
    return tracks_;
}

void QXInterface::clearTracks()
{
    std::lock_guard guard(stateLock_);
    tracks_.clear();
}

std::array<std::int64_t, 8> QXInterface::effectsBank(int bank) const
{
    std::lock_guard guard(stateLock_);
    return bank == 1 ? effects1_ : effects2_;
}

MiscConfigStruct QXInterface::miscConfigCache() const
{
    std::lock_guard guard(stateLock_);
    return qxMiscConfigCache_;
}

void QXInterface::showTracks(std::vector<QXStatusStruct> tracks)
{
    mainQueue_.post([this, tracks = std::move(tracks)] {
        if (tracksModel) tracksModel->updateFromStatus(tracks);
    });
}

void QXInterface::appendLog(std::string text)
{
    mainQueue_.post([this, text = std::move(text)] {
        if (logModel) logModel->append(text);
    });
}

void QXInterface::showDeviceLine(std::string text)
{
    mainQueue_.post([this, text = std::move(text)] {
        if (qxInfoString) qxInfoString->setText(text);
    });
}

void QXInterface::showLinkState(std::string text)
{
    mainQueue_.post([this, text = std::move(text)] {
        if (linkStateModel && linkStateModel->text() != text) linkStateModel->setText(text);
    });
}

void QXInterface::showProgress(double fraction)
{
    mainQueue_.post([this, fraction] {
        if (completionModel) completionModel->setCompletion(fraction);
    });
}

}  // namespace qx
