#include "midi/MidiUpgrade.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "protocol/SysExCodec.h"

namespace qx {

void MidiUpgrade::load(Bytes contents)
{
    upgradeBuf_ = std::move(contents);
    upgradeIndex_ = 0;
    // A checked file holds data bytes below 0x80 only inside its messages.
    messageCount_ = std::ranges::count(upgradeBuf_, sysex::kStart);
    messagesSent_ = 0;
    waiting_.reset();
    upgradeLength_.store(static_cast<std::int64_t>(upgradeBuf_.size()), std::memory_order_release);
}

void MidiUpgrade::release()
{
    upgradeBuf_ = Bytes{};
    upgradeIndex_ = 0;
    upgradeLength_.store(0, std::memory_order_release);
}

MidiUpgrade::Step MidiUpgrade::next()
{
    const std::int64_t length = upgradeLength_.load(std::memory_order_acquire);
    Step step;
    if (upgradeIndex_ >= length) {
        release();
        step.finished = true;
        step.progress = 1.0;
        return step;
    }
    if (upgradeBuf_[static_cast<std::size_t>(upgradeIndex_)] != sysex::kStart) {
        step.progress = static_cast<double>(upgradeIndex_) / static_cast<double>(length);
        release();
        step.abandoned = true;
        return step;
    }
    // One message: up to and including its 0xF7, at most one packet, never
    // past the end of the file.
    while (upgradeIndex_ < length && step.message.size() < sysex::kMaxMessage) {
        const std::uint8_t b = upgradeBuf_[static_cast<std::size_t>(upgradeIndex_++)];
        step.message.push_back(b);
        if (b == sysex::kEnd) break;
    }
    step.number = ++messagesSent_;
    step.progress = static_cast<double>(upgradeIndex_) / static_cast<double>(length);
    return step;
}

void MidiUpgrade::awaitAnswer(std::int64_t bytes, std::uint64_t answersSoFar, Clock::time_point now)
{
    waiting_ = Waiting{.bytes = bytes, .answers = answersSoFar, .since = now};
}

std::optional<Outcome> MidiUpgrade::answerOutcome(std::uint64_t answers, Clock::time_point now)
{
    if (!waiting_) return std::nullopt;
    const std::string sent = "Upgrade sent over MIDI (" + std::to_string(waiting_->bytes) + " bytes)";
    const std::chrono::duration<double> waited = now - waiting_->since;
    if (answers > waiting_->answers) {
        waiting_.reset();
        // "0.1" in every locale, as the window's toolkit sets the user's one.
        char seconds[32];
        const auto end = std::to_chars(seconds, seconds + sizeof seconds, waited.count(), std::chars_format::fixed, 1);
        return Outcome{true, sent + "; the looper answered again after " + std::string(seconds, end.ptr) + " s"};
    }
    if (waited < kAnswerWait) return std::nullopt;
    waiting_.reset();
    return Outcome{false, sent + ", but the looper has not answered since: check it before you unplug it"};
}

}  // namespace qx
