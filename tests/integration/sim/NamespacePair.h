#pragma once
// Two network namespaces joined by a veth pair, 10.77.0.1/24 in the first (the
// panel's side) and 10.77.0.2/24 in the second (the looper's side). The
// addresses exist only inside them, so no datagram of a test can reach a real
// network. Both are removed when the object goes, and the veth pair with them.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

namespace qx::sim::test {

class NamespacePair {
public:
    NamespacePair()
    {
        // The veth pair is made in the first namespace and moved straight into
        // the second: it never exists outside them.
        const std::string p = "qsp" + id_, l = "qsl" + id_, inP = " && ip -n " + panel_, inL = " && ip -n " + looper_;
        ok_ = run("ip netns add " + panel_ + " && ip netns add " + looper_ + inP + " link add " + p +
                  " type veth peer name " + l + " netns " + looper_ + inP + " addr add 10.77.0.1/24 dev " + p + inL +
                  " addr add 10.77.0.2/24 dev " + l + inP + " link set lo up" + inL + " link set lo up" + inP +
                  " link set " + p + " up" + inL + " link set " + l + " up");
    }
    // Either may be missing when setting up failed part way.
    ~NamespacePair() { run("ip netns del " + looper_ + "; ip netns del " + panel_); }
    NamespacePair(const NamespacePair&) = delete;
    NamespacePair& operator=(const NamespacePair&) = delete;

    bool ok() const { return ok_; }
    const std::string& looperSide() const { return looper_; }

    // What make() returns when run inside the panel's namespace, on a thread
    // of its own that alone enters it (a socket made there stays there).
    template <typename Make>
    auto inPanelSide(Make make) const
    {
        decltype(make()) made{};
        std::thread([&] {
            const int ns = open(("/var/run/netns/" + panel_).c_str(), O_RDONLY | O_CLOEXEC);
            if (ns >= 0 && setns(ns, CLONE_NEWNET) == 0) made = make();
            if (ns >= 0) close(ns);
        }).join();
        return made;
    }

private:
    // The names in these commands are our own, made of letters and digits.
    static bool run(const std::string& commands) { return std::system((commands + " >/dev/null 2>&1").c_str()) == 0; }

    const std::string id_ = std::to_string(getpid());
    const std::string panel_ = "qxsimP" + id_, looper_ = "qxsimL" + id_;
    bool ok_ = false;
};

}  // namespace qx::sim::test
