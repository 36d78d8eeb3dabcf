// Timing of the network link against qx-looper-sim across two network
// namespaces: query cadence, hand-back after the looper falls silent, and a
// 1,000,000-byte upgrade against the floor set by its round trips. Run inside
// the panel's namespace by run-net-bench.sh, which also makes and removes the
// namespaces.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "common/ConsoleLine.h"
#include "protocol/TextMessages.h"
#include "session/SessionFactory.h"
#include "support/Namespaces.h"
#include "support/SimulatedLooper.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double median(std::vector<double> v)
{
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2.0;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void printIntervals(const char* name, const std::vector<double>& v, double intended)
{
    std::printf("  %-26s n=%3zu  median %.4f s  p95 %.4f s  min %.4f s  median/intended %.3f\n", name, v.size(),
                median(v), percentile(v, 0.95), v.empty() ? 0.0 : *std::min_element(v.begin(), v.end()),
                median(v) / intended);
}

struct JournalEntry {
    double time;
    std::string text;
};

// The simulator's journal with its receive times ("0.123456 rx udp ...").
std::vector<JournalEntry> timedJournal(qx::test::SimulatedLooper& sim)
{
    std::vector<JournalEntry> out;
    for (const std::string& line : sim.command("journal")) {
        std::istringstream in(line);
        JournalEntry entry{};
        if (!(in >> entry.time)) continue;
        std::getline(in >> std::ws, entry.text);
        out.push_back(entry);
    }
    return out;
}

class Bench {
public:
    Bench()
        : sim_({"ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0", "--name", "bench"})
    {
        qx::setConsoleSink([](const std::string&) {});
    }
    ~Bench()
    {
        if (session_) session_->stop();
        qx::setConsoleSink(nullptr);
    }

    bool ready() { return sim_.ready(); }

    // No MIDI ports: the MIDI side gives the link to the network at once.
    bool startLink()
    {
        qx::NetworkLink::Options options;
        options.enumerate = qx::test::testSubnetInterfaces;  // never the machine's own interfaces
        session_ = std::make_unique<qx::LooperSession>(ui_, qx::makeLinks({.midi = {}, .network = options}));
        session_->start();
        return pumpUntil([this] { return connected(); });
    }

    // The network side holds the link and has found the looper.
    bool connected() const
    {
        const qx::LinkArbiter& arbiter = session_->arbiter();
        return arbiter.holds(qx::Transport::network) &&
               arbiter.state().phase == qx::LinkState::Phase::connectedNetwork;
    }

    void cadence(double seconds)
    {
        qx::bench::pumpFor(ui_, std::chrono::duration<double>(seconds));
        const auto journal = timedJournal(sim_);
        std::vector<double> statusToLog, logToStatus, cycle;
        double firstStatus = -1, lastStatus = -1, previousStatus = -1, previousLog = -1;
        std::size_t statusCount = 0;
        for (const JournalEntry& e : journal) {
            if (e.text == "rx udp <query>status compact</query>") {
                if (previousLog >= 0) logToStatus.push_back(e.time - previousLog);
                if (previousStatus >= 0) cycle.push_back(e.time - previousStatus);
                if (firstStatus < 0) firstStatus = e.time;
                previousStatus = lastStatus = e.time;
                ++statusCount;
            } else if (e.text == "rx udp <query>log</query>") {
                if (previousStatus >= 0) statusToLog.push_back(e.time - previousStatus);
                previousLog = e.time;
            }
        }
        const double span = lastStatus - firstStatus;
        std::printf("query cadence over %.1f s (%zu status queries):\n", span, statusCount);
        std::printf("  status queries per second  %.2f  (intended about %.2f: one per 0.15 s plus send time)\n",
                    span > 0 ? static_cast<double>(statusCount - 1) / span : 0.0, 1.0 / 0.15);
        printIntervals("status -> log query", statusToLog, 0.05);
        printIntervals("log -> next status query", logToStatus, 0.1);
        printIntervals("status -> status", cycle, 0.15);
    }

    void handBack(int rounds)
    {
        qx::LinkArbiter& arbiter = session_->arbiter();
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            // Polling and answered.
            if (!pumpUntil([&] { return connected() && arbiter.unanswered(qx::Transport::network) == 0; }, 5s)) break;
            const auto start = Clock::now();
            sim_.command("silent");
            if (!pumpUntil([&] { return arbiter.holds(qx::Transport::midi); }, 10s)) break;
            times.push_back(secondsSince(start));
            // Bring the looper back; MIDI, finding nothing, hands the link over again.
            sim_.command("answer");
            if (!pumpUntil([this] { return connected(); }, 10s)) break;
        }
        std::printf("looper falls silent -> link handed back to MIDI (%zu rounds):\n", times.size());
        std::printf("  median %.3f s  min %.3f s  max %.3f s  (intended about 1.5 s: ten passes of 0.15 s)\n",
                    median(times), times.empty() ? 0.0 : *std::min_element(times.begin(), times.end()),
                    times.empty() ? 0.0 : *std::max_element(times.begin(), times.end()));
    }

    // A bare identity query and its reply, from a socket of the bench's own.
    double roundTrip(int samples)
    {
        auto socket = qx::UdpSocket::open();
        if (!socket) return 0.0;
        const sockaddr_in looper = qx::makeSockaddr({10, 77, 0, 2}, qx::kLooperPort);
        std::vector<double> times;
        std::vector<std::uint8_t> buffer(2048);
        for (int i = 0; i < samples; ++i) {
            const auto start = Clock::now();
            socket->sendTo(qx::net::bytesOf(qx::net::kIdentityQuery), looper);
            if (socket->receiveFrom(buffer).kind == qx::UdpSocket::Received::Kind::datagram)
                times.push_back(secondsSince(start));
        }
        return median(times);
    }

    void upgrade(std::size_t size)
    {
        std::mt19937 random(7);
        qx::Bytes file(size);
        for (auto& b : file) b = static_cast<std::uint8_t>(random());
        const double rtt = roundTrip(200);
        const std::int64_t slices = (static_cast<std::int64_t>(size) + 511) / 512;
        const auto path = std::filesystem::temp_directory_path() / ("qx-net-bench-upgrade-" + std::to_string(getpid()));
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        const qx::CommandOutcome& outcome = *session_->models().outcome;
        const std::uint64_t endedBefore = outcome.ended();
        const auto start = Clock::now();
        const qx::Outcome started = session_->upgrade(path.string());
        if (!started.success) {
            std::filesystem::remove(path);
            std::printf("upgrade refused: %s\n", started.text.c_str());
            return;
        }
        const bool ended = pumpUntil([&] { return outcome.ended() > endedBefore; }, 120s);
        const double took = secondsSince(start);
        std::filesystem::remove(path);
        if (!ended) {
            std::printf("upgrade did not end within 120 s\n");
            return;
        }
        const double floor = static_cast<double>(slices) * rtt;
        std::printf("upgrade of %zu bytes (%lld slices): \"%s\"\n", size, static_cast<long long>(slices),
                    outcome.last().text.c_str());
        std::printf("  took %.3f s, %.1f kB/s, %.1f us per slice\n", took, static_cast<double>(size) / took / 1000.0,
                    took / static_cast<double>(slices) * 1e6);
        std::printf("  identity query round trip median %.1f us; floor %lld x RTT = %.3f s; took/floor %.2f\n",
                    rtt * 1e6, static_cast<long long>(slices), floor, floor > 0 ? took / floor : 0.0);
    }

private:
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s)
    {
        return qx::bench::pumpUntil(ui_, done, limit);
    }

    qx::test::SimulatedLooper sim_;
    qx::ManualMainQueue ui_;
    std::unique_ptr<qx::LooperSession> session_;
};

}  // namespace

int main()
{
    if (!qx::test::insideNamespace(QX_PANEL_NETNS)) {
        std::fprintf(stderr, "run inside the namespace: ip netns exec %s (see run-net-bench.sh)\n", QX_PANEL_NETNS);
        return 2;
    }
    Bench bench;
    if (!bench.ready() || !bench.startLink()) {
        std::fprintf(stderr, "the simulated looper was not found\n");
        return 1;
    }
    bench.cadence(6.0);
    bench.handBack(5);
    bench.upgrade(1'000'000);
    return 0;
}
