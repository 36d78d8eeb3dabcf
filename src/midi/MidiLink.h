#pragma once
// The MIDI link: the system's MIDI destinations and sources (or the in-process
// looper, or a test double), the read procedure that rebuilds SysEx messages
// from any split of the bytes, and the worker that searches for the looper,
// polls it, sends a firmware upgrade message by message and hands the link to
// the network side when MIDI stays silent.
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "common/Pacer.h"
#include "midi/MidiEndpoints.h"
#include "midi/MidiReassembler.h"
#include "midi/MidiUpgrade.h"
#include "transport/Link.h"

namespace qx {

class MidiLink final : public Link {
public:
    // Takes the endpoints (none is a normal start: the network side then gets
    // the link). Nothing is sent until start().
    MidiLink(LinkHost host, std::unique_ptr<MidiEndpoints> endpoints);
    ~MidiLink() override;
    MidiLink(const MidiLink&) = delete;
    MidiLink& operator=(const MidiLink&) = delete;

    void start() override;
    void stop() override;
    // The file goes out one message per polling cycle, while the looper is
    // polled; the caller has checked that it is a SysEx upgrade file.
    std::optional<std::string> startUpgrade(Bytes contents) override;

    LinkHost& host() { return host_; }
    // The read procedure: every byte from any MIDI source.
    void midiReadProc(std::span<const std::uint8_t> bytes) { reassembler_.feed(bytes); }
    // Worker thread: one message to every destination; false when it could
    // not go out (no destination, or a port went away).
    bool sendMessage(std::span<const std::uint8_t> message);
    // Worker thread: the next upgrade message; after the last one, whether
    // the looper has answered again yet; and, when MIDI polling ends before
    // an upgrade began, its end.
    bool upgradeInProgress() const { return upgrade_.inProgress(); }
    void sendUpgradeMessage();
    void checkUpgradeAnswer();
    void dropUnsentUpgrade();

    void chooseMidiDevice(const std::string& device) override;

    // The ports in use now.
    std::vector<std::string> destinations() const;
    std::vector<std::string> sources() const;

private:
    void workerLoop();
    void traceSent(std::span<const std::uint8_t> message);

    LinkHost host_;
    std::unique_ptr<MidiEndpoints> endpoints_;
    MidiReassembler reassembler_;
    MidiUpgrade upgrade_;
    Pacer pacer_;
    std::thread worker_;
};

}  // namespace qx
