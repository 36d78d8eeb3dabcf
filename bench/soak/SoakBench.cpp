// Soak: a looper session polls the simulated looper for a long time (10
// minutes by default) with 1% of the looper's replies garbled, over MIDI (a
// JACK server of its own on the dummy driver) or over the network (run inside
// the panel's namespace by run-soak.sh). Every sample period it prints this
// process's resident memory and thread count and the cadence of status
// requests as the looper received them; at the end, the memory trend and the
// longest gap between two status requests.
//
//   soak_bench midi|udp [MINUTES] [SAMPLE_SECONDS]
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "common/ConsoleLine.h"
#include "midi/SystemMidiEndpoints.h"
#include "session/SessionFactory.h"
#include "support/JackServer.h"
#include "support/Namespaces.h"
#include "support/SimulatedLooper.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A field of /proc/PID/status in kB or as a count ("VmRSS", "Threads").
long statusField(const std::string& pid, const std::string& field)
{
    std::ifstream in("/proc/" + pid + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(field + ":")) return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return -1;
}

// The simulated looper's PID: the child of this process that runs the
// simulator ("ip netns exec" execs it in place). Empty when there is none.
std::string simulatorPid()
{
    const std::string self = std::to_string(getpid());
    const std::string name = std::filesystem::path(QX_SIM_PATH).filename().string().substr(0, 15);  // comm's length
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(entry.path() / "status");
        std::string comm, parent;
        for (std::string line; std::getline(in, line);) {
            std::string key, value;
            std::istringstream(line) >> key >> value;
            if (key == "Name:") comm = value;
            if (key == "PPid:") parent = value;
        }
        if (comm == name && parent == self) return pid;
    }
    return "";
}

// What the looper received, counted as it arrives: status requests, every
// message, and the longest gap between two status requests.
class Cadence {
public:
    explicit Cadence(std::string statusLine) : statusLine_(std::move(statusLine)) {}

    void received(const std::string& line)
    {
        const auto now = Clock::now();
        std::lock_guard guard(lock_);
        ++messages_;
        if (line != statusLine_) return;
        ++status_;
        if (last_ != Clock::time_point{}) maxGap_ = std::max(maxGap_, now - last_);
        last_ = now;
    }

    struct Interval {
        long status = 0;
        long messages = 0;
        double maxGapSeconds = 0;
    };
    // The counts since the last call.
    Interval take()
    {
        std::lock_guard guard(lock_);
        Interval out{status_, messages_, std::chrono::duration<double>(maxGap_).count()};
        status_ = messages_ = 0;
        maxGap_ = {};
        return out;
    }

private:
    const std::string statusLine_;
    std::mutex lock_;
    long status_ = 0;
    long messages_ = 0;
    Clock::duration maxGap_{};
    Clock::time_point last_{};
};

struct Sample {
    double minutes;
    long rssKb;
    long threads;
    long looperRssKb;
    Cadence::Interval cadence;
    long gridUpdates;
    long consoleLines;
};

// Least-squares slope of RSS over time, in kB per minute.
double rssSlope(const std::vector<Sample>& samples)
{
    if (samples.size() < 2) return 0;
    double mx = 0, my = 0;
    for (const auto& s : samples) mx += s.minutes, my += static_cast<double>(s.rssKb);
    mx /= static_cast<double>(samples.size());
    my /= static_cast<double>(samples.size());
    double sxy = 0, sxx = 0;
    for (const auto& s : samples) {
        sxy += (s.minutes - mx) * (static_cast<double>(s.rssKb) - my);
        sxx += (s.minutes - mx) * (s.minutes - mx);
    }
    return sxx > 0 ? sxy / sxx : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string kind = argc > 1 ? argv[1] : "";
    const double minutes = argc > 2 ? std::atof(argv[2]) : 10.0;
    const double sampleSeconds = argc > 3 ? std::atof(argv[3]) : 10.0;
    if ((kind != "midi" && kind != "udp") || minutes <= 0 || sampleSeconds <= 0) {
        std::fprintf(stderr, "usage: soak_bench midi|udp [MINUTES] [SAMPLE_SECONDS]\n");
        return 2;
    }
    const bool overMidi = kind == "midi";
    if (!overMidi && !qx::test::insideNamespace(QX_PANEL_NETNS)) {
        std::fprintf(stderr, "soak_bench udp runs inside %s: use bench/soak/run-soak.sh\n", QX_PANEL_NETNS);
        return 2;
    }

    std::atomic<long> consoleLines{0};  // "Unknown sysex" and the like, from garbled replies
    qx::setConsoleSink([&](const std::string&) { ++consoleLines; });

    std::unique_ptr<qx::test::JackServer> jack;
    if (overMidi) {
        jack = std::make_unique<qx::test::JackServer>();
        if (!jack->ready()) {
            std::fprintf(stderr, "jackd did not start\n");
            return 1;
        }
    }
    std::vector<std::string> simArgs{QX_SIM_PATH, "--journal"};
    if (overMidi) {
        simArgs.insert(simArgs.begin() + 1, "--jack");
    } else {
        simArgs.insert(simArgs.begin(), {"ip", "netns", "exec", QX_LOOPER_NETNS});
        simArgs.insert(simArgs.end(), {"--udp", "0.0.0.0", "--name", "QXsoak"});
    }
    Cadence cadence(overMidi ? "rx midi F0 00 02 33 02 F7" : "rx udp <query>status compact</query>");
    qx::test::SimulatedLooper looper(simArgs);
    if (!looper.ready()) {
        std::fprintf(stderr, "the simulated looper did not start\n");
        return 1;
    }
    if (looper.command("garble 0.01").empty()) return 1;
    looper.setJournalListener([&](const std::string& line) { cadence.received(line); });

    qx::LinkChoice links;
    if (overMidi) {
        links.midi = [] { return qx::openSystemMidiEndpoints(); };
    } else {
        qx::NetworkLink::Options options;
        options.enumerate = qx::test::testSubnetInterfaces;  // never the machine's own interfaces
        links.network = options;
    }
    qx::ManualMainQueue ui;
    qx::LooperSession session(ui, qx::makeLinks(links));
    const qx::SessionModels& models = session.models();
    long gridUpdates = 0;
    models.tracks->subscribe([&] { ++gridUpdates; });
    session.start();

    const std::string self = std::to_string(getpid());
    const std::string looperPid = simulatorPid();
    std::printf("soak over %s: %.1f min, a sample every %.0f s, 1%% of replies garbled\n", kind.c_str(), minutes,
                sampleSeconds);
    std::printf("%7s %9s %7s %10s %9s %9s %11s %7s %8s\n", "minute", "rss_kB", "threads", "looper_kB", "status/s",
                "msgs/s", "max_gap_s", "grid/s", "console");

    std::vector<Sample> samples;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(minutes * 60));
    auto nextSample = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(sampleSeconds));
    cadence.take();
    while (Clock::now() < end) {
        ui.waitAndDrain(10ms);
        // The log grows with the looper's text for as long as the panel runs,
        // as the log tab's does; clear it so it does not count as a leak.
        if (models.log->log().size() > 4096) models.log->setLog("");
        if (Clock::now() < nextSample) continue;
        nextSample += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(sampleSeconds));
        Sample s{std::chrono::duration<double>(Clock::now() - start).count() / 60.0,
                 statusField(self, "VmRSS"),
                 statusField(self, "Threads"),
                 statusField(looperPid, "VmRSS"),
                 cadence.take(),
                 gridUpdates,
                 consoleLines.exchange(0)};
        gridUpdates = 0;
        samples.push_back(s);
        std::printf("%7.2f %9ld %7ld %10ld %9.2f %9.2f %11.3f %7.2f %8ld\n", s.minutes, s.rssKb, s.threads,
                    s.looperRssKb, static_cast<double>(s.cadence.status) / sampleSeconds,
                    static_cast<double>(s.cadence.messages) / sampleSeconds, s.cadence.maxGapSeconds,
                    static_cast<double>(s.gridUpdates) / sampleSeconds, s.consoleLines);
        std::fflush(stdout);
    }
    session.stop();
    qx::setConsoleSink({});

    if (samples.size() < 2) return 0;
    // The first sample holds the start-up; the trend is taken after it.
    const std::vector<Sample> steady(samples.begin() + 1, samples.end());
    long rssMin = steady.front().rssKb, rssMax = rssMin, threadsMin = steady.front().threads, threadsMax = threadsMin;
    double worstGap = 0, slowest = 1e9;
    for (const auto& s : steady) {
        rssMin = std::min(rssMin, s.rssKb);
        rssMax = std::max(rssMax, s.rssKb);
        threadsMin = std::min(threadsMin, s.threads);
        threadsMax = std::max(threadsMax, s.threads);
        worstGap = std::max(worstGap, s.cadence.maxGapSeconds);
        slowest = std::min(slowest, static_cast<double>(s.cadence.status) / sampleSeconds);
    }
    std::printf("summary: rss %ld..%ld kB (trend %+.1f kB/min after the first sample), threads %ld..%ld, "
                "status requests >= %.2f/s in every sample, longest gap between two %.3f s\n",
                rssMin, rssMax, rssSlope(steady), threadsMin, threadsMax, slowest, worstGap);
    return 0;
}
