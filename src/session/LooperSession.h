#pragma once
// One looper session: the front door of the panel. It owns every model, the
// outgoing command queue, the arbiter of which link is live, the
// configuration transfer and the user's edits, and runs the MIDI link and the
// network link. The window and qxctl take the models from it, subscribe to
// them, and call its commands; nothing else reaches a link.
#include <functional>
#include <memory>
#include <string>

#include "common/MainQueue.h"
#include "common/Outcome.h"
#include "common/QXCommandQueue.h"
#include "common/TransferGate.h"
#include "config/ConfigurationTransfer.h"
#include "session/EditCycle.h"
#include "session/ReportRouter.h"
#include "session/SessionModels.h"
#include "transport/Link.h"

namespace qx {

class LooperSession {
public:
    struct Links {
        std::unique_ptr<Link> midi;
        std::unique_ptr<Link> network;
    };
    // Makes the two links on what the session lends them.
    using LinkFactory = std::function<Links(LinkHost host)>;

    // Updates reach the models through mainQueue, which must outlive the session.
    LooperSession(MainQueue& mainQueue, const LinkFactory& makeLinks, TransferTiming timing = {});
    ~LooperSession();
    LooperSession(const LooperSession&) = delete;
    LooperSession& operator=(const LooperSession&) = delete;

    // Starts the MIDI link, then the network link, then says "Start function".
    void start();
    // Ends a running save or restore and every link thread.
    void stop();

    SessionModels& models() { return models_; }
    EditCycle& edits() { return edits_; }

    // The long commands (UI thread): started, with the words to show, or
    // refused with the reason. How a started one ends reaches models().outcome.
    Outcome upgrade(const std::string& path);
    Outcome save(const std::string& path);
    Outcome restore(const std::string& path);
    // Ends a running save or restore at once: a save writes nothing, a
    // restore's writes that have not gone out are taken back.
    Outcome cancelTransfer();
    // Restricts MIDI to one device's ports (empty: every port), so that a
    // firmware file or a write never reaches another instrument.
    void chooseMidiDevice(const std::string& device) { links_.midi->chooseMidiDevice(device); }
    // "upgrade", "save" or "restore" while one runs (a restore until its
    // writes have gone out), else empty.
    std::string running() const { return gate_.holder(); }
    // Messages still waiting to go to the looper (a restore's writes leave
    // one per polling cycle after it ended).
    std::size_t queuedForLooper() const { return commands_.count(); }
    // A mark after every message queued so far; sent(mark) once they have all left.
    std::uint64_t queuedSoFar() const { return commands_.enqueuedTotal(); }
    bool sent(std::uint64_t mark) const { return commands_.dequeuedTotal() >= mark; }

    // What the links share, for tests and tools that stand in for a link.
    LinkHost linkHost() { return {commands_, arbiter_, effects_, router_}; }
    LinkArbiter& arbiter() { return arbiter_; }
    Link& link(Transport transport) { return transport == Transport::midi ? *links_.midi : *links_.network; }

private:
    QXCommandQueue commands_;
    SessionModels models_;
    LinkArbiter arbiter_;
    EffectsRequests effects_;
    TransferGate gate_;
    ConfigurationTransfer transfer_;
    ReportRouter router_;
    EditCycle edits_;
    Links links_;  // last: stopped and gone before what they use
};

}  // namespace qx
