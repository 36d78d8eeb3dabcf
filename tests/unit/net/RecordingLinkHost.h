#pragma once
// A LinkHost that records every call the network side makes, from any thread.
// Each record reads back as a snapshot, oldest first: host.tracks().
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "common/LinkContracts.h"

namespace qx::test {

template <typename T>
struct Recorded {
    void add(T value) { std::lock_guard guard(lock); items.push_back(std::move(value)); }
    std::vector<T> operator()() const { std::lock_guard guard(lock); return items; }
    mutable std::mutex lock;
    std::vector<T> items;
};

class RecordingLinkHost : public LinkHost {
public:
    bool pollMIDI() override { return pollMIDI_.load(); }
    void setPollMIDI(bool value) override { pollMIDI_.store(value); }
    QXCommandQueue& commandQueue() override { return queue; }
    void handleSysEx(std::span<const std::uint8_t> message) override { sysEx.add(Bytes(message.begin(), message.end())); }
    void showTracks(std::vector<QXStatusStruct> list) override { tracks.add(std::move(list)); }
    void appendLog(std::string text) override { log.add(std::move(text)); }
    void showDeviceLine(std::string text) override { deviceLines.add(std::move(text)); }
    void showProgress(double fraction) override { progress.add(fraction); }
    void setSelectedTrack(std::int64_t track) override { selected.add(track); }
    void upgradeEnded(Outcome outcome) override { outcomes.add(std::move(outcome)); }

    QXCommandQueue queue;
    Recorded<Bytes> sysEx;
    Recorded<std::vector<QXStatusStruct>> tracks;
    Recorded<std::string> log, deviceLines;
    Recorded<double> progress;
    Recorded<std::int64_t> selected;
    Recorded<Outcome> outcomes;

private:
    std::atomic<bool> pollMIDI_{true};
};

}  // namespace qx::test
