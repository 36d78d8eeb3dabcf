#pragma once
// Reading the looper's whole configuration, pass after pass: each pass takes
// the replies that have come, then asks for the effect banks (until a report
// came) and for each block of eight buttons that holds one not yet read. A
// transfer drives the passes on its own thread; a test steps them by hand.
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>

#include "common/Pacer.h"
#include "common/QXCommandQueue.h"
#include "config/ConfigurationRecords.h"

namespace qx {

struct TransferTiming {
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // Between two looks at the command queue while requests are waiting.
    Seconds wait{0.5};
    // A transfer that takes no new button or effects report for this long ends
    // without writing or applying anything.
    Seconds silenceLimit{10.0};
    Clock now = [] { return std::chrono::steady_clock::now(); };
};

class ConfigurationRead {
public:
    // One effects request and the 48 blocks of eight buttons: a full pass.
    static constexpr std::size_t kRequestsPerPass = 49;
    static constexpr double kReadShare = 0.9;  // of the progress bar, for reading

    // Requests go to commands, the link's command queue.
    ConfigurationRead(QXCommandQueue& commands, TransferTiming timing)
        : commands_(commands), timing_(std::move(timing)) {}

    // Back to nothing read: eight zeros and not valid everywhere.
    void reset();
    // The start of a transfer: reset(), and the replies waiting from before
    // dropped. They answer an earlier request and may predate changes made
    // since (a restore's writes, the tabs' edits, a pedal), so everything is
    // asked for again.
    void begin();
    // Takes every waiting reply, then asks for what is missing. False when no
    // block was asked for: every button is read.
    bool runPass();
    // While requests wait on the command queue: the progress to show; nothing
    // once the queue is empty. Messages leaving the queue are progress too:
    // while commands queued ahead of the requests still go out, the looper is
    // not silent.
    std::optional<double> progressWhileWaiting();
    // True once the silence limit passed without new reports or progress.
    bool looperSilent() const;
    const TransferTiming& timing() const { return timing_; }

    ButtonConfigs buttons;
    QX2EffectsConfig banks;
    // Configuration replies from the decoder, taken by the next pass; a flood
    // beyond many passes' worth loses its oldest.
    static constexpr std::size_t kMaxReplies = 1024;
    QXCommandQueue replies{kMaxReplies};

private:
    bool takeReply(std::span<const std::uint8_t> message);

    QXCommandQueue& commands_;
    TransferTiming timing_;
    std::chrono::steady_clock::time_point lastNews_{};
    std::uint64_t sentSoFar_ = 0;  // messages taken off the command queue at the last look
};

}  // namespace qx
