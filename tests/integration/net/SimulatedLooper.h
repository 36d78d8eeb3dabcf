#pragma once
// qx-looper-sim as a child process, ended by its PID. A thread reads its
// output all the time (a long journal would otherwise fill the pipe and stall
// it), keeping the journal lines ("rx midi ...", "rx udp ...") apart from the
// answers to commands. vanish() is a pulled cable: SIGKILL, nothing closed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qx::test {

class SimulatedLooper {
public:
    explicit SimulatedLooper(std::vector<std::string> argv)
    {
        ::signal(SIGPIPE, SIG_IGN);  // a command to a vanished looper fails with EPIPE instead
        std::vector<char*> args;     // built before the fork: the child only duplicates and execs
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;  // running() says false
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
    ~SimulatedLooper() { stop(); }

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Journal lines go to the listener (on the reading thread) instead of
    // being kept: a run of hours would otherwise hold every line.
    void setJournalListener(std::function<void(const std::string&)> listener)
    {
        std::lock_guard guard(lock_);
        listener_ = std::move(listener);
    }

    // Waits for "ready": the looper's ports or socket are open.
    bool ready(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::unique_lock guard(lock_);
        return answered(guard, 0, limit, [](const std::string& l) { return l == "ready"; });
    }

    // Sends one command line; returns its answer lines up to and including the
    // one that starts "ok" or "error", or nothing after the time-out.
    std::vector<std::string> command(const std::string& line,
                                     std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::unique_lock guard(lock_);
        const std::size_t from = answers_.size();
        const std::string text = line + "\n";
        if (stdin_ < 0 || ::write(stdin_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
        auto last = [](const std::string& l) { return l.starts_with("ok") || l.starts_with("error"); };
        if (!answered(guard, from, limit, last)) return {};
        return {answers_.begin() + static_cast<std::ptrdiff_t>(from), answers_.end()};
    }

    // Every journal line so far, in the order the looper received the messages.
    std::vector<std::string> journal() const
    {
        std::lock_guard guard(lock_);
        return journal_;
    }
    // How many journal lines so far start with the prefix.
    std::size_t received(const std::string& prefix) const
    {
        std::lock_guard guard(lock_);
        auto matches = [&](const std::string& l) { return l.starts_with(prefix); };
        return static_cast<std::size_t>(std::count_if(journal_.begin(), journal_.end(), matches));
    }

    void vanish()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        stop_.store(true);
        if (reader_.joinable()) reader_.join();
        if (stdin_ >= 0) ::close(stdin_);
        if (stdout_ >= 0) ::close(stdout_);
        stdin_ = stdout_ = -1;
    }

    // Asks it to quit; killed by its PID if it has not ended within 2 s.
    void stop()
    {
        if (pid_ > 0 && stdin_ >= 0) (void)!::write(stdin_, "quit\n", 5);
        for (int i = 0; i < 100 && pid_ > 0; ++i) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
            else std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        vanish();
    }

private:
    template <typename Match>
    bool answered(std::unique_lock<std::mutex>& guard, std::size_t from, std::chrono::milliseconds limit, Match match)
    {
        return arrived_.wait_for(guard, limit, [&] {
            return std::any_of(answers_.begin() + static_cast<std::ptrdiff_t>(from), answers_.end(), match);
        });
    }

    void readOutput()
    {
        std::string buffer;
        char chunk[65536];
        while (!stop_.load()) {
            pollfd p{stdout_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::read(stdout_, chunk, sizeof chunk);
            if (n == 0) return;  // the looper has ended
            if (n < 0) continue;
            buffer.append(chunk, static_cast<std::size_t>(n));
            for (std::size_t nl; (nl = buffer.find('\n')) != std::string::npos; buffer.erase(0, nl + 1)) {
                std::string line = buffer.substr(0, nl);
                std::unique_lock guard(lock_);
                if (!line.starts_with("rx ")) {
                    answers_.push_back(std::move(line));
                    arrived_.notify_all();
                } else if (!listener_) {
                    journal_.push_back(std::move(line));
                } else {
                    const auto listener = listener_;
                    guard.unlock();  // it may take a lock of its own
                    listener(line);
                }
            }
        }
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<std::string> journal_;
    std::vector<std::string> answers_;
    std::function<void(const std::string&)> listener_;
    std::thread reader_;
};

}  // namespace qx::test
