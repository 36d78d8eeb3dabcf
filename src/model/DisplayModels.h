#pragma once
// The small observable models that the session fills (on the UI thread) and
// the views show: progress, the device line, the log, where the link stands
// and how the last long command ended.
#include <cstdint>
#include <string>
#include <vector>

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

// The looper's log keeps its last 256 KiB: older text is dropped at a line
// boundary, so a chatty looper costs neither memory nor time over the hours.
class LogText : public Observable {
public:
    static constexpr std::size_t kLimit = 256 * 1024;
    const std::string& log() const { return log_; }
    // How many bytes have been dropped from the front so far.
    std::uint64_t dropped() const { return dropped_; }
    // Where the log ends, counted from its first byte ever.
    std::uint64_t end() const { return dropped_ + log_.size(); }
    void setLog(std::string value)
    {
        log_ = std::move(value);
        keepLimit();
        notify();
    }
    // Writers append at the end; nothing is inserted between entries.
    void append(const std::string& text)
    {
        log_ += text;
        keepLimit();
        notify();
    }

private:
    void keepLimit();

    std::string log_;
    std::uint64_t dropped_ = 0;
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

// The MIDI devices the panel can see now (each a client with ports, by
// name), following ports as they come and go.
class MidiDevices : public Observable {
public:
    const std::vector<std::string>& names() const { return names_; }
    void set(std::vector<std::string> names)
    {
        if (names == names_) return;
        names_ = std::move(names);
        notify();
    }

private:
    std::vector<std::string> names_;
};

}  // namespace qx
