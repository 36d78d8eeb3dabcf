#pragma once
// A LinkHost that records every call the network side makes, from any thread.
#include <mutex>
#include <string>
#include <vector>

#include "common/LinkContracts.h"

namespace qx::test {

class RecordingLinkHost : public LinkHost {
public:
    bool pollMIDI() override { return copy(pollMIDI_); }
    void setPollMIDI(bool value) override
    {
        std::lock_guard guard(lock_);
        pollMIDI_ = value;
    }
    QXCommandQueue& commandQueue() override { return queue; }
    void handleSysEx(std::span<const std::uint8_t> message) override { add(sysEx_, Bytes(message.begin(), message.end())); }
    void showTracks(std::vector<QXStatusStruct> tracks) override { add(tracks_, std::move(tracks)); }
    void appendLog(std::string text) override { add(log_, std::move(text)); }
    void showDeviceLine(std::string text) override { add(deviceLines_, std::move(text)); }
    void showProgress(double fraction) override { add(progress_, fraction); }
    void setSelectedTrack(std::int64_t track) override { add(selected_, track); }
    void upgradeEnded(Outcome outcome) override { add(outcomes_, std::move(outcome)); }

    // Snapshots of what was recorded, oldest first.
    std::vector<Bytes> sysEx() const { return copy(sysEx_); }
    std::vector<std::vector<QXStatusStruct>> tracks() const { return copy(tracks_); }
    std::vector<std::string> log() const { return copy(log_); }
    std::vector<std::string> deviceLines() const { return copy(deviceLines_); }
    std::vector<double> progress() const { return copy(progress_); }
    std::vector<std::int64_t> selected() const { return copy(selected_); }
    std::vector<Outcome> outcomes() const { return copy(outcomes_); }

    QXCommandQueue queue;

private:
    template <typename T>
    T copy(const T& value) const
    {
        std::lock_guard guard(lock_);
        return value;
    }
    template <typename T, typename V>
    void add(std::vector<T>& list, V value)
    {
        std::lock_guard guard(lock_);
        list.push_back(std::move(value));
    }

    mutable std::mutex lock_;
    bool pollMIDI_ = true;
    std::vector<Bytes> sysEx_;
    std::vector<std::vector<QXStatusStruct>> tracks_;
    std::vector<std::string> log_;
    std::vector<std::string> deviceLines_;
    std::vector<double> progress_;
    std::vector<std::int64_t> selected_;
    std::vector<Outcome> outcomes_;
};

}  // namespace qx::test
