#include "midi/MidiLink.h"

#include "midi/MidiPollCycle.h"
#include "protocol/SysExCodec.h"

namespace qx {

MidiLink::MidiLink(LinkHost host, std::unique_ptr<MidiEndpoints> endpoints)
    : host_(host),
      endpoints_(std::move(endpoints)),
      reassembler_([this](const Bytes& message) {
          if (host_.trace) host_.trace->record(TrafficTrace::Direction::received, "MIDI", message);
          host_.reports.received(Transport::midi, decodeSysEx(message));
      })
{
    if (endpoints_)
        endpoints_->setReceiver([this](std::span<const std::uint8_t> bytes) { midiReadProc(bytes); });
}

std::vector<std::string> MidiLink::destinations() const
{
    return endpoints_ ? endpoints_->destinationNames() : std::vector<std::string>{};
}

std::vector<std::string> MidiLink::sources() const
{
    return endpoints_ ? endpoints_->sourceNames() : std::vector<std::string>{};
}

void MidiLink::chooseMidiDevice(const std::string& device)
{
    if (endpoints_) endpoints_->chooseDevice(device);
}

MidiLink::~MidiLink()
{
    stop();
    // No more bytes or port news may reach a half-destroyed object.
    if (endpoints_) {
        endpoints_->setReceiver(nullptr);
        endpoints_->setDevicesListener(nullptr);
    }
}

void MidiLink::start()
{
    if (worker_.joinable()) return;
    if (endpoints_) {
        // Said once: the network side carries on alone.
        if (const std::string reason = endpoints_->noMidiReason(); !reason.empty())
            host_.reports.showMidiNotice(reason);
        endpoints_->setDevicesListener(
            [this](std::vector<std::string> devices) { host_.reports.showMidiDevices(std::move(devices)); });
    }
    worker_ = std::thread([this] { workerLoop(); });
}

void MidiLink::stop()
{
    pacer_.requestStop();
    if (worker_.joinable()) worker_.join();
}

void MidiLink::workerLoop()
{
    MidiPollCycle cycle(*this);
    while (pacer_.pause(cycle.step())) {
    }
}

bool MidiLink::sendMessage(std::span<const std::uint8_t> message)
{
    // A message must fit one packet; none of the looper's messages is longer.
    if (message.empty() || message.size() > sysex::kMaxMessage || !endpoints_) return false;
    if (!endpoints_->sendToEach(message)) return false;
    if (host_.trace) traceSent(message);  // only what went out
    return true;
}

void MidiLink::traceSent(std::span<const std::uint8_t> message)
{
    std::string link = "MIDI";
    const char* separator = " ";
    for (const auto& port : endpoints_->destinationNames()) {
        link += separator + port;
        separator = ", ";
    }
    host_.trace->record(TrafficTrace::Direction::sent, link, message);
}

std::optional<std::string> MidiLink::startUpgrade(Bytes contents)
{
    if (upgrade_.inProgress()) return std::string("Upgrade refused: an upgrade is already running");
    upgrade_.load(std::move(contents));
    return std::nullopt;
}

void MidiLink::sendUpgradeMessage()
{
    const std::int64_t length = upgrade_.length();
    const MidiUpgrade::Step step = upgrade_.next();
    if (!step.message.empty() && !sendMessage(step.message)) {
        upgrade_.release();
        host_.reports.upgradeEnded({false, "Upgrade stopped: the looper's MIDI port went away at message " +
                                               std::to_string(step.number) + " of " +
                                               std::to_string(upgrade_.messageCount())});
        return;
    }
    if (!step.message.empty()) host_.reports.showProgress(step.progress);
    // Nothing acknowledges a message: the looper answering again says it took them.
    if (step.finished)
        upgrade_.awaitAnswer(length, host_.arbiter.answers(Transport::midi), MidiUpgrade::Clock::now());
    else if (step.abandoned)
        host_.reports.upgradeEnded({false, "Upgrade stopped: the file is not a sequence of SysEx messages"});
}

void MidiLink::checkUpgradeAnswer()
{
    const auto outcome = upgrade_.answerOutcome(host_.arbiter.answers(Transport::midi), MidiUpgrade::Clock::now());
    if (outcome) host_.reports.upgradeEnded(*outcome);
}

void MidiLink::dropUnsentUpgrade()
{
    if (!upgrade_.inProgress()) return;
    upgrade_.release();
    const std::int64_t sent = upgrade_.messagesSent();
    host_.reports.upgradeEnded(
        {false, "Upgrade stopped: the looper stopped answering on MIDI " +
                    (sent == 0 ? std::string("before it began; nothing was sent")
                               : "after message " + std::to_string(sent) + " of " +
                                     std::to_string(upgrade_.messageCount()))});
}

}  // namespace qx
