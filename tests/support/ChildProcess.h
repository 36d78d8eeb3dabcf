#pragma once
// A program started by a test: its standard input is a pipe, its standard
// output (and, when asked, its standard error) is read by a thread all the
// time, line by line, so a talkative child never stalls on a full pipe. It is
// ended by its PID: asked to quit by closing its input, then SIGTERM, then
// SIGKILL.
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

// Waits up to the limit for the child to end: then pid becomes -1 and status
// its exit status (128 + the signal when one ended it); false on time-out.
inline bool reapChild(pid_t& pid, int& status, std::chrono::milliseconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    for (int raw = 0; pid > 0; std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
        if (::waitpid(pid, &raw, WNOHANG) == pid) {
            pid = -1;
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        } else if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
    }
    return true;
}

class ChildProcess {
public:
    using Lines = std::vector<std::string>;
    // A listener sees every line on the reading thread; a line it takes (true)
    // is not kept, so a run of hours need not hold every line.
    using LineListener = std::function<bool(const std::string&)>;

    explicit ChildProcess(std::vector<std::string> argv, bool withStandardError = false)
    {
        ::signal(SIGPIPE, SIG_IGN);  // a line to a vanished child fails with EPIPE instead
        std::vector<char*> args;     // built before the fork: the child only duplicates and execs
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;  // no child: it reads as ended
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            if (withStandardError) ::dup2(out[1], STDERR_FILENO);
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
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void setLineListener(LineListener listener)
    {
        std::lock_guard guard(lock_);
        listener_ = std::move(listener);
    }
    // One line to its standard input; false when it cannot be written.
    bool send(const std::string& line)
    {
        const std::string text = line + "\n";
        return stdin_ >= 0 && ::write(stdin_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // Waits until the lines so far satisfy done; false after the time-out.
    bool waitForLines(const std::function<bool(const Lines&)>& done, std::chrono::milliseconds limit)
    {
        std::unique_lock guard(lock_);
        return arrived_.wait_for(guard, limit, [&] { return done(lines_); });
    }
    bool waitForLine(const std::string& prefix, std::chrono::milliseconds limit)
    {
        return waitForLines([&](const Lines& lines) {
            return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); });
        }, limit);
    }
    Lines lines() const
    {
        std::lock_guard guard(lock_);
        return lines_;
    }
    // Waits for it to end on its own; its exit status, or -1 after the time-out.
    int exitStatus(std::chrono::milliseconds limit)
    {
        if (!reapChild(pid_, status_, limit)) return -1;
        if (reader_.joinable()) reader_.join();  // every line is in by the end of its output
        return status_;
    }
    // Ctrl-C, as a user at its terminal would press it.
    void interrupt()
    {
        if (pid_ > 0) ::kill(pid_, SIGINT);
    }
    // A pulled cable: SIGKILL, nothing closed first.
    void kill()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        finish();
    }
    // Closes its input (the simulated looper quits on that), then ends it by its PID.
    void stop()
    {
        if (stdin_ >= 0) ::close(stdin_);
        stdin_ = -1;
        if (exitStatus(std::chrono::milliseconds(2000)) < 0 && pid_ > 0) {
            ::kill(pid_, SIGTERM);
            if (exitStatus(std::chrono::milliseconds(1000)) < 0) kill();
        }
        finish();
    }

private:
    void finish()
    {
        stopReading_.store(true);
        if (reader_.joinable()) reader_.join();
        if (stdin_ >= 0) ::close(stdin_);
        if (stdout_ >= 0) ::close(stdout_);
        stdin_ = stdout_ = -1;
    }

    void readOutput()
    {
        std::string buffer;
        char chunk[65536];
        while (!stopReading_.load()) {
            pollfd p{stdout_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::read(stdout_, chunk, sizeof chunk);
            if (n == 0) return;  // the child has ended
            if (n < 0) continue;
            buffer.append(chunk, static_cast<std::size_t>(n));
            for (std::size_t nl; (nl = buffer.find('\n')) != std::string::npos; buffer.erase(0, nl + 1)) {
                const std::string line = buffer.substr(0, nl);
                LineListener listener;
                {
                    std::lock_guard guard(lock_);
                    listener = listener_;
                }
                if (listener && listener(line)) continue;  // called unlocked: it may take a lock of its own
                std::lock_guard guard(lock_);
                lines_.push_back(line);
                arrived_.notify_all();
            }
        }
    }

    pid_t pid_ = -1;
    int status_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::atomic<bool> stopReading_{false};
    mutable std::mutex lock_;
    std::condition_variable arrived_;
    Lines lines_;
    LineListener listener_;
    std::thread reader_;
};

}  // namespace qx::test
