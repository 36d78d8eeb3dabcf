#pragma once
// The small observable models that the session fills (on the UI thread) and
// the views show: progress, the device line, the log, where the link stands
// and how the last long command ended.
#include <cstdint>
#include <string>

#include "common/LinkState.h"
#include "common/Outcome.h"
#include "model/Observable.h"

namespace qx {

class CompletionPercent : public Observable {
public:
    double completion() const { return completion_; }
    void setCompletion(double value) { completion_ = value; notify(); }

private:
    double completion_ = 0.0;
};

class ObservableText : public Observable {
public:
    const std::string& text() const { return text_; }
    void setText(std::string value) { text_ = std::move(value); notify(); }

private:
    std::string text_;
};

class LogText : public Observable {
public:
    const std::string& log() const { return log_; }
    void setLog(std::string value) { log_ = std::move(value); notify(); }
    // Writers append at the end; nothing is inserted between entries.
    void append(const std::string& text) { setLog(log_ + text); }

private:
    std::string log_;
};

class LinkStatus : public Observable {
public:
    const LinkState& state() const { return state_; }
    void set(LinkState state)
    {
        if (state == state_) return;
        state_ = std::move(state);
        notify();
    }

private:
    LinkState state_;
};

// The end of the last upgrade, save or restore; ended() counts them.
class CommandOutcome : public Observable {
public:
    const Outcome& last() const { return last_; }
    std::uint64_t ended() const { return ended_; }
    void set(Outcome outcome)
    {
        last_ = std::move(outcome);
        ++ended_;
        notify();
    }

private:
    Outcome last_;
    std::uint64_t ended_ = 0;
};

}  // namespace qx
