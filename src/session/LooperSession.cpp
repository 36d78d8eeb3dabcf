#include "session/LooperSession.h"

#include "common/ConsoleLine.h"
#include "common/ConsoleTexts.h"
#include "protocol/Messages.h"
#include "protocol/UpgradeFile.h"

namespace qx {
namespace {

Bytes effectsWrite(const SessionModels& models)
{
    return msg::effectsWrite(slotValues(models.effects1->effects), slotValues(models.effects2->effects));
}

}  // namespace

LooperSession::LooperSession(MainQueue& mainQueue, const LinkFactory& makeLinks, TransferTiming timing)
    : models_(commands_),
      arbiter_([&mainQueue, status = models_.linkStatus](const LinkState& state) {
          mainQueue.post([status, state] { status->set(state); });
      }),
      effects_([models = models_] { return effectsWrite(models); }),
      transfer_(commands_, mainQueue, gate_,
                {.progress = [model = models_.progress](double fraction) { model->setCompletion(fraction); },
                 .mapping = [model = models_.button](std::int64_t code, const FunctionValues& values) {
                     model->applyMapping(code, values);
                 },
                 .outcome = [model = models_.outcome](const Outcome& outcome) { model->set(outcome); }},
                std::move(timing)),
      router_(mainQueue, models_, linkHost(), [this](Bytes reply) { transfer_.takeReply(std::move(reply)); },
              [this](const Outcome& upgrade) {
                  gate_.leave();
                  // The device line shows the version the looper now runs.
                  if (upgrade.success) commands_.enqueue(msg::informationRequest());
              }),
      edits_(models_, commands_, effects_),
      links_(makeLinks(linkHost()))
{
}

LooperSession::~LooperSession() { stop(); }

void LooperSession::start()
{
    links_.midi->start();
    links_.network->start();
    consoleLine({console::kStartFunction});
}

void LooperSession::stop()
{
    transfer_.stop();
    links_.network->stop();
    links_.midi->stop();
}

Outcome LooperSession::upgrade(const std::string& path)
{
    auto file = readUpgradeFile(path);
    if (auto* reason = std::get_if<std::string>(&file)) return {false, "Upgrade refused: " + *reason};
    Bytes contents = std::move(std::get<Bytes>(file));

    const Transport over = arbiter_.holder();
    if (over == Transport::midi) {
        // Messages go out only while the looper is being polled; loaded before
        // that, the file would wait, holding the progress bar, for a looper
        // that may never answer.
        if (arbiter_.state().phase != LinkState::Phase::pollingMidi || arbiter_.unanswered(Transport::midi) > 1)
            return {false, "Upgrade refused: no looper is answering on MIDI"};
        if (auto fault = checkSysExUpgrade(contents))
            return {false, "Upgrade refused: " + path + " is not a SysEx upgrade file (" + *fault + ")"};
    }
    TransferGate::Hold hold = gate_.enter("upgrade");
    if (!hold) {
        const std::string holder = gate_.holder();
        const std::string why = holder == "upgrade" ? "an upgrade is already running" : "a " + holder + " is running";
        return {false, "Upgrade refused: " + why};
    }
    if (auto refusal = link(over).startUpgrade(std::move(contents))) return {false, *refusal};
    hold.handOver();  // the upgrade's end leaves the gate
    return {true, "Upgrade started: " + path};
}

Outcome LooperSession::save(const std::string& path)
{
    if (auto refusal = transfer_.save(path)) return {false, *refusal};
    return {true, "Saving the device configuration to " + path};
}

Outcome LooperSession::restore(const std::string& path)
{
    if (auto refusal = transfer_.restore(path)) return {false, *refusal};
    return {true, "Restoring the device configuration from " + path};
}

Outcome LooperSession::cancelTransfer() { return transfer_.cancel(); }

}  // namespace qx
