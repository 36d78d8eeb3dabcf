// What following MIDI ports costs: the time from a looper's ports appearing
// to its first status report (the looper plugged in, unplugged, plugged
// back, several times), then the panel's share of a core and its resident
// size while it polls the looper over JACK, and how many JACK clients it is.
#include <jack/jack.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "midi/SystemMidiEndpoints.h"
#include "session/SessionFactory.h"
#include "support/JackServer.h"
#include "support/SimulatedLooper.h"
#include "support/WaitUntil.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long statusKb(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with(field + ":")) return std::stol(line.substr(field.size() + 1));
    return -1;
}

// JACK clients whose name starts with the panel's.
std::size_t panelClients()
{
    jack_client_t* probe = jack_client_open("qx-bench-probe", JackNoStartServer, nullptr);
    if (!probe) return 0;
    std::set<std::string> clients;
    if (const char** ports = jack_get_ports(probe, "^REDOVIVevorev", nullptr, 0)) {
        for (const char** port = ports; *port; ++port) {
            const std::string name(*port);
            clients.insert(name.substr(0, name.find(':')));
        }
        jack_free(ports);
    }
    jack_client_close(probe);
    return clients.size();
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    const double pollSeconds = argc > 2 ? std::atof(argv[2]) : 20.0;
    qx::test::JackServer jack;
    if (!jack.ready()) {
        std::fputs("jackd did not start\n", stderr);
        return 1;
    }
    qx::ManualMainQueue ui;
    qx::LooperSession session(
        ui, qx::makeLinks({.midi = [] { return qx::openSystemMidiEndpoints(); }, .network = std::nullopt}));
    session.start();
    auto polling = [&] {
        ui.drain();
        return session.models().linkStatus->state().phase == qx::LinkState::Phase::pollingMidi;
    };

    std::vector<double> found;
    for (int round = 0; round < rounds; ++round) {
        qx::test::SimulatedLooper looper({QX_SIM_PATH, "--jack"});
        if (!looper.ready()) return 1;
        const auto appeared = Clock::now();  // the looper says ready once its ports exist
        const std::uint64_t answers = session.arbiter().answers(qx::Transport::midi);
        if (!qx::test::waitUntil([&] { return session.arbiter().answers(qx::Transport::midi) > answers; }, 30s))
            return 1;
        found.push_back(std::chrono::duration<double>(Clock::now() - appeared).count());
        if (round + 1 < rounds) continue;

        qx::test::waitUntil(polling, 30s);
        const double cpuBefore = cpuSeconds();
        const auto wallBefore = Clock::now();
        const auto end = wallBefore + std::chrono::milliseconds(static_cast<int>(pollSeconds * 1000));
        while (Clock::now() < end) ui.waitAndDrain(20ms);
        const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
        std::printf("polling over JACK for %.0f s: %.2f%% of a core\n", wall, 100.0 * (cpuSeconds() - cpuBefore) / wall);
        const long rss = statusKb("VmRSS"), shared = statusKb("RssShmem");
        std::printf("resident %.1f MB, of it shared memory %.1f MB, without it %.1f MB\n", static_cast<double>(rss) / 1024,
                    static_cast<double>(shared) / 1024, static_cast<double>(rss - shared) / 1024);
        std::printf("JACK clients of the panel: %zu\n", panelClients());
    }
    session.stop();
    std::sort(found.begin(), found.end());
    std::printf("ports appearing to first status report, %d rounds: median %.3f s, max %.3f s\n", rounds,
                found[found.size() / 2], found.back());
    return 0;
}
