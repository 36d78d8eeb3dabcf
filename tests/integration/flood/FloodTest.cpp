// A flooding looper against a whole panel session (qxctl monitor), built once
// per link: over JACK MIDI ports (a JACK server of the test's own, dummy
// driver) and, with QX_OVER_UDP, over the network with the looper in its own
// namespace. Both run in the panel's namespace, so the panel's network search
// never leaves the test subnet. The simulated looper's `flood` command sends
// the volumes below; after each flood the panel's resident memory must be
// within 20 MB of its idle figure (not under a sanitizer, whose own memory
// that figure would measure) and its polling must have gone on during the
// flood and after it. The figures go to standard output.
#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "protocol/Messages.h"
#include "sim/Flood.h"
#include "support/Hex.h"
#include "support/Namespaces.h"
#include "support/SimulatedLooper.h"
#include "support/WaitUntil.h"
#ifndef QX_OVER_UDP
#include <jack/midiport.h>

#include "support/JackServer.h"
#endif

namespace qx::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t kReports = 50'000;
constexpr std::uint64_t kLogBytes = 10ull << 20;   // 10 MiB
constexpr std::uint64_t kSysExBytes = 50ull << 20;  // 50 MiB
constexpr long kRssAllowanceKb = 20 * 1024;
constexpr auto kAfter = 5s;  // polling is counted this long after each flood

#ifdef QX_OVER_UDP
const char* const kLink = "udp";
const std::string kStatusRequest = "rx udp <query>status compact</query>";
const std::vector<std::string> kLooper = {"ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0"};
#else
const char* const kLink = "jack";
const std::string kStatusRequest = "rx midi " + toHex(msg::statusRequest());
const std::vector<std::string> kLooper = {QX_SIM_PATH, "--jack"};
#endif

// Under a sanitizer its own memory would be measured, and the slower build
// (the looper's too) neither holds the cadence nor gets every packet across
// JACK: there the flood need only get through and the panel go on.
#if defined(QX_SANITIZED)
constexpr bool kFullSpeed = false;
#else
constexpr bool kFullSpeed = true;
#endif

long residentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    return -1;
}

// The child of this process that runs the program (ChildProcess keeps its PID to itself).
pid_t childRunning(const std::string& program)
{
    const auto wanted = std::filesystem::canonical(program);
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
        std::istringstream rest(line.substr(line.rfind(')') + 1));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        std::error_code error;
        if (parent == ::getpid() && std::filesystem::read_symlink(entry.path() / "exe", error) == wanted)
            return std::stoi(entry.path().filename().string());
    }
    return -1;
}

#ifdef QX_OVER_UDP
// What the panel's namespace took in over UDP: the datagrams handed to a
// socket, and those dropped for want of room in one. The test itself uses
// no UDP, so they are the panel's.
struct Arrivals {
    std::uint64_t taken = 0, dropped = 0;
};
Arrivals udpArrivals()
{
    std::ifstream snmp("/proc/net/snmp");
    std::vector<std::string> names;
    for (std::string line; std::getline(snmp, line);) {
        if (!line.starts_with("Udp: ")) continue;
        std::istringstream words(line.substr(5));
        if (names.empty()) {
            for (std::string w; words >> w;) names.push_back(w);
            continue;
        }
        Arrivals a;
        for (std::size_t i = 0; i < names.size() && words; ++i) {
            std::uint64_t v = 0;
            words >> v;
            if (names[i] == "InDatagrams") a.taken = v;
            if (names[i] == "RcvbufErrors") a.dropped = v;
        }
        return a;
    }
    return {};
}
#else
// A JACK client of the test's own on the looper's output port: counts the
// bytes that port puts out, proof that the flood crossed JACK whole.
class JackTap {
public:
    JackTap()
    {
        client_ = jack_client_open("qx-flood-tap", JackNoStartServer, nullptr);
        if (!client_) return;
        port_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &JackTap::process, this);
        if (!port_ || jack_activate(client_) != 0) return;
        const char** sources = jack_get_ports(client_, "^QX Looper Sim", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
        if (sources && sources[0]) connected_ = jack_connect(client_, sources[0], jack_port_name(port_)) == 0;
        jack_free(sources);
    }
    ~JackTap()
    {
        if (client_) jack_client_close(client_);
    }
    bool connected() const { return connected_; }
    std::uint64_t bytes() const { return bytes_.load(); }

private:
    static int process(jack_nframes_t frames, void* self)
    {
        auto* tap = static_cast<JackTap*>(self);
        void* buffer = jack_port_get_buffer(tap->port_, frames);
        const std::uint32_t events = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < events; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) == 0) tap->bytes_ += event.size;
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    bool connected_ = false;
    std::atomic<std::uint64_t> bytes_{0};
};
#endif

// Times (on the looper's clock) of the status requests in its journal.
std::vector<double> statusRequestTimes(SimulatedLooper& looper)
{
    std::vector<double> times;
    for (const std::string& line : looper.command("journal")) {
        const auto space = line.find(' ');
        if (space != std::string::npos && line.compare(space + 1, std::string::npos, kStatusRequest) == 0)
            times.push_back(std::stod(line.substr(0, space)));
    }
    return times;
}

std::size_t countWithin(const std::vector<double>& times, double from, double to)
{
    return static_cast<std::size_t>(std::ranges::count_if(times, [&](double t) { return t >= from && t <= to; }));
}

double field(const std::string& line, const std::string& name)
{
    const auto at = line.find(" " + name + "=");
    return at == std::string::npos ? -1 : std::stod(line.substr(at + name.size() + 2));
}

class Flood : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(insideNamespace(QX_PANEL_NETNS)) << "run this binary with: ip netns exec " << QX_PANEL_NETNS;
#ifndef QX_OVER_UDP
        ASSERT_TRUE(jack.ready()) << "jackd did not start";
#endif
        ASSERT_TRUE(looper.ready()) << "the simulated looper did not come up";
#ifndef QX_OVER_UDP
        tap = std::make_unique<JackTap>();
        ASSERT_TRUE(tap->connected()) << "cannot listen to the looper's port";
#endif
        panel = std::make_unique<ChildProcess>(std::vector<std::string>{QX_CTL_PATH, "monitor"});
        // The monitor prints the track table and every byte of log text; only
        // the flood's last line and the closing line matter here.
        panel->setLineListener([this](const std::string& line) {
            if (line.find(lastLogLine) != std::string::npos) sawLastLogLine = true;
            return !line.ends_with("monitor: stopped");
        });
        ASSERT_TRUE(waitUntil([&] { return (pid = childRunning(QX_CTL_PATH)) > 0; }, 10s));
        // Found and polled for a few seconds: the idle figures.
        ASSERT_TRUE(waitUntil([&] { return statusRequestTimes(looper).size() >= 20; }, 60s)) << "never polled";
        std::this_thread::sleep_for(5s);
        idleKb = residentKb(pid);
        const auto times = statusRequestTimes(looper);
        idleRate = static_cast<double>(countWithin(times, times.back() - 5.0, times.back())) / 5.0;
        std::printf("[flood %s] idle: RSS %ld kB, %.1f status requests/s\n", kLink, idleKb, idleRate);
        ASSERT_GT(idleKb, 0);
    }

    void TearDown() override
    {
        if (!panel) return;
        // Still running after everything, and it ends cleanly (sanitizer
        // builds: leak-free) on Ctrl-C.
        panel->interrupt();
        EXPECT_EQ(panel->exitStatus(30s), 0);
        EXPECT_EQ(panel->lines().size(), 1u) << "monitor: stopped";
    }

    // Floods the panel, then waits kAfter; checks memory, polling and arrival.
    // answering: whether the looper keeps answering meanwhile (it does not on
    // MIDI while one long SysEx message goes out); the panel then searches
    // rather than polls, less often.
    void flood(const std::string& kind, std::uint64_t count, bool answering = true)
    {
        std::atomic<long> peakKb{0};
        std::atomic<bool> sampling{true};
        std::thread sampler([&] {
            while (sampling.load()) {
                peakKb = std::max(peakKb.load(), residentKb(pid));
                std::this_thread::sleep_for(50ms);
            }
        });
#ifdef QX_OVER_UDP
        const Arrivals before = udpArrivals();
#else
        const std::uint64_t before = tap->bytes();
#endif
        const auto answer = looper.command("flood " + kind + " " + std::to_string(count), 150s);
        std::this_thread::sleep_for(kAfter);
        sampling = false;
        sampler.join();
        ASSERT_FALSE(answer.empty()) << "flood " << kind << ": no answer";
        const std::string& done = answer.back();
        ASSERT_TRUE(done.starts_with("ok ")) << done;
        const double from = field(done, "from"), to = field(done, "to"), seconds = to - from;
        const auto times = statusRequestTimes(looper);
        const std::size_t during = countWithin(times, from, to);
        const std::size_t after = countWithin(times, to, to + std::chrono::duration<double>(kAfter).count());
#ifdef QX_OVER_UDP
        const Arrivals now = udpArrivals();
        const auto sent = static_cast<std::uint64_t>(field(done, "datagrams"));
        const std::uint64_t taken = now.taken - before.taken, dropped = now.dropped - before.dropped;
        const std::string arrival = std::to_string(sent) + " datagrams (" + std::to_string(taken) + " taken, " +
                                    std::to_string(dropped) + " dropped by a full socket)";
        EXPECT_GE(taken + dropped, sent) << kind << ": the datagrams did not all reach the panel's host";
#else
        const auto sent = static_cast<std::uint64_t>(field(done, "midi"));
        const std::uint64_t crossed = tap->bytes() - before;
        const std::string arrival =
            std::to_string(sent) + " bytes (" + std::to_string(crossed) + " crossed JACK, replies included)";
        // A JACK cycle run late on a busy machine loses a packet now and then.
        EXPECT_GE(crossed, kFullSpeed ? sent - sent / 20 : sent / 2) << kind << ": the flood did not cross JACK";
#endif
        const double afterSeconds = std::chrono::duration<double>(kAfter).count();
        std::printf("[flood %s] %s %llu: %s in %.1f s; RSS peak %ld kB (%+ld kB), %ld kB after;"
                    " status requests %.1f/s during, %.1f/s after\n",
                    kLink, kind.c_str(), static_cast<unsigned long long>(count), arrival.c_str(), seconds,
                    peakKb.load(), peakKb.load() - idleKb, residentKb(pid), static_cast<double>(during) / seconds,
                    static_cast<double>(after) / afterSeconds);
        std::fflush(stdout);
        EXPECT_GT(sent, 0u);
        if (kFullSpeed) {
            EXPECT_LE(peakKb.load(), idleKb + kRssAllowanceKb) << kind << ": memory grew";
        }
        // Polling goes on at half its idle cadence or better while the looper
        // answers, and searching at least every 3 s while it cannot; within
        // kAfter it polls again. A sanitizer's slower build need only go on.
        const double expectedDuring = !kFullSpeed ? 1.0 : answering ? idleRate * seconds / 2 : seconds / 3;
        EXPECT_GE(static_cast<double>(during), std::max(1.0, expectedDuring)) << kind << ": polling stalled";
        EXPECT_GE(static_cast<double>(after), idleRate * afterSeconds / 4)
            << kind << ": polling did not resume";
    }

#ifndef QX_OVER_UDP
    JackServer jack;  // first: the looper and the panel find it
#endif
    SimulatedLooper looper{kLooper};
#ifndef QX_OVER_UDP
    std::unique_ptr<JackTap> tap;
#endif
    std::unique_ptr<ChildProcess> panel;
    pid_t pid = -1;
    long idleKb = 0;
    double idleRate = 0;
    const std::string lastLogLine = sim::floodLine(kLogBytes / sim::kFloodLineLength - 1);
    std::atomic<bool> sawLastLogLine{false};
};

TEST_F(Flood, ReportsAndLogTextCostBoundedMemoryAndPollingGoesOn)
{
    flood("effects", kReports);
    flood("status", kReports);
    flood("log", kLogBytes);
    if (kFullSpeed) {
        EXPECT_TRUE(sawLastLogLine.load()) << "the log's last line never reached the panel's output";
    }
}

TEST_F(Flood, AHugeSysExMessageWithOrWithoutItsEndCostsBoundedMemory)
{
#ifdef QX_OVER_UDP
    const bool answering = true;  // pieces in datagrams of their own: the replies go between them
#else
    const bool answering = false;
#endif
    flood("sysex", kSysExBytes, answering);
    flood("sysex-noend", kSysExBytes, answering);
}

}  // namespace
}  // namespace qx::test
