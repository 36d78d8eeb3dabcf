#pragma once
// Two network namespaces joined by a veth pair, 10.77.0.1/24 in the first and
// 10.77.0.2/24 in the second. The addresses exist only inside them, so no
// datagram of the test can reach a real network. Both are removed when the
// object goes (which removes the veth pair with them).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace qx::sim::test {

// Runs a program (no shell) and returns its exit status; -1 when it could not run.
inline int runProgram(std::vector<std::string> argv)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
        }
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (pid < 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

class NamespacePair {
public:
    NamespacePair()
        : panelSide_("qxsimP" + std::to_string(getpid())), looperSide_("qxsimL" + std::to_string(getpid()))
    {
        const std::string vethP = "qsp" + std::to_string(getpid() % 1000000);
        const std::string vethL = "qsl" + std::to_string(getpid() % 1000000);
        ok_ = runProgram({"ip", "netns", "add", panelSide_}) == 0;
        created_ = ok_;
        ok_ = ok_ && runProgram({"ip", "netns", "add", looperSide_}) == 0;
        // Made inside the first namespace and moved straight into the second:
        // the pair never exists outside them.
        ok_ = ok_ && runProgram({"ip", "-n", panelSide_, "link", "add", vethP, "type", "veth", "peer", "name", vethL,
                                 "netns", looperSide_}) == 0;
        ok_ = ok_ && runProgram({"ip", "-n", panelSide_, "addr", "add", "10.77.0.1/24", "dev", vethP}) == 0;
        ok_ = ok_ && runProgram({"ip", "-n", looperSide_, "addr", "add", "10.77.0.2/24", "dev", vethL}) == 0;
        for (const std::string& ns : {panelSide_, looperSide_}) {
            ok_ = ok_ && runProgram({"ip", "-n", ns, "link", "set", "lo", "up"}) == 0;
        }
        ok_ = ok_ && runProgram({"ip", "-n", panelSide_, "link", "set", vethP, "up"}) == 0;
        ok_ = ok_ && runProgram({"ip", "-n", looperSide_, "link", "set", vethL, "up"}) == 0;
    }
    ~NamespacePair()
    {
        runProgram({"ip", "netns", "del", looperSide_});
        if (created_) runProgram({"ip", "netns", "del", panelSide_});
    }
    NamespacePair(const NamespacePair&) = delete;
    NamespacePair& operator=(const NamespacePair&) = delete;

    bool ok() const { return ok_; }
    const std::string& panelSide() const { return panelSide_; }
    const std::string& looperSide() const { return looperSide_; }

    // A UDP socket that lives in the panel's namespace, bound to
    // 10.77.0.1 (any port) with broadcasts allowed; -1 on failure. Made on a
    // thread of its own, which alone enters the namespace.
    int panelSocket() const
    {
        int fd = -1;
        std::thread maker([&] {
            const int ns = open(("/var/run/netns/" + panelSide_).c_str(), O_RDONLY | O_CLOEXEC);
            if (ns < 0) return;
            if (setns(ns, CLONE_NEWNET) == 0) {
                fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
                const int on = 1;
                setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
                sockaddr_in sa{};
                sa.sin_family = AF_INET;
                inet_pton(AF_INET, "10.77.0.1", &sa.sin_addr);
                if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
                    close(fd);
                    fd = -1;
                }
            }
            close(ns);
        });
        maker.join();
        return fd;
    }

private:
    std::string panelSide_;
    std::string looperSide_;
    bool ok_ = false;
    bool created_ = false;
};

}  // namespace qx::sim::test
