#pragma once
// Saving the looper's whole configuration to a file and restoring it. Both
// commands start the same transfer on its own thread: it reads every button
// mapping (in blocks of eight) and both effect banks from the looper, pass
// after pass, while the progress bar advances; then it either writes the file,
// or sends the looper the mappings of the chosen file that differ from what it
// just read.
//
// The transfer thread touches btnConfig, qx2EffectsConfig and the two paths
// only while it runs; everything the user sees (progress, the button tab, the
// outcome) is posted to the UI thread. The passes and the wait are public so a
// test can step a transfer without the thread.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "common/MainQueue.h"
#include "common/Outcome.h"
#include "common/Pacer.h"
#include "common/QXCommandQueue.h"
#include "common/TransferGate.h"
#include "config/SaveableConfigRecords.h"

namespace qx {

struct SaveableConfigTiming {
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // Between two looks at the command queue while requests are waiting.
    Seconds wait{0.5};
    // A transfer that takes no new button or effects report for this long ends
    // without writing or applying anything.
    Seconds silenceLimit{10.0};
    Clock now = [] { return std::chrono::steady_clock::now(); };
};

class QXSaveableConfig {
public:
    // One effects request and the 48 blocks of eight buttons: a full pass.
    static constexpr std::size_t kRequestsPerPass = 49;
    static constexpr double kReadShare = 0.9;  // of the progress bar, for reading
    static constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;

    using ProgressHandler = std::function<void(double fraction)>;
    using MappingHandler = std::function<void(std::int64_t code, const FunctionValues& values)>;

    // Requests and mapping writes go to commands (the link's command queue);
    // UI-thread work is posted to mainQueue.
    QXSaveableConfig(QXCommandQueue& commands, MainQueue& mainQueue, SaveableConfigTiming timing = {});
    ~QXSaveableConfig();
    QXSaveableConfig(const QXSaveableConfig&) = delete;
    QXSaveableConfig& operator=(const QXSaveableConfig&) = delete;

    // Wiring, before the first transfer. The handlers run on the UI thread.
    void attachTransferGate(TransferGate* gate) { gate_ = gate; }
    // Shows the transfer's progress, kept within 0 to 1.
    void setProgressHandler(ProgressHandler handler) { progress_ = std::move(handler); }
    // Takes a restored mapping the way the button tab takes a one-button report.
    void setMappingHandler(MappingHandler handler) { mapping_ = std::move(handler); }
    // Told how each transfer ended: saved, restored, file problem, silent looper.
    void setOutcomeHandler(OutcomeHandler handler) { outcome_ = std::move(handler); }

    // UI thread. Start a transfer that ends by writing the file at path, or by
    // applying it. Returns the reason when refused: a transfer or an upgrade is
    // running, or the file to restore cannot be applied.
    std::optional<std::string> saveConfiguration(std::filesystem::path path);
    std::optional<std::string> restoreConfiguration(std::filesystem::path path);
    // UI thread: true from a start until the UI thread took the transfer's end.
    bool transferRunning() const { return getThread.joinable(); }
    // UI thread: ends a running transfer at once, writing and applying nothing,
    // and waits for its thread. No outcome is reported.
    void stop();

    // The steps of a transfer (transfer thread, or a test's thread).
    // Back to the state at construction: eight zeros and not valid everywhere.
    void resetConfig();
    // The start of a transfer: resetConfig(), then the replies waiting from
    // before. An effects report is taken (it spares the effects request); a
    // mapping report is dropped, since it answers an earlier transfer and may
    // predate mapping writes sent since (a restore's, or the button tab's).
    void beginTransfer();
    // Takes every waiting reply, then asks for the effect banks (unless a
    // report was taken) and for each block of eight that holds a button not yet
    // valid. Returns false when no block was asked for: every button is valid.
    bool runPass();
    // While requests wait on the command queue: posts the progress and returns
    // the pause before the next look. Nothing once the queue is empty.
    std::optional<Seconds> waitStep();
    // True once the silence limit passed without new reports.
    bool looperSilent() const;
    // Writes or applies the file, as the transfer was started for.
    Outcome finishTransfer();

    // Nothing when the file can be applied, else what is wrong with it.
    static std::optional<std::string> checkConfigurationFile(const std::filesystem::path& path);
    Outcome writeConfigurationFile(const std::filesystem::path& path) const;
    Outcome applyConfigurationFile(const std::filesystem::path& path);
    // Enqueues the mapping write for code with the first eight values and
    // shows it on the button tab; false (nothing sent) with fewer than eight.
    bool sendButtonMapping(std::int64_t code, const FunctionValues& values);

    ButtonConfigs btnConfig;
    QX2EffectsConfig qx2EffectsConfig;
    std::thread getThread;                       // UI thread only
    std::optional<std::filesystem::path> savePath;
    std::optional<std::filesystem::path> openPath;
    // Configuration replies from the decoder, taken by the next pass.
    QXCommandQueue responseQueue;

private:
    struct TransferEnd {
        Outcome outcome;
        double progress = 1.0;
        std::uint64_t transfer = 0;  // which transfer ended
    };
    std::optional<std::string> start(const std::string& kind);
    // Thread entry: runs the transfer and hands its end to the UI thread.
    void getDeviceConfig();
    std::optional<TransferEnd> runTransfer();
    bool takeReply(std::span<const std::uint8_t> message);
    void endTransfer(const TransferEnd& end);
    void postProgress(double fraction);
    // Posts a UI-thread task that is dropped if this object is gone by then.
    void postToUi(std::function<void()> task);

    QXCommandQueue& commands_;
    MainQueue& mainQueue_;
    SaveableConfigTiming timing_;
    TransferGate* gate_ = nullptr;
    ProgressHandler progress_;
    MappingHandler mapping_;
    OutcomeHandler outcome_;
    // A fresh pacer for each transfer, so stop() ends one transfer, not all.
    std::unique_ptr<Pacer> pacer_ = std::make_unique<Pacer>();
    // Counts transfers, so that the end of one that stop() already ended is
    // not taken for the end of a later one. Written on the UI thread before
    // the transfer thread starts.
    std::uint64_t transferNumber_ = 0;
    std::chrono::steady_clock::time_point lastNews_{};  // transfer thread
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qx
