// How long a save and a restore take against an answering simulated looper,
// beside the floor the pacing sets: a full pass is 49 requests, and the MIDI
// worker sends one per 0.07 s cycle, the network polling loop one per 0.05 s
// pass.
//
// usage: bench_saved_transfer midi [ROUNDS]   (starts its own JACK server)
//        bench_saved_transfer net [ROUNDS]    (inside namespace qxsavedA, with
//                                              the looper in qxsavedB: run it
//                                              through run-saved-bench.sh)
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <vector>

#include "BenchSupport.h"
#include "common/ConsoleLine.h"
#include "midi/SystemMidiEndpoints.h"
#include "session/SessionFactory.h"
#include "support/JackServer.h"
#include "support/Namespaces.h"
#include "support/SimulatedLooper.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kMidiCycle = 0.07;
constexpr double kNetworkPass = 0.05;
constexpr double kPassRequests = 49;

struct Run {
    double transfer = 0;  // command to outcome
    double done = 0;      // command to the last queued write sent
    bool success = false;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// MIDI alone (no network side), or the network alone (no MIDI ports).
qx::LinkChoice linksFor(bool network)
{
    if (!network) return {.midi = [] { return qx::openSystemMidiEndpoints(); }, .network = std::nullopt};
    qx::NetworkLink::Options options;
    options.enumerate = qx::test::testSubnetInterfaces;  // never the machine's own interfaces
    return {.midi = {}, .network = options};
}

class Bench {
public:
    explicit Bench(bool network) : session_(ui_, qx::makeLinks(linksFor(network))) { session_.start(); }
    ~Bench() { session_.stop(); }

    bool waitForLooper(bool network)
    {
        if (network) return pumpUntil([this] { return !session_.models().deviceLine->text().empty(); }, 20s);
        return pumpUntil([this] { return session_.arbiter().unanswered(qx::Transport::midi) == 0; }, 10s);
    }

    Run transfer(bool save, const std::filesystem::path& path)
    {
        const qx::CommandOutcome& outcome = *session_.models().outcome;
        const std::uint64_t endedBefore = outcome.ended();
        const auto start = Clock::now();
        if (!(save ? session_.save(path.string()) : session_.restore(path.string())).success) return {};
        Run run;
        if (!pumpUntil([&] { return outcome.ended() > endedBefore; }, 120s)) return run;
        run.transfer = std::chrono::duration<double>(Clock::now() - start).count();
        pumpUntil([this] { return session_.queuedForLooper() == 0; }, 60s);
        run.done = std::chrono::duration<double>(Clock::now() - start).count();
        run.success = outcome.last().success;
        return run;
    }

private:
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
    {
        return qx::bench::pumpUntil(ui_, done, limit);
    }

    qx::ManualMainQueue ui_;
    qx::LooperSession session_;
};

void report(const char* what, const std::vector<Run>& runs, double floor)
{
    std::vector<double> transfer, done;
    int failed = 0;
    for (const Run& r : runs) {
        if (!r.success) ++failed;
        transfer.push_back(r.transfer);
        done.push_back(r.done);
    }
    const double t = median(transfer), d = median(done);
    std::printf("  %-8s transfer median %6.2f s (%.2f x floor), until the queue is empty %6.2f s; failed %d of %zu\n",
                what, t, t / floor, d, failed, runs.size());
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "midi" && mode != "net") return std::fputs("usage: bench_saved_transfer midi|net [ROUNDS]\n", stderr), 2;
    const bool network = mode == "net";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    if (network && !qx::test::insideNamespace(QX_PANEL_NETNS))
        return std::fputs("run the network mode through bench/saved/run-saved-bench.sh\n", stderr), 2;

    std::optional<qx::test::JackServer> jack;
    std::unique_ptr<qx::test::SimulatedLooper> sim;
    if (network) {
        sim = std::make_unique<qx::test::SimulatedLooper>(std::vector<std::string>{
            "ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0"});
    } else {
        jack.emplace();
        if (!jack->ready()) return std::fputs("jackd did not start\n", stderr), 1;
        sim = std::make_unique<qx::test::SimulatedLooper>(std::vector<std::string>{QX_SIM_PATH, "--jack"});
    }
    if (!sim->ready()) return std::fputs("simulator did not start\n", stderr), 1;
    qx::setConsoleSink([](const std::string&) {});

    char pattern[] = "/tmp/qx-saved-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::filesystem::path folder = pattern;

    std::vector<Run> saves, restores;
    {
        Bench bench(network);
        if (!bench.waitForLooper(network)) return std::fputs("the looper did not answer\n", stderr), 1;
        for (int i = 0; i < rounds; ++i) saves.push_back(bench.transfer(true, folder / "looper.cfg"));
        // Each restore changes eight buttons.
        std::ifstream in(folder / "looper.cfg");
        nlohmann::json file = nlohmann::json::parse(in, nullptr, false);
        for (int i = 0; i < rounds; ++i) {
            if (file.is_object())
                for (int code = 0; code < 8; ++code)
                    file["MIDIButtons"][std::to_string(code * 40)] = std::vector<int>{i, -1, -1, -1, -1, -1, -1, i};
            std::ofstream(folder / "changed.cfg") << file.dump();
            restores.push_back(bench.transfer(false, folder / "changed.cfg"));
        }
    }
    sim.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);

    const double period = network ? kNetworkPass : kMidiCycle;
    const double floor = kPassRequests * period;
    std::printf("Saved configuration over %s, %d rounds each\n", network ? "the network (UDP, namespaces)" : "JACK MIDI",
                rounds);
    std::printf("  floor set by the pacing: %.0f requests x %.2f s = %.2f s\n", kPassRequests, period, floor);
    report("save", saves, floor);
    report("restore", restores, floor);
    return 0;
}
