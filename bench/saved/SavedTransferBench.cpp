// How long a save and a restore take against an answering simulated looper on
// JACK MIDI, beside the floor the pacing sets: a full pass is 49 requests and
// the MIDI worker sends one per 0.07 s cycle.
//
// usage: bench_saved_transfer [ROUNDS]   (default 3)
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

#include "common/ConsoleLine.h"
#include "common/MainQueue.h"
#include "link/IdleNetworkSide.h"
#include "link/LooperLink.h"
#include "midi/RtMidiEndpoints.h"
#include "support/ChildProcess.h"
#include "support/JackServer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kMidiCycle = 0.07;
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

class Bench {
public:
    Bench(qx::test::ChildProcess& sim) : sim_(sim)
    {
        link_ = std::make_unique<qx::LooperLink>(ui_, qx::openSystemMidiEndpoints(), [](qx::LinkHost& host) {
            return std::make_unique<qx::IdleNetworkSide>(host);
        });
        link_->saveableConfig().setOutcomeHandler([this](const qx::Outcome& o) { outcome_ = o; });
        link_->start();
    }
    ~Bench() { link_->stop(); }

    bool waitForLooper()
    {
        return pumpUntil([this] { return link_->interface().pollTries.load() == 0; }, 10s);
    }

    Run transfer(bool save, const std::filesystem::path& path)
    {
        outcome_.reset();
        qx::QXSaveableConfig& config = link_->saveableConfig();
        const auto start = Clock::now();
        if (save ? config.saveConfiguration(path) : config.restoreConfiguration(path)) return {};
        Run run;
        if (!pumpUntil([this] { return outcome_.has_value(); }, 120s)) return run;
        run.transfer = std::chrono::duration<double>(Clock::now() - start).count();
        qx::QXCommandQueue& commands = link_->interface().cmdQueue;
        pumpUntil([&] { return commands.count() == 0; }, 60s);
        run.done = std::chrono::duration<double>(Clock::now() - start).count();
        run.success = outcome_->success;
        return run;
    }

private:
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
    {
        const auto until = Clock::now() + timeout;
        std::string line;
        while (Clock::now() < until) {
            ui_.drain();
            if (done()) return true;
            // The simulator's output must be read or its pipe fills up.
            while (sim_.readLine(line, 2ms)) {
            }
        }
        return false;
    }

    qx::test::ChildProcess& sim_;
    qx::ManualMainQueue ui_;
    std::unique_ptr<qx::LooperLink> link_;
    std::optional<qx::Outcome> outcome_;
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
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    qx::test::JackServer jack;
    if (!jack.ready()) return std::fputs("jackd did not start\n", stderr), 1;
    qx::test::ChildProcess sim({QX_SIM_PATH, "--jack"});
    if (!sim.waitFor("ready", 10s)) return std::fputs("simulator did not start\n", stderr), 1;
    qx::setConsoleSink([](const std::string&) {});

    char pattern[] = "/tmp/qx-saved-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::filesystem::path folder = pattern;

    std::vector<Run> saves, restores;
    {
        Bench bench(sim);
        if (!bench.waitForLooper()) return std::fputs("the looper did not answer\n", stderr), 1;
        for (int i = 0; i < rounds; ++i) saves.push_back(bench.transfer(true, folder / "looper.cfg"));
        // A restore that changes eight buttons, then one that changes nothing.
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
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);

    const double floor = kPassRequests * kMidiCycle;
    std::printf("Saved configuration over JACK MIDI, %d rounds each\n", rounds);
    std::printf("  floor set by the pacing: %.0f requests x %.2f s = %.2f s\n", kPassRequests, kMidiCycle, floor);
    report("save", saves, floor);
    report("restore", restores, floor);
    return 0;
}
