// How evenly the MIDI worker paces the looper: runs the link against the
// simulated looper on JACK for a while and prints messages per second and the
// spread of the intervals between messages against the intended 0.07 s; then
// sends a firmware file of SysEx messages and compares the time it took with
// one message per 0.07 s cycle.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "BenchSupport.h"
#include "common/ConsoleLine.h"
#include "midi/SystemMidiEndpoints.h"
#include "session/SessionFactory.h"
#include "support/JackServer.h"
#include "support/SimulatedLooper.h"

namespace {

using Clock = std::chrono::steady_clock;

// Wraps the real endpoints and notes when each message leaves.
class TimedEndpoints : public qx::MidiEndpoints {
public:
    explicit TimedEndpoints(std::unique_ptr<qx::MidiEndpoints> inner) : inner_(std::move(inner)) {}
    void setReceiver(Receiver receiver) override { inner_->setReceiver(std::move(receiver)); }
    std::vector<std::string> destinationNames() const override { return inner_->destinationNames(); }
    std::vector<std::string> sourceNames() const override { return inner_->sourceNames(); }
    bool sendToEach(std::span<const std::uint8_t> message) override
    {
        {
            std::lock_guard guard(lock_);
            times_.push_back(Clock::now());
        }
        return inner_->sendToEach(message);
    }
    std::vector<Clock::time_point> times() const
    {
        std::lock_guard guard(lock_);
        return times_;
    }

private:
    std::unique_ptr<qx::MidiEndpoints> inner_;
    mutable std::mutex lock_;
    std::vector<Clock::time_point> times_;
};

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    qx::test::JackServer jack;
    if (!jack.ready()) return std::fputs("jackd did not start\n", stderr), 1;
    qx::test::SimulatedLooper sim({QX_SIM_PATH, "--jack"});
    if (!sim.ready()) return std::fputs("simulator did not start\n", stderr), 1;

    qx::setConsoleSink([](const std::string&) {});
    qx::ManualMainQueue ui;
    TimedEndpoints* timed = nullptr;  // owned by the MIDI link
    auto openTimed = [&timed] {
        auto endpoints = std::make_unique<TimedEndpoints>(qx::openSystemMidiEndpoints());
        timed = endpoints.get();
        return endpoints;
    };
    qx::LooperSession session(ui, qx::makeLinks({.midi = openTimed, .network = std::nullopt}));
    if (timed->destinationNames().empty()) return std::fputs("no MIDI destination found\n", stderr), 1;
    session.start();
    qx::bench::pumpFor(ui, std::chrono::duration<double>(seconds));
    const auto times = timed->times();

    // The upgrade: 256-byte messages (the most one packet holds).
    const std::size_t upgradeBytes = argc > 2 ? static_cast<std::size_t>(std::atol(argv[2])) : 100000;
    qx::Bytes file;
    std::size_t messages = 0;
    while (file.size() + 256 <= upgradeBytes) {
        qx::Bytes m(256, static_cast<std::uint8_t>(messages & 0x7F));
        m[0] = 0xF0;
        m[1] = 0x7D;
        m.back() = 0xF7;
        file.insert(file.end(), m.begin(), m.end());
        ++messages;
    }
    const auto path = std::filesystem::temp_directory_path() / ("qx-bench-upgrade-" + std::to_string(getpid()));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    const qx::CommandOutcome& outcome = *session.models().outcome;
    const std::uint64_t endedBefore = outcome.ended();
    const auto upgradeStart = Clock::now();
    if (const qx::Outcome started = session.upgrade(path.string()); !started.success)
        return std::fprintf(stderr, "%s\n", started.text.c_str()), 1;
    const bool ended = qx::bench::pumpUntil(ui, [&] { return outcome.ended() > endedBefore; }, std::chrono::minutes(5));
    const double upgradeSeconds = std::chrono::duration<double>(Clock::now() - upgradeStart).count();
    std::filesystem::remove(path);
    session.stop();

    std::vector<double> intervals;
    for (std::size_t i = 2; i < times.size(); ++i)  // skip the search's first request
        intervals.push_back(std::chrono::duration<double>(times[i] - times[i - 1]).count());
    if (intervals.empty()) return std::fputs("no messages were sent\n", stderr), 1;
    const double median = percentile(intervals, 0.5), p95 = percentile(intervals, 0.95);
    std::printf("MIDI polling cadence over JACK, %.0f s\n", seconds);
    std::printf("  messages sent       %zu (%.2f per second; intended %.2f)\n", times.size(),
                static_cast<double>(times.size()) / seconds, 1 / 0.07);
    std::printf("  interval median     %.4f s (%.3f x 0.07 s)\n", median, median / 0.07);
    std::printf("  interval p95        %.4f s (%.3f x 0.07 s)\n", p95, p95 / 0.07);
    std::printf("  interval max        %.4f s\n", *std::max_element(intervals.begin(), intervals.end()));
    std::printf("MIDI upgrade of %zu bytes in %zu messages: %.2f s (%s); floor %zu x 0.07 s = %.2f s, ratio %.3f\n",
                file.size(), messages, upgradeSeconds, ended ? outcome.last().text.c_str() : "no outcome", messages,
                static_cast<double>(messages) * 0.07, upgradeSeconds / (static_cast<double>(messages) * 0.07));
    return 0;
}
