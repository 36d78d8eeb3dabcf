#pragma once
// A MIDI endpoint set that records what is sent and lets a test deliver bytes
// as if a source had sent them.
#include <mutex>
#include <string>
#include <vector>

#include "midi/MidiEndpoints.h"

namespace qx::test {

class FakeMidiEndpoints : public MidiEndpoints {
public:
    explicit FakeMidiEndpoints(std::vector<std::string> destinations = {"looper"})
        : destinations_(std::move(destinations)) {}

    void setReceiver(Receiver receiver) override
    {
        std::lock_guard guard(lock_);
        receiver_ = std::move(receiver);
    }
    std::vector<std::string> destinationNames() const override { return destinations_; }
    std::vector<std::string> sourceNames() const override { return {"looper"}; }
    void sendToEach(std::span<const std::uint8_t> message) override
    {
        std::lock_guard guard(lock_);
        for (const auto& name : destinations_) sent_.push_back({name, Bytes(message.begin(), message.end())});
    }

    void deliver(const Bytes& bytes)
    {
        Receiver receiver;
        {
            std::lock_guard guard(lock_);
            receiver = receiver_;
        }
        if (receiver) receiver(bytes);
    }

    struct Sent {
        std::string destination;
        Bytes message;
    };
    std::vector<Sent> sent() const
    {
        std::lock_guard guard(lock_);
        return sent_;
    }
    std::vector<Bytes> messages() const
    {
        std::vector<Bytes> out;
        for (const auto& s : sent()) out.push_back(s.message);
        return out;
    }
    void clear()
    {
        std::lock_guard guard(lock_);
        sent_.clear();
    }

private:
    std::vector<std::string> destinations_;
    mutable std::mutex lock_;
    Receiver receiver_;
    std::vector<Sent> sent_;
};

}  // namespace qx::test
