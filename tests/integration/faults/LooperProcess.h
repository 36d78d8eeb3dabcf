#pragma once
// The simulated looper as a child process that a fault test can make vanish:
// vanish() kills it by its PID with SIGKILL, so it closes nothing and says
// nothing, as a pedal does when its cable is pulled. A thread reads its
// output all the time (a long journal would otherwise fill the pipe and stall
// it), keeping the journal lines ("rx midi ...", "rx udp ...") apart from the
// answers to commands.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qx::test {

class LooperProcess {
public:
    explicit LooperProcess(std::vector<std::string> argv)
    {
        // A command written to a looper that has just vanished must fail with
        // EPIPE, not end the test program with SIGPIPE.
        ::signal(SIGPIPE, SIG_IGN);
        // Built before the fork: the child only duplicates descriptors and execs.
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0) return;
        if (::pipe2(out, O_CLOEXEC) != 0) {
            ::close(in[0]);
            ::close(in[1]);
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::signal(SIGPIPE, SIG_DFL);  // an ignored signal would stay ignored across exec
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        if (pid_ > 0) reader_ = std::thread([this] { readOutput(); });
    }
    ~LooperProcess() { stop(); }
    LooperProcess(const LooperProcess&) = delete;
    LooperProcess& operator=(const LooperProcess&) = delete;

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Hands every journal line to the listener (on the reading thread) instead
    // of keeping it: a run of hours would otherwise hold every line. Set it
    // before the looper starts receiving.
    void setJournalListener(std::function<void(const std::string&)> listener)
    {
        std::lock_guard guard(lock_);
        listener_ = std::move(listener);
    }

    // Waits for "ready": the looper's ports or socket are open.
    bool ready(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        return waitForAnswer([](const std::string& line) { return line == "ready"; }, 0, limit);
    }

    // Sends one command line; returns its answer lines up to and including the
    // one that starts "ok" or "error", or nothing after the time-out.
    std::vector<std::string> command(const std::string& line, std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::size_t from;
        {
            std::lock_guard guard(lock_);
            from = answers_.size();
        }
        const std::string text = line + "\n";
        if (stdin_ < 0 || ::write(stdin_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
        if (!waitForAnswer([](const std::string& l) { return l.starts_with("ok") || l.starts_with("error"); }, from,
                           limit))
            return {};
        std::lock_guard guard(lock_);
        return {answers_.begin() + static_cast<std::ptrdiff_t>(from), answers_.end()};
    }

    // How many journal lines so far start with the prefix.
    std::size_t received(const std::string& prefix) const
    {
        std::lock_guard guard(lock_);
        std::size_t n = 0;
        for (const auto& line : journal_) n += line.starts_with(prefix);
        return n;
    }
    std::vector<std::string> journal() const
    {
        std::lock_guard guard(lock_);
        return journal_;
    }

    // Gone at once, without closing anything: SIGKILL to its PID, then reaped.
    void vanish()
    {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        closeAll();
    }

    // Asks it to quit; killed by its PID if it has not ended within 2 s.
    void stop()
    {
        if (pid_ > 0) {
            if (stdin_ >= 0) (void)!::write(stdin_, "quit\n", 5);
            bool ended = false;
            for (int i = 0; i < 100 && !ended; ++i) {
                ended = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
                if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (!ended) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
            }
            pid_ = -1;
        }
        closeAll();
    }

private:
    void closeAll()
    {
        stop_.store(true);
        if (reader_.joinable()) reader_.join();
        if (stdin_ >= 0) ::close(stdin_);
        if (stdout_ >= 0) ::close(stdout_);
        stdin_ = stdout_ = -1;
    }

    template <typename Match>
    bool waitForAnswer(Match match, std::size_t from, std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            {
                std::lock_guard guard(lock_);
                for (std::size_t i = from; i < answers_.size(); ++i)
                    if (match(answers_[i])) return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    void readOutput()
    {
        std::string buffer;
        char chunk[65536];
        while (!stop_.load()) {
            pollfd p{stdout_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::read(stdout_, chunk, sizeof chunk);
            if (n <= 0) {
                if (n == 0) return;  // the looper has ended
                continue;
            }
            buffer.append(chunk, static_cast<std::size_t>(n));
            for (std::size_t nl; (nl = buffer.find('\n')) != std::string::npos; buffer.erase(0, nl + 1)) {
                std::string line = buffer.substr(0, nl);
                std::function<void(const std::string&)> listener;
                {
                    std::lock_guard guard(lock_);
                    if (!line.starts_with("rx ")) answers_.push_back(std::move(line));
                    else if (listener_) listener = listener_;
                    else journal_.push_back(std::move(line));
                }
                if (listener) listener(line);  // outside the lock: it may take its own
            }
        }
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    std::vector<std::string> journal_;
    std::vector<std::string> answers_;
    std::function<void(const std::string&)> listener_;
    std::thread reader_;
};

}  // namespace qx::test
