#pragma once
// qx-looper-sim as a child process: its journal lines ("rx midi ...",
// "rx udp ...", one per message it receives) kept apart from the answers to
// the commands a test types at it. vanish() is a pulled cable.
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace qx::test {

class SimulatedLooper {
public:
    using Wait = std::chrono::milliseconds;
    static constexpr Wait kWait = std::chrono::seconds(10);

    explicit SimulatedLooper(std::vector<std::string> argv)
        : process_(std::make_unique<ChildProcess>(std::move(argv))) {}

    // Its ports or socket are open.
    bool ready(Wait limit = kWait) { return process_->waitForLine("ready", limit); }

    // Types one command; its answer lines up to and including the one that
    // starts "ok" or "error", or nothing after the time-out.
    std::vector<std::string> command(const std::string& line, Wait limit = kWait)
    {
        const std::size_t from = only(false).size();  // answers so far
        if (!process_->send(line)) return {};
        std::vector<std::string> answer;
        const bool answered = process_->waitForLines([&](const ChildProcess::Lines& lines) {
            answer.clear();
            std::size_t seen = 0;
            for (const std::string& l : lines) {
                if (l.starts_with("rx ") || seen++ < from) continue;
                answer.push_back(l);
                if (l.starts_with("ok") || l.starts_with("error")) return true;
            }
            return false;
        }, limit);
        return answered ? answer : std::vector<std::string>{};
    }
    bool ok(const std::string& line) { return command(line) == std::vector<std::string>{"ok"}; }

    // Every journal line so far, in the order the looper received the messages.
    std::vector<std::string> journal() const { return only(true); }
    // How many journal lines so far start with the prefix.
    std::size_t received(const std::string& prefix) const
    {
        const auto starts = [&](const std::string& l) { return l.starts_with(prefix); };
        return static_cast<std::size_t>(std::ranges::count_if(journal(), starts));
    }
    // Journal lines go to the listener instead of being kept; answers still are.
    void setJournalListener(std::function<void(const std::string&)> listener)
    {
        process_->setLineListener([listener = std::move(listener)](const std::string& line) {
            if (!line.starts_with("rx ")) return false;
            listener(line);
            return true;
        });
    }

    void vanish() { process_->kill(); }

private:
    std::vector<std::string> only(bool journalLines) const
    {
        std::vector<std::string> out;
        for (std::string& l : process_->lines())
            if (l.starts_with("rx ") == journalLines) out.push_back(std::move(l));
        return out;
    }

    std::unique_ptr<ChildProcess> process_;
};

}  // namespace qx::test
