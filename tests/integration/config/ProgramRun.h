#pragma once
// Runs a program to its end with a bounded wait and returns its exit status
// and everything it wrote to standard output and standard error. A program
// still running at the time-out is ended by its PID.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

namespace qx::test {

struct ProgramResult {
    int status = -1;  // exit status; -1 when it did not end by itself
    std::string output;

    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        std::istringstream in(output);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
    std::string lastLine() const
    {
        const auto all = lines();
        return all.empty() ? std::string() : all.back();
    }
};

inline ProgramResult runProgram(std::vector<std::string> argv, std::chrono::milliseconds timeout)
{
    ProgramResult result;
    int out[2];
    if (pipe(out) != 0) return result;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    if (pid < 0) {
        close(out[0]);
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char chunk[4096];
        const ssize_t n = read(out[0], chunk, sizeof chunk);
        if (n <= 0) break;  // end of output: the program has closed it
        result.output.append(chunk, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
            return result;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        usleep(20000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return result;
}

}  // namespace qx::test
