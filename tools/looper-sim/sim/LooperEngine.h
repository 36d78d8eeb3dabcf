#pragma once
// The simulated looper's protocol engine: one looper with its own state
// (tracks playing against a clock, configuration memory, 384 button mappings,
// two effect banks, a firmware receiver), answering the panel's SysEx
// messages and network queries with the looper's replies. Transports feed it
// and send what it returns. Thread-safe: every call takes the engine's own
// lock for its duration, and callbacks run after the lock is released.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "sim/ButtonMappings.h"
#include "sim/FaultPlan.h"
#include "sim/Flood.h"
#include "sim/Journal.h"
#include "sim/PendingLog.h"
#include "sim/Reply.h"
#include "sim/SettingsMemory.h"
#include "sim/SimClock.h"
#include "sim/TrackDeck.h"
#include "sim/UpgradeReceiver.h"

namespace qx::sim {

struct EngineOptions {
    int tracks = 4;                        // 4 or 8
    std::string name = "QX Looper Sim";    // the answer to the network identity query
    std::string identity = "QX2 Sim 1.0";  // the information text
    std::uint64_t seed = 1;                // for the faults' random choices
    std::shared_ptr<const SimClock> clock; // a real-time clock when empty
    std::size_t journalCapacity = 4096;
    bool defaultScene = true;              // start with the demo scene, else all empty
};

class LooperEngine {
public:
    explicit LooperEngine(EngineOptions options = {});
    LooperEngine(const LooperEngine&) = delete;
    LooperEngine& operator=(const LooperEngine&) = delete;

    // One complete SysEx message from MIDI; returns the replies in order.
    std::vector<Reply> receiveMidi(std::span<const std::uint8_t> message);
    // One datagram (text query, SysEx message or upgrade slice); returns the
    // datagrams to send back to its sender, in order.
    std::vector<Reply> receiveDatagram(std::span<const std::uint8_t> datagram);

    // Messages the looper sends unprompted (button events, floods) go to every
    // listener, on the thread that caused them. A flood comes in the form of
    // the listener's transport.
    using EventListener = std::function<void(const Bytes& message)>;
    int addEventListener(EventListener listener, Transport transport = Transport::Midi);
    void removeEventListener(int id);
    // A pedal press: kind code (0 program change, 1 control change, 2 note)
    // and number, each below 0x80. False for values that cannot be sent. A
    // silent looper sends nothing.
    bool pressButton(int kindCode, int number);

    // Sends a flood to the listeners, packet by packet, paced per transport
    // (kMidiFloodRate, kUdpFloodRate and kUdpFloodDatagrams), and returns once
    // the last packet has been handed to them; a silent looper sends nothing.
    // Runs on the caller's thread and never holds the engine's lock while it
    // waits, so the looper keeps answering meanwhile; but not on MIDI while
    // one long SysEx message goes out there, since a reply inside it would
    // end it.
    struct FloodSent {
        std::uint64_t midiBytes = 0;
        std::uint64_t udpBytes = 0;
        std::uint64_t udpDatagrams = 0;
        Nanos from{0}, to{0};  // on the engine's clock, as the journal's times
    };
    FloodSent flood(FloodKind kind, std::uint64_t count);
    // Bytes a second: a JACK client's outgoing ring buffer of 16 KB is emptied
    // once a period (5.3 ms on the tests' server), about 3 MB/s, and the
    // sender must stay well below that or the replies queue behind the flood.
    static constexpr double kMidiFloodRate = 1'500'000;
    static constexpr double kUdpFloodRate = 4'000'000;
    static constexpr double kUdpFloodDatagrams = 5'000;

    // Tracks (1-based numbers), played on to the clock's present.
    std::vector<SimTrack> tracks();
    int selectedTrack();
    int trackCount() const { return trackCount_; }
    bool setTrackState(int track, TrackState state);
    bool setTrack(int track, const SimTrack& value);
    bool selectTrack(int track);
    // Adds text to the log the panel fetches next.
    void appendLog(std::string_view text);

    MiscSettings settings();
    SliceData slice(std::uint8_t number);
    FunctionSlots mapping(int code);
    bool setMapping(int code, const FunctionSlots& slots);
    EffectBanks effects();
    UpgradeImage upgradeImage();

    Faults faults();
    void setFaults(const Faults& faults);

    std::vector<JournalEntry> journal();
    // Every received message also goes to the sink as a journal line (the
    // executable prints them); an empty function stops it.
    void setJournalSink(std::function<void(const std::string& line)> sink);

    const std::string& name() const { return name_; }
    const std::string& identity() const { return identity_; }

private:
    // What one incoming message causes: replies to requests and queries, and
    // upgrade transfer control (start requests, acknowledgements).
    struct Outgoing {
        std::vector<Reply> answers;
        std::vector<Reply> transfer;
    };

    // Called with lock_ held.
    void advanceLocked();
    std::vector<Reply> receiveLocked(Transport transport, std::span<const std::uint8_t> bytes);
    Outgoing answerSysExLocked(std::span<const std::uint8_t> message);
    Outgoing answerDatagramLocked(std::span<const std::uint8_t> datagram);
    Outgoing answerTextLocked(std::string_view text);
    Outgoing answerSliceLocked(std::span<const std::uint8_t> datagram);

    const std::string name_;
    const std::string identity_;
    const int trackCount_;
    const std::shared_ptr<const SimClock> clock_;

    std::mutex lock_;
    TrackDeck deck_;
    PendingLog log_;
    SettingsMemory settings_;
    ButtonMappings mappings_;
    EffectBanks effects_;
    UpgradeReceiver upgrade_;
    FaultPlan faults_;
    Journal journal_;
    std::shared_ptr<const std::function<void(const std::string&)>> journalSink_;
    struct Listener {
        std::shared_ptr<const EventListener> call;
        Transport transport;
    };
    std::map<int, Listener> listeners_;
    bool midiBusy_ = false;  // one long SysEx message is going out on MIDI
    int nextListenerId_ = 1;
};

}  // namespace qx::sim
