#pragma once
// Saving the looper's whole configuration to a file and restoring it. Both
// commands start the same transfer on its own thread: it reads every button
// mapping (in blocks of eight) and both effect banks from the looper while
// the progress bar advances; then it either writes the file, or sends the
// looper the mappings of the chosen file that differ from what it just read.
//
// The transfer thread touches what it reads and its job only while it runs;
// everything the user sees (progress, the button tab, the outcome) is posted
// to the UI thread.
#include <cstdint>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "common/MainQueue.h"
#include "common/Outcome.h"
#include "common/Pacer.h"
#include "common/QXCommandQueue.h"
#include "common/TransferGate.h"
#include "config/ConfigurationRead.h"

namespace qx {

class ConfigurationTransfer {
public:
    // All called on the UI thread.
    struct Handlers {
        std::function<void(double fraction)> progress;  // kept within 0 to 1
        // A restored mapping, taken the way the button tab takes a one-button report.
        std::function<void(std::int64_t code, const FunctionValues& values)> mapping;
        OutcomeHandler outcome;  // how each transfer ended
    };

    // Requests and mapping writes go to commands (the link's command queue);
    // upgrades and transfers take turns through the gate.
    ConfigurationTransfer(QXCommandQueue& commands, MainQueue& mainQueue, TransferGate& gate, Handlers handlers,
                          TransferTiming timing = {});
    ~ConfigurationTransfer();
    ConfigurationTransfer(const ConfigurationTransfer&) = delete;
    ConfigurationTransfer& operator=(const ConfigurationTransfer&) = delete;

    // UI thread. Starts a transfer that ends by writing the file at path, or by
    // applying it. The reason when refused: a transfer or an upgrade is
    // running. A file to restore that cannot be applied ends the transfer
    // before the looper is read, with "Restore refused: " and why.
    std::optional<std::string> save(std::filesystem::path path);
    std::optional<std::string> restore(std::filesystem::path path);
    // UI thread: true from a start until the UI thread took the transfer's end.
    bool running() const { return thread_.joinable(); }
    // UI thread: ends a running transfer at once and waits for its thread.
    // A save writes nothing; a restore's writes that have not gone out are
    // taken back. Says what was done: a failure, or how it ended if it had
    // just ended; no outcome is reported.
    Outcome cancel();
    void stop() { cancel(); }

    // A configuration reply from the decoder (any thread); kept only while a
    // transfer runs.
    void takeReply(Bytes message)
    {
        if (active_.load()) read_.replies.enqueue(std::move(message));
    }
    ConfigurationRead& read() { return read_; }

private:
    struct Job {
        bool save = true;
        std::filesystem::path path;
    };
    struct TransferEnd {
        Outcome outcome;
        double progress = 1.0;
        std::uint64_t transfer = 0;  // which transfer ended
    };
    std::optional<std::string> start(Job job);
    // Thread entry: runs the transfer and hands its end to the UI thread.
    void run(const Job& job);
    std::optional<TransferEnd> readAndFinish(const Job& job);
    // A restore is done when its writes have gone out; false when stopped.
    std::optional<TransferEnd> sendWrites(Outcome applied);
    std::size_t writesSent();
    void endTransfer(const TransferEnd& end);
    void postProgress(double fraction);
    // Posts a UI-thread task that is dropped if this object is gone by then.
    void postToUi(std::function<void()> task);
    bool sendButtonMapping(std::int64_t code, const FunctionValues& values);

    QXCommandQueue& commands_;
    MainQueue& mainQueue_;
    TransferGate& gate_;
    TransferGate::Hold hold_;  // UI thread: from a start until the UI thread takes the end
    Handlers handlers_;
    ConfigurationRead read_;
    // A fresh pacer for each transfer, so stop() ends one transfer, not all.
    std::unique_ptr<Pacer> pacer_ = std::make_unique<Pacer>();
    // Counts transfers, so that the end of one that stop() already ended is
    // not taken for the end of a later one. Written on the UI thread before
    // the transfer thread starts.
    std::uint64_t transferNumber_ = 0;
    std::thread thread_;  // UI thread only
    bool saving_ = true;       // UI thread: what the running transfer does
    std::vector<Bytes> writes_;  // a restore's writes; transfer thread, or after it is joined
    std::uint64_t writesEnd_ = 0;  // the command queue's count once they are all queued
    std::optional<Outcome> ended_;  // transfer thread, or after it is joined
    std::atomic<bool> active_{false};  // from a start until its thread's work ends
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qx
