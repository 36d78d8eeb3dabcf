#pragma once
// A child process started by a test, with pipes to its standard input and
// output, ended by its PID when the test is done.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace qx::test {

class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> argv)
    {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[1]);
            close(out[0]);
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        fcntl(stdout_, F_SETFL, O_NONBLOCK);
    }
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    void send(const std::string& line)
    {
        const std::string text = line + "\n";
        if (stdin_ >= 0 && write(stdin_, text.data(), text.size()) < 0) {}
    }

    // The next output line, or false after the time-out.
    bool readLine(std::string& line, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
                line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || stdout_ < 0) return false;
            pollfd p{stdout_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char chunk[4096];
            const ssize_t n = read(stdout_, chunk, sizeof chunk);
            if (n <= 0) {
                if (n == 0) return false;
                continue;
            }
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // Reads lines until one starts with the prefix; collects the lines before it.
    bool waitFor(const std::string& prefix, std::chrono::milliseconds timeout,
                 std::vector<std::string>* before = nullptr)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string line;
        while (readLine(line, std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now()))) {
            if (line.rfind(prefix, 0) == 0) return true;
            if (before) before->push_back(line);
        }
        return false;
    }

    void stop()
    {
        if (stdin_ >= 0) close(stdin_);
        stdin_ = -1;
        if (pid_ > 0) {
            for (int i = 0; i < 50; ++i) {
                if (waitpid(pid_, nullptr, WNOHANG) == pid_) { pid_ = -1; break; }
                if (i == 20) kill(pid_, SIGTERM);
                usleep(20000);
            }
            if (pid_ > 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                pid_ = -1;
            }
        }
        if (stdout_ >= 0) close(stdout_);
        stdout_ = -1;
    }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::string buffer_;
};

}  // namespace qx::test
