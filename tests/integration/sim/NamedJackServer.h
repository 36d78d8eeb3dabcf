#pragma once
// A JACK server on the dummy driver under a name of its own, started by the
// test and stopped by its PID. The name goes into JACK_DEFAULT_SERVER, so the
// test's own clients and every child it starts use this server and no other
// (a run from another build tree cannot collide with it).
#include <jack/jack.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace qx::sim::test {

class NamedJackServer {
public:
    NamedJackServer() : name_("qxsim" + std::to_string(getpid()))
    {
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        pid_ = fork();
        if (pid_ == 0) {
            if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
            execlp("jackd", "jackd", "--no-realtime", "-n", name_.c_str(), "-d", "dummy", "-r", "48000", "-p", "256",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        // Ready once a client can connect: at most 100 tries, 5 s.
        for (int i = 0; i < 100 && !ready_ && pid_ > 0; ++i) {
            usleep(50'000);
            if (jack_client_t* probe = jack_client_open("qxsim-probe", JackNoStartServer, nullptr)) {
                jack_client_close(probe);
                ready_ = true;
            }
        }
    }
    ~NamedJackServer()
    {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            usleep(20'000);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    NamedJackServer(const NamedJackServer&) = delete;
    NamedJackServer& operator=(const NamedJackServer&) = delete;

    bool ready() const { return ready_; }

private:
    std::string name_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace qx::sim::test
