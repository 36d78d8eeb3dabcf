#pragma once
// A link controller with no worker thread and no network: the test feeds it
// the looper's messages, runs the UI-thread hand-offs by hand, and reads what
// was queued for the looper or sent straight to the MIDI destinations.
#include <memory>
#include <vector>

#include "common/MainQueue.h"
#include "midi/QXInterface.h"
#include "support/FakeMidiEndpoints.h"

namespace qx::test {

class LinkUnderTest {
public:
    LinkUnderTest()
    {
        auto endpoints = std::make_unique<FakeMidiEndpoints>();
        endpoints_ = endpoints.get();
        link = std::make_unique<QXInterface>(mainQueue, std::move(endpoints));
    }

    // One message from the looper, decoded on this thread, then the hand-offs
    // it posted run as the UI thread would run them.
    void receive(const Bytes& message)
    {
        link->handleSysEx(message);
        mainQueue.drain();
    }
    // Everything waiting in the command queue, oldest first.
    std::vector<Bytes> takeQueued()
    {
        std::vector<Bytes> out;
        for (Bytes m = link->cmdQueue.dequeue(); !m.empty(); m = link->cmdQueue.dequeue()) out.push_back(m);
        return out;
    }
    // What went straight to the MIDI destinations (the effects write).
    std::vector<Bytes> takeSent()
    {
        auto sent = endpoints_->messages();
        endpoints_->clear();
        return sent;
    }

    ManualMainQueue mainQueue;
    std::unique_ptr<QXInterface> link;

private:
    FakeMidiEndpoints* endpoints_ = nullptr;
};

}  // namespace qx::test
