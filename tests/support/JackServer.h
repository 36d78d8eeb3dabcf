#pragma once
// A JACK server on the dummy driver (there is no sound hardware), started for
// one test program and stopped by its PID. Tests using it carry the ctest
// RESOURCE_LOCK "jack" so that only one server runs at a time.
#include <jack/jack.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace qx::test {

class JackServer {
public:
    JackServer()
    {
        // A server of its own name, so that test programs running at the same
        // time (other builds, other suites) never share or stop each other's
        // server. Clients made after this, in this process and its children,
        // find it through JACK_DEFAULT_SERVER.
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        // A server still shutting down from an earlier test makes the new one
        // exit at once; try again a few times.
        for (int attempt = 0; attempt < 3 && !ready_; ++attempt) start();
    }
    ~JackServer()
    {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i, usleep(20000))
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    bool ready() const { return ready_; }

private:
    void start()
    {
        pid_ = fork();
        if (pid_ == 0) {
            if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
            execlp("jackd", "jackd", "--no-realtime", "-n", name_.c_str(), "-d", "dummy", "-r", "48000", "-p", "256",
                   nullptr);
            _exit(127);
        }
        for (int i = 0; i < 100 && !ready_; ++i) {
            usleep(50000);
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {  // exited: not ours to use
                pid_ = -1;
                usleep(500000);
                return;
            }
            if (jack_client_t* probe = jack_client_open("qx-test-probe", JackNoStartServer, nullptr)) {
                jack_client_close(probe);
                ready_ = true;
            }
        }
    }

    std::string name_ = "qxtest-" + std::to_string(getpid());
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace qx::test
