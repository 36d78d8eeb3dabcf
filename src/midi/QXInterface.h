#pragma once
// The central link controller: the MIDI side of the connection to the looper,
// the common decoder of every SysEx message, the worker that polls the looper
// and decides which link is live, and the references to the models the links
// fill.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <span>
#include <thread>
#include <vector>

#include "common/LinkContracts.h"
#include "common/MainQueue.h"
#include "common/Outcome.h"
#include "common/Pacer.h"
#include "common/TransferGate.h"
#include "common/QXCommandQueue.h"
#include "config/MIDIButtonConfig.h"
#include "config/MiscConfig.h"
#include "config/QX2Effects.h"
#include "midi/MidiEndpoints.h"
#include "midi/MidiReassembler.h"
#include "midi/MidiUpgrade.h"
#include "model/DisplayModels.h"
#include "model/Tracks.h"

namespace qx {

class QXInterface : public LinkHost {
public:
    // Records the endpoints (none is a normal start: the network side then gets
    // the link). Nothing runs until start().
    QXInterface(MainQueue& mainQueue, std::unique_ptr<MidiEndpoints> endpoints);
    ~QXInterface() override;
    QXInterface(const QXInterface&) = delete;
    QXInterface& operator=(const QXInterface&) = delete;

    void attachNetwork(NetworkSide* network) { network_ = network; }
    // Where configuration replies go for the saved-configuration transfer.
    // Atomic: MIDI bytes may already be arriving when the queue is attached.
    void attachResponseQueue(QXCommandQueue* responseQueue) { responseQueue_.store(responseQueue); }

    // Starts the worker thread that runs the polling cycle; stop() ends it.
    void start();
    void stop();

    // LinkHost
    bool pollMIDI() override;
    void setPollMIDI(bool value) override;
    QXCommandQueue& commandQueue() override { return cmdQueue; }
    void handleSysEx(std::span<const std::uint8_t> message) override;
    void showTracks(std::vector<QXStatusStruct> tracks) override;
    void appendLog(std::string text) override;
    void showDeviceLine(std::string text) override;
    void showProgress(double fraction) override;
    void setSelectedTrack(std::int64_t track) override { selectedTrack.store(track); }
    void upgradeEnded(Outcome outcome) override;
    void showLinkState(std::string text) override;

    // The read procedure: every byte from any MIDI source.
    void midiReadProc(std::span<const std::uint8_t> bytes) { reassembler_.feed(bytes); }
    // Sends one message over the live link (worker thread only).
    void sendMessage(std::span<const std::uint8_t> message);
    // Builds the effects write from both effect banks and sends it.
    void sendEffectsConfiguration();

    // The effects read and write requests that the polling cycle acts on.
    void requestEffectsRead();
    void requestEffectsWrite();
    struct Triggers { bool poll = false; bool save = false; };
    Triggers takeTriggers();

    // Starts a firmware upgrade over the live link (UI thread): over MIDI the
    // checked file goes out one message per polling cycle; over the network it
    // is handed to the network side. Returns the reason when it is refused.
    std::optional<std::string> loadUpgradeFile(const std::string& path);
    // Worker thread: the next upgrade message, once per polling cycle.
    void sendUpgradeMessage();
    MidiUpgrade& upgrade() { return upgrade_; }
    // Upgrades and configuration transfers take turns through this gate.
    void attachTransferGate(TransferGate* gate) { gate_ = gate; }
    // Told (on the UI thread) how a MIDI upgrade ended.
    void setUpgradeOutcomeHandler(OutcomeHandler handler) { upgradeOutcome_ = std::move(handler); }

    // Snapshots of what the last reports said (any thread).
    std::vector<QXStatusStruct> tracksSnapshot() const;
    std::array<std::int64_t, 8> effectsBank(int bank) const;
    MiscConfigStruct miscConfigCache() const;
    void clearTracks();

    QXCommandQueue cmdQueue;
    std::atomic<std::int64_t> pollTries{1};
    std::atomic<std::int64_t> ntracks{0};
    std::atomic<std::int64_t> selectedTrack{0};
    // True while the worker is polling an answering looper over MIDI.
    std::atomic<bool> midiPolling{false};
    // True until the first status report after the MIDI link was (re)gained:
    // that report asks for the looper's configuration, like one after a silence.
    std::atomic<bool> firstContact{true};

    // Models, attached and read on the UI thread only.
    std::shared_ptr<Tracks> tracksModel;
    std::shared_ptr<CompletionPercent> completionModel;
    std::shared_ptr<ObservableText> qxInfoString;
    std::shared_ptr<LogText> logModel;
    std::shared_ptr<ObservableText> linkStateModel;  // for the status bar
    std::shared_ptr<MIDIButtonConfig> qxMIDIButtons;
    std::shared_ptr<MiscConfigModel> qxMiscConfig;
    // The effect banks are also read by the worker for the effects write.
    void attachEffectsModels(std::shared_ptr<QX2Effects> bank1, std::shared_ptr<QX2Effects> bank2);
    std::shared_ptr<QX2Effects> qx2EffectsModel(int bank) const;

    MainQueue& mainQueue() { return mainQueue_; }
    const std::vector<std::string>& destinations() const { return destinationNames_; }
    const std::vector<std::string>& sources() const { return sourceNames_; }

private:
    void handleStatusReport(std::span<const std::uint8_t> message);
    void handleLogText(std::span<const std::uint8_t> message);
    void handleInformationText(std::span<const std::uint8_t> message);
    void handleEffectsReport(std::span<const std::uint8_t> message);
    void handleButtonReport(std::span<const std::uint8_t> message);
    void handleButtonEvent(std::span<const std::uint8_t> message);
    void handleSettingsSlice(std::span<const std::uint8_t> message);
    void workerLoop();

    MainQueue& mainQueue_;
    std::unique_ptr<MidiEndpoints> endpoints_;
    std::vector<std::string> destinationNames_;
    std::vector<std::string> sourceNames_;
    NetworkSide* network_ = nullptr;
    std::atomic<QXCommandQueue*> responseQueue_{nullptr};
    MidiReassembler reassembler_;
    MidiUpgrade upgrade_;
    TransferGate* gate_ = nullptr;
    OutcomeHandler upgradeOutcome_;  // UI thread only

    // Guards exactly the three flags below.
    std::mutex lock_;
    bool pollMIDI_ = true;
    bool triggerPollConfiguration_ = false;
    bool triggerSaveConfiguration_ = false;

    // Guards the last decoded reports and the effect bank references.
    mutable std::mutex stateLock_;
    std::vector<QXStatusStruct> tracks_;
    std::array<std::int64_t, 8> effects1_{};
    std::array<std::int64_t, 8> effects2_{};
    MiscConfigStruct qxMiscConfigCache_{};
    std::shared_ptr<QX2Effects> qx2EffectsModel1_;
    std::shared_ptr<QX2Effects> qx2EffectsModel2_;

    Pacer pacer_;
    std::thread worker_;
};

}  // namespace qx
