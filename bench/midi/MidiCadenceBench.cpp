// How evenly the MIDI worker paces the looper: runs the link against the
// simulated looper on JACK for a while and prints messages per second and the
// spread of the intervals between messages against the intended 0.07 s.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

#include "common/ConsoleLine.h"
#include "common/MainQueue.h"
#include "link/IdleNetworkSide.h"
#include "midi/QXInterface.h"
#include "midi/RtMidiEndpoints.h"
#include "support/ChildProcess.h"
#include "support/JackServer.h"

namespace {

using Clock = std::chrono::steady_clock;

// Wraps the real endpoints and notes when each message leaves.
class TimedEndpoints : public qx::MidiEndpoints {
public:
    explicit TimedEndpoints(std::unique_ptr<qx::MidiEndpoints> inner) : inner_(std::move(inner)) {}
    void setReceiver(Receiver receiver) override { inner_->setReceiver(std::move(receiver)); }
    std::vector<std::string> destinationNames() const override { return inner_->destinationNames(); }
    std::vector<std::string> sourceNames() const override { return inner_->sourceNames(); }
    void sendToEach(std::span<const std::uint8_t> message) override
    {
        {
            std::lock_guard guard(lock_);
            times_.push_back(Clock::now());
        }
        inner_->sendToEach(message);
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
    qx::test::ChildProcess sim({QX_SIM_PATH, "--jack"});
    if (!sim.waitFor("ready", std::chrono::seconds(10))) return std::fputs("simulator did not start\n", stderr), 1;

    qx::setConsoleSink([](const std::string&) {});
    qx::ManualMainQueue ui;
    auto* timed = new TimedEndpoints(qx::openSystemMidiEndpoints());
    qx::QXInterface link(ui, std::unique_ptr<qx::MidiEndpoints>(timed));
    if (link.destinations().empty()) return std::fputs("no MIDI destination found\n", stderr), 1;
    qx::IdleNetworkSide network(link);
    link.attachNetwork(&network);
    link.start();
    network.start();
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::duration<double>(seconds)) ui.waitAndDrain(std::chrono::milliseconds(50));
    link.stop();
    network.stop();

    const auto times = timed->times();
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
    return 0;
}
