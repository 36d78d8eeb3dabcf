// The common decoder: every complete SysEx message from either link ends here.
#include "common/ConsoleLine.h"
#include "midi/Messages.h"
#include "midi/QXInterface.h"
#include "midi/StatusReport.h"
#include "midi/SysExCodec.h"

namespace qx {

void QXInterface::handleSysEx(std::span<const std::uint8_t> message)
{
    // Messages of other manufacturers, or too short to hold a type, leave no trace.
    if (!sysex::hasLooperEnvelope(message)) return;
    const std::size_t n = message.size();
    const std::uint8_t t = message[sysex::kTypeOffset];

    if (t == msg::kStatus && n >= kStatusReportLength) return handleStatusReport(message);
    if (t == msg::kLog) return handleLogText(message);
    if (t == msg::kEffects) return handleEffectsReport(message);
    if (n == 137 || n == 25) {
        if (t == msg::kInfoText) return handleInformationText(message);
        if (t == msg::kButtonReport) return handleButtonReport(message);
    } else if (t == msg::kInfoText) {
        return handleInformationText(message);
    } else if (n == 159 && t == msg::kSliceReport) {
        return handleSettingsSlice(message);
    } else if (n == 9 && t == msg::kButtonEvent) {
        return handleButtonEvent(message);
    }
    consoleLine({"Unknown sysex ", Bytes(message.begin(), message.end())});
}

void QXInterface::handleStatusReport(std::span<const std::uint8_t> message)
{
    const StatusReport report = decodeStatusReport(message);
    ntracks.store(report.trackCount);
    selectedTrack.store(report.selectedTrack);
    {
        std::lock_guard guard(stateLock_);
        tracks_ = report.tracks;
    }
    showTracks(report.tracks);

    // Four or more unanswered requests: the looper is back after a silence and
    // may have changed while away, so its configuration is asked for again.
    // The first answer on a newly gained link asks too, or a looper that
    // answers at once would never show its identity, settings or effect banks.
    const bool firstAnswer = firstContact.exchange(false);
    if (pollTries.load() >= 4 || firstAnswer) {
        requestEffectsRead();
        cmdQueue.enqueue(msg::informationRequest());
        cmdQueue.enqueue(msg::settingsSliceRequest(msg::kSlice0));
        cmdQueue.enqueue(msg::settingsSliceRequest(msg::kSlice72));
        consoleLine({"Requesting configuration"});
    }
    pollTries.store(0);
}

void QXInterface::handleLogText(std::span<const std::uint8_t> message)
{
    // Text that is not valid UTF-8 cannot be shown faithfully; it is dropped.
    auto text = sysex::textToEnd(message);
    if (!text || text->empty()) return;
    appendLog(std::move(*text));
}

void QXInterface::handleInformationText(std::span<const std::uint8_t> message)
{
    showDeviceLine(sysex::textToZero(message) + " - MIDI");
}

}  // namespace qx
