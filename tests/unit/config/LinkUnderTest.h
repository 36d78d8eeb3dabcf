#pragma once
// A link controller with no worker thread and no network: the test feeds it
// the looper's messages, runs the UI-thread hand-offs by hand, and reads what
// was queued for the looper or sent straight to the MIDI destinations.
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/ConsoleLine.h"
#include "common/MainQueue.h"
#include "midi/MidiEndpoints.h"
#include "midi/QXInterface.h"

namespace qx::test {

class RecordingEndpoints : public MidiEndpoints {
public:
    void setReceiver(Receiver) override {}
    std::vector<std::string> destinationNames() const override { return {"looper"}; }
    std::vector<std::string> sourceNames() const override { return {"looper"}; }
    void sendToEach(std::span<const std::uint8_t> message) override
    {
        std::lock_guard guard(lock_);
        sent_.emplace_back(message.begin(), message.end());
    }
    std::vector<Bytes> takeSent()
    {
        std::lock_guard guard(lock_);
        return std::exchange(sent_, {});
    }

private:
    std::mutex lock_;
    std::vector<Bytes> sent_;
};

class LinkUnderTest {
public:
    LinkUnderTest()
    {
        auto endpoints = std::make_unique<RecordingEndpoints>();
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
    std::vector<Bytes> takeSent() { return endpoints_->takeSent(); }

    ManualMainQueue mainQueue;
    std::unique_ptr<QXInterface> link;

private:
    RecordingEndpoints* endpoints_ = nullptr;
};

// Collects console lines while it lives.
class ConsoleCapture {
public:
    ConsoleCapture()
    {
        setConsoleSink([this](const std::string& line) {
            std::lock_guard guard(lock_);
            lines_.push_back(line);
        });
    }
    ~ConsoleCapture() { setConsoleSink({}); }
    std::vector<std::string> lines()
    {
        std::lock_guard guard(lock_);
        return lines_;
    }

private:
    std::mutex lock_;
    std::vector<std::string> lines_;
};

}  // namespace qx::test
