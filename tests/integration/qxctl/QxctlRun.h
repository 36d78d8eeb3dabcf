#pragma once
// qxctl started as a user would, its standard output and its standard error
// kept apart, each written to a file of its own (so neither can stall on a
// full pipe), and read as lines. Standard input is /dev/null. It is ended by
// its PID: SIGTERM, then SIGKILL.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"

namespace qx::test {

using Lines = std::vector<std::string>;

class QxctlRun {
public:
    // args: what follows the program's name.
    explicit QxctlRun(const std::vector<std::string>& args)
    {
        char pattern[] = "/tmp/qxctl-run-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return;  // no child: it reads as ended
        folder_ = pattern;
        const std::string out = (folder_ / "stdout").string(), err = (folder_ / "stderr").string();
        std::vector<std::string> argv = args;
        argv.insert(argv.begin(), program());
        std::vector<char*> pointers;  // built before the fork: the child only opens, duplicates and execs
        for (auto& a : argv) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int in = ::open("/dev/null", O_RDONLY);
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (in < 0 || o < 0 || e < 0) ::_exit(126);
            ::dup2(in, STDIN_FILENO);
            ::dup2(o, STDOUT_FILENO);
            ::dup2(e, STDERR_FILENO);
            ::signal(SIGINT, SIG_DFL);
            ::execv(pointers[0], pointers.data());
            ::_exit(127);
        }
    }
    ~QxctlRun()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            if (exitStatus(std::chrono::seconds(5)) < 0) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
            }
        }
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }
    QxctlRun(const QxctlRun&) = delete;
    QxctlRun& operator=(const QxctlRun&) = delete;

    static std::string program() { return QX_CTL_PATH; }

    // Ctrl-C, as a user at its terminal would press it.
    void interrupt()
    {
        if (pid_ > 0) ::kill(pid_, SIGINT);
    }
    // Waits for it to end; its exit status, or -1 after the time-out.
    int exitStatus(std::chrono::milliseconds limit) { return reapChild(pid_, status_, limit) ? status_ : -1; }
    // What it has written so far, line by line (a last line without its line
    // feed is left out until it has one).
    Lines out() const { return lines("stdout"); }
    Lines err() const { return lines("stderr"); }
    // Waits until a line of its standard error starts with prefix.
    bool waitForError(const std::string& prefix, std::chrono::milliseconds limit) const
    {
        const auto until = std::chrono::steady_clock::now() + limit;
        for (;; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
            const Lines said = err();
            if (std::ranges::any_of(said, [&](const std::string& l) { return l.starts_with(prefix); })) return true;
            if (std::chrono::steady_clock::now() >= until) return false;
        }
    }

private:
    Lines lines(const char* name) const
    {
        if (folder_.empty()) return {};
        std::ifstream file(folder_ / name, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        Lines out;
        std::string all = text.str();
        for (std::size_t at = 0, nl; (nl = all.find('\n', at)) != std::string::npos; at = nl + 1)
            out.push_back(all.substr(at, nl - at));
        return out;
    }

    std::filesystem::path folder_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// A finished run.
struct Ran {
    int status = -1;
    Lines out;  // standard output
    Lines err;  // standard error
    static std::string lastOf(const Lines& lines) { return lines.empty() ? "" : lines.back(); }
    std::string last() const { return lastOf(out); }
    std::string lastError() const { return lastOf(err); }
    bool has(const std::string& line) const { return std::ranges::find(out, line) != out.end(); }
};

inline Ran runQxctl(const std::vector<std::string>& args,
                    std::chrono::milliseconds limit = std::chrono::seconds(120))
{
    QxctlRun run(args);
    Ran done;
    done.status = run.exitStatus(limit);
    done.out = run.out();
    done.err = run.err();
    return done;
}

}  // namespace qx::test
