#include "session/SessionFactory.h"

#include "midi/MidiLink.h"
#include "midi/SystemMidiEndpoints.h"
#include "session/IdleNetworkLink.h"
#ifdef QX_HAS_DEMO_LOOPER
#include "sim/InProcessLooper.h"
#endif

namespace qx {

LooperSession::LinkFactory makeLinks(LinkChoice choice)
{
    return [choice = std::move(choice)](LinkHost host) {
        host.trace = choice.trace;
        LooperSession::Links links;
        links.midi = std::make_unique<MidiLink>(host, choice.midi ? choice.midi() : nullptr);
        if (choice.network) links.network = std::make_unique<NetworkLink>(host, *choice.network);
        else links.network = std::make_unique<IdleNetworkLink>(host);
        return links;
    };
}

namespace {

SystemMidiOptions midiOptions(const SessionOptions& options)
{
    return {.clientName = "REDOVIVevorev", .device = options.midiDevice, .verbose = options.verbose};
}

std::shared_ptr<TrafficTrace> traceFor(const SessionOptions& options)
{
    return options.tracePath.empty() ? nullptr : TrafficTrace::open(options.tracePath);
}

}  // namespace

std::unique_ptr<LooperSession> makeSystemSession(MainQueue& mainQueue, const SessionOptions& options)
{
    return std::make_unique<LooperSession>(
        mainQueue, makeLinks({.midi = [midi = midiOptions(options)] { return openSystemMidiEndpoints(midi); },
                              .network = NetworkLink::Options{},
                              .trace = traceFor(options)}));
}

std::unique_ptr<LooperSession> makeDemoSession(MainQueue& mainQueue, const SessionOptions& options)
{
#ifdef QX_HAS_DEMO_LOOPER
    return std::make_unique<LooperSession>(
        mainQueue,
        makeLinks({.midi = [] { return sim::makeDemoEndpoints(); }, .network = {}, .trace = traceFor(options)}));
#else
    (void)mainQueue;
    (void)options;
    return nullptr;
#endif
}

MidiPortList listSystemMidiPorts(const SessionOptions& options)
{
    const auto endpoints = openSystemMidiEndpoints(midiOptions(options));
    return {endpoints->destinationNames(), endpoints->sourceNames(), endpoints->noMidiReason()};
}

}  // namespace qx
