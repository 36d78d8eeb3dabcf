#pragma once
// A firmware upgrade over MIDI: the checked file is sent one SysEx message per
// polling cycle, with the progress after each. The file is loaded on the UI
// thread and sent by the worker; the length is published last (release) so the
// worker, which starts when it sees a length of 1 or more (acquire), finds the
// buffer filled.
#include <atomic>
#include <cstdint>
#include <optional>

#include "common/Bytes.h"

namespace qx {

class MidiUpgrade {
public:
    // UI thread, only while no upgrade is in progress.
    void load(Bytes contents);
    bool inProgress() const { return upgradeLength_.load(std::memory_order_acquire) >= 1; }

    struct Step {
        Bytes message;      // empty when the upgrade just ended
        double progress = 0;
        bool finished = false;     // the whole file went out
        bool abandoned = false;    // a byte other than 0xF0 where a message should start
    };
    // Worker thread, once per polling cycle while inProgress().
    Step next();

    std::int64_t length() const { return upgradeLength_.load(std::memory_order_acquire); }

private:
    void release();

    Bytes upgradeBuf_;
    std::int64_t upgradeIndex_ = 0;
    std::atomic<std::int64_t> upgradeLength_{0};
};

}  // namespace qx
