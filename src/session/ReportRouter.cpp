#include "session/ReportRouter.h"

#include "common/ConsoleLine.h"
#include "common/ConsoleTexts.h"
#include "protocol/Messages.h"

namespace qx {

ReportRouter::ReportRouter(MainQueue& mainQueue, SessionModels& models, LinkHost host, ReplyTaker transferReply,
                           std::function<void(const Outcome&)> upgradeEnded)
    : mainQueue_(mainQueue), models_(models), host_(host), transferReply_(std::move(transferReply)),
      upgradeEndedHook_(std::move(upgradeEnded))
{
}

void ReportRouter::received(Transport, LooperReport report)
{
    if (auto* tracks = std::get_if<TrackReport>(&report)) {
        takeTracks(*tracks);
    } else if (auto* log = std::get_if<LogReport>(&report)) {
        takeLog(std::move(log->text));
    } else if (auto* info = std::get_if<InformationReport>(&report)) {
        showDeviceLine(info->text + " - MIDI");
    } else if (auto* effects = std::get_if<EffectsReport>(&report)) {
        transferReply_(effects->message);
        if (!latestEffects_->offer(std::move(*effects))) return;
        mainQueue_.post([bank1 = models_.effects1, bank2 = models_.effects2, latest = latestEffects_] {
            if (const auto values = latest->take()) {
                bank1->applyValues(FunctionValues(values->bank1.begin(), values->bank1.end()));
                bank2->applyValues(FunctionValues(values->bank2.begin(), values->bank2.end()));
            }
        });
    } else if (auto* mapping = std::get_if<ButtonMappingReport>(&report)) {
        mainQueue_.post([model = models_.button, code = mapping->code, functions = mapping->functions] {
            model->applyMapping(code, FunctionValues(functions.begin(), functions.end()));
        });
    } else if (auto* block = std::get_if<ButtonBlockReport>(&report)) {
        transferReply_(std::move(block->message));
    } else if (auto* event = std::get_if<ButtonEvent>(&report)) {
        mainQueue_.post(
            [model = models_.button, event = *event] { model->receiveButtonEvent(event.kind, event.number); });
    } else if (auto* settings = std::get_if<SettingsReport>(&report)) {
        mainQueue_.post([model = models_.settings, values = *settings] { model->applyReport(values); });
    }
}

void ReportRouter::takeTracks(const TrackReport& report)
{
    if (report.form == TrackReport::Form::compact) {
        // The network's answer to its status query.
        host_.arbiter.answered(Transport::network);
    } else {
        // The answer to MIDI's status request, whichever way it came. Four or
        // more unanswered requests: the looper is back after a silence and may
        // have changed while away, so its configuration is asked for again.
        // The first answer on a newly gained link asks too, or a looper that
        // answers at once would never show its identity, settings or banks.
        // A late answer while the network holds the link asks nothing and
        // leaves the first contact to MIDI's next turn.
        if (host_.arbiter.holds(Transport::midi)) {
            const bool firstAnswer = host_.arbiter.takeFirstContact();
            if (host_.arbiter.unanswered(Transport::midi) >= 4 || firstAnswer) requestConfiguration();
        }
        host_.arbiter.answered(Transport::midi);
    }
    if (!latestTracks_->offer(report.tracks)) return;
    mainQueue_.post([model = models_.tracks, latest = latestTracks_] {
        if (const auto tracks = latest->take()) model->updateFromStatus(*tracks);
    });
}

void ReportRouter::takeLog(std::string text)
{
    // Text waiting longer than the log keeps loses its front, as the log would.
    const auto join = [](std::string& waiting, std::string&& newer) {
        waiting += newer;
        if (waiting.size() > LogText::kLimit) waiting.erase(0, waiting.size() - LogText::kLimit);
        // A cut inside a character drops the rest of it too (at most three
        // continuation bytes: the text is whole UTF-8).
        std::size_t rest = 0;
        while (rest < 3 && rest < waiting.size() && (static_cast<unsigned char>(waiting[rest]) & 0xC0) == 0x80) ++rest;
        waiting.erase(0, rest);
    };
    if (!pendingLog_->offer(std::move(text), join)) return;
    mainQueue_.post([model = models_.log, pending = pendingLog_] {
        if (const auto text = pending->take()) model->append(*text);
    });
}

void ReportRouter::requestConfiguration()
{
    host_.effects.requestRead();
    host_.commands.enqueue(msg::informationRequest());
    host_.commands.enqueue(msg::settingsSliceRequest(msg::kSlice0));
    host_.commands.enqueue(msg::settingsSliceRequest(msg::kSlice72));
    // A mapping written while the looper was falling silent may be lost: the
    // button shown is asked for again, after the rest.
    mainQueue_.post([model = models_.button] { model->askAgain(); });
    consoleLine({console::kRequestingConfiguration});
}

void ReportRouter::showDeviceLine(std::string text)
{
    mainQueue_.post([model = models_.deviceLine, text = std::move(text)] { model->setText(text); });
}

void ReportRouter::showMidiDevices(std::vector<std::string> names)
{
    mainQueue_.post([model = models_.midiDevices, names = std::move(names)]() mutable { model->set(std::move(names)); });
}

void ReportRouter::showMidiNotice(std::string text)
{
    mainQueue_.post([model = models_.midiNotice, text = std::move(text)] { model->setText(text); });
}

void ReportRouter::showProgress(double fraction)
{
    mainQueue_.post([model = models_.progress, fraction] { model->setCompletion(fraction); });
}

void ReportRouter::upgradeEnded(Outcome outcome)
{
    if (upgradeEndedHook_) upgradeEndedHook_(outcome);
    mainQueue_.post([model = models_.outcome, outcome = std::move(outcome)] { model->set(outcome); });
}

}  // namespace qx
