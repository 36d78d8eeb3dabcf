#include "session/SessionFactory.h"

#include "midi/MidiLink.h"
#include "midi/RtMidiEndpoints.h"
#include "session/IdleNetworkLink.h"
#ifdef QX_HAS_DEMO_LOOPER
#include "sim/InProcessLooper.h"
#endif

namespace qx {

LooperSession::LinkFactory makeLinks(LinkChoice choice)
{
    return [choice = std::move(choice)](LinkHost host) {
        LooperSession::Links links;
        links.midi = std::make_unique<MidiLink>(host, choice.midi ? choice.midi() : nullptr);
        if (choice.network) links.network = std::make_unique<NetworkLink>(host, *choice.network);
        else links.network = std::make_unique<IdleNetworkLink>(host);
        return links;
    };
}

std::unique_ptr<LooperSession> makeSystemSession(MainQueue& mainQueue, const SessionOptions& options)
{
    (void)options;  // TODO(issue 14): device choice, trace, verbosity
    return std::make_unique<LooperSession>(
        mainQueue, makeLinks({.midi = [] { return openSystemMidiEndpoints(); }, .network = NetworkLink::Options{}}));
}

std::unique_ptr<LooperSession> makeDemoSession(MainQueue& mainQueue, const SessionOptions& options)
{
    (void)options;
#ifdef QX_HAS_DEMO_LOOPER
    return std::make_unique<LooperSession>(mainQueue,
                                           makeLinks({.midi = [] { return sim::makeDemoEndpoints(); }, .network = {}}));
#else
    (void)mainQueue;
    return nullptr;
#endif
}

MidiPortList listSystemMidiPorts(const SessionOptions& options)
{
    (void)options;  // TODO(issue 14)
    return {};
}

}  // namespace qx
