#pragma once
// A firmware upgrade over MIDI: the checked file is sent one SysEx message per
// polling cycle, with the progress after each. Nothing acknowledges a message,
// so after the last one the upgrade waits, while polling goes on, for the
// looper to answer again (it may restart to apply the firmware): only then is
// the upgrade known to have landed.
//
// The file is loaded on the UI thread and sent by the worker; the length is
// published last (release) so the worker, which starts when it sees a length
// of 1 or more (acquire), finds the buffer filled. Everything else runs on the
// worker.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "common/Bytes.h"
#include "common/Outcome.h"

namespace qx {

class MidiUpgrade {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kAnswerWait{30};

    // UI thread, only while no upgrade is in progress.
    void load(Bytes contents);
    // Messages are still to be sent.
    bool inProgress() const { return upgradeLength_.load(std::memory_order_acquire) >= 1; }

    struct Step {
        Bytes message;            // empty when the upgrade just ended
        double progress = 0;
        std::int64_t number = 0;  // of this message, from 1
        bool finished = false;    // the whole file went out
        bool abandoned = false;   // a byte other than 0xF0 where a message should start
    };
    // Worker thread, once per polling cycle while inProgress().
    Step next();
    // Stops sending; nothing more goes out.
    void release();

    // After the last message of a file of so many bytes: the looper's answers
    // on MIDI so far, and when.
    void awaitAnswer(std::int64_t bytes, std::uint64_t answersSoFar, Clock::time_point now);
    // While waiting: the outcome once the looper has answered again, or once
    // the wait has run out; nothing before that, or when not waiting.
    std::optional<Outcome> answerOutcome(std::uint64_t answers, Clock::time_point now);

    std::int64_t length() const { return upgradeLength_.load(std::memory_order_acquire); }
    std::int64_t messageCount() const { return messageCount_; }
    std::int64_t messagesSent() const { return messagesSent_; }

private:
    Bytes upgradeBuf_;
    std::int64_t upgradeIndex_ = 0;
    std::int64_t messageCount_ = 0;
    std::int64_t messagesSent_ = 0;
    std::atomic<std::int64_t> upgradeLength_{0};
    struct Waiting {
        std::int64_t bytes;
        std::uint64_t answers;
        Clock::time_point since;
    };
    std::optional<Waiting> waiting_;
};

}  // namespace qx
