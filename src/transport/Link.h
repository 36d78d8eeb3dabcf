#pragma once
// The contract both links keep with the session that runs them, and what the
// session lends a link: the outgoing queue, the arbiter, the effects requests
// and a sink for what the looper says.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Bytes.h"
#include "common/LinkState.h"
#include "common/Outcome.h"
#include "common/QXCommandQueue.h"
#include "common/TrafficTrace.h"
#include "protocol/LooperReport.h"
#include "transport/EffectsRequests.h"
#include "transport/LinkArbiter.h"

namespace qx {

// Where a link hands what it hears; called on the link's own threads.
class ReportSink {
public:
    virtual ~ReportSink() = default;
    virtual void received(Transport from, LooperReport report) = 0;
    // The identity line, when the network side finds the looper.
    virtual void showDeviceLine(std::string text) = 0;
    // Upgrade progress, 0 to 1, and how the upgrade ended.
    virtual void showProgress(double fraction) = 0;
    virtual void upgradeEnded(Outcome outcome) = 0;
    // The MIDI devices present now, after every change; and, once, why
    // there is no MIDI at all.
    virtual void showMidiDevices(std::vector<std::string> names) = 0;
    virtual void showMidiNotice(std::string text) = 0;
};

struct LinkHost {
    QXCommandQueue& commands;  // messages for the looper, in order, sent by the link that holds it
    LinkArbiter& arbiter;
    EffectsRequests& effects;
    ReportSink& reports;
    // Every message sent and received, when the user asked for a trace.
    std::shared_ptr<TrafficTrace> trace = nullptr;
};

class Link {
public:
    virtual ~Link() = default;
    // Starts the link's threads; stop() ends and joins them.
    virtual void start() = 0;
    virtual void stop() = 0;
    // Starts sending a checked firmware file over this link; the reason when
    // it cannot. The caller holds the transfer gate; the link reports the end
    // through the sink's upgradeEnded.
    virtual std::optional<std::string> startUpgrade(Bytes contents) = 0;
    // Restricts the link to one MIDI device's ports (empty: every port).
    // Only the MIDI link has ports.
    virtual void chooseMidiDevice(const std::string& /*device*/) {}
};

}  // namespace qx
