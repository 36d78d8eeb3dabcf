// The window off screen on a session whose MIDI port is a stand-in (no
// network link): status reports enter the port from a thread of their own, as
// a MIDI driver's callback would deliver them, at 100, 1,000 and 10,000 a
// second and then as fast as that thread can, some seconds each (4 unless
// told otherwise). For each rate: the delay from a report entering the port
// to the track grid's cells holding its texts, or those of a newer report
// (reports coming faster than the grid redraws are folded into the newest,
// which is what the grid shows); the same for the reports the grid actually
// showed; and how many hand-offs waited in the Qt event queue at most. Track
// 1 and 2's positions carry each report's number, read back from the grid's
// own labels. Figures only: the exit status does not depend on them.
//
// Usage: bench_app_grid_delay [SECONDS_PER_RATE]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QMetaObject>

#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "app/QtDialogs.h"
#include "app/QtMainQueue.h"
#include "app/TrackGrid.h"
#include "midi/MidiEndpoints.h"
#include "protocol/Messages.h"
#include "protocol/SysExCodec.h"
#include "session/SessionFactory.h"

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

constexpr int kPositionRow = 2;           // the grid's "Position" row
constexpr std::int64_t kPerTrack = 1000000;  // report numbers carried by track 1; track 2 counts millions
constexpr double kTargetMs = 16.0;

// A MIDI port whose only source is the benchmark's sending thread; what the
// session sends to the looper is dropped.
class StandInPort final : public qx::MidiEndpoints {
public:
    void setReceiver(Receiver receiver) override
    {
        std::lock_guard guard(lock_);
        receiver_ = std::move(receiver);
    }
    std::vector<std::string> destinationNames() const override { return {"looper"}; }
    std::vector<std::string> sourceNames() const override { return {"looper"}; }
    bool sendToEach(std::span<const std::uint8_t>) override { return true; }
    void deliver(std::span<const std::uint8_t> bytes)
    {
        std::unique_lock guard(lock_);
        const Receiver receiver = receiver_;
        guard.unlock();
        if (receiver) receiver(bytes);
    }

private:
    std::mutex lock_;
    Receiver receiver_;
};

// Counts the hand-offs posted to the UI thread and not yet run.
class CountingMainQueue final : public qx::MainQueue {
public:
    explicit CountingMainQueue(qx::MainQueue& inner) : inner_(inner) {}
    void post(std::function<void()> task) override
    {
        const long now = ++waiting_;
        long seen = mostWaiting_.load();
        while (now > seen && !mostWaiting_.compare_exchange_weak(seen, now)) {
        }
        inner_.post([this, task = std::move(task)] {
            --waiting_;
            task();
        });
    }
    long takeMostWaiting() { return mostWaiting_.exchange(waiting_.load()); }

private:
    qx::MainQueue& inner_;
    std::atomic<long> waiting_{0};
    std::atomic<long> mostWaiting_{0};
};

// A 64-byte status report whose track 1 and 2 positions (tenths of a second)
// spell its number.
qx::Bytes statusReport(std::int64_t number)
{
    qx::Bytes payload{4, 1};
    const std::int64_t positions[4] = {number % kPerTrack, number / kPerTrack, 0, 0};
    for (std::int64_t tenths : positions) {
        payload.insert(payload.end(), {4, 6, 0x40, 0x10});
        qx::sysex::appendFiveGroups(payload, 48000 * 600);
        qx::sysex::appendFiveGroups(payload, tenths * 4800);
    }
    return qx::sysex::message(qx::msg::kStatus, payload);
}

// Median, 99th percentile and largest of the delays, in milliseconds.
struct Summary {
    double median = 0, p99 = 0, max = 0;
};
Summary summarize(std::vector<double>& micros)
{
    if (micros.empty()) return {};
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) {
        return micros[std::min(micros.size() - 1, static_cast<std::size_t>(q * static_cast<double>(micros.size())))] /
               1000.0;
    };
    return {at(0.5), at(0.99), micros.back() / 1000.0};
}

struct Phase {
    Phase(const char* label, double rate) : name(label), perSecond(rate) {}
    const char* name;
    double perSecond;  // 0: as fast as the sending thread can
    std::int64_t first = 0, last = 0;  // report numbers sent
    double seconds = 0;
    std::vector<double> everyReport, shownReport;  // microseconds, UI thread
    std::uint64_t gridUpdates = 0;                 // UI thread
    std::int64_t neverShown = 0;
    long mostWaiting = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 4;
    if (seconds < 1 || seconds > 600) {
        std::fputs("usage: bench_app_grid_delay [SECONDS_PER_RATE]\n", stderr);
        return 2;
    }

    std::vector<Phase> phases;
    phases.emplace_back("100/s", 100);
    phases.emplace_back("1,000/s", 1000);
    phases.emplace_back("10,000/s", 10000);
    phases.emplace_back("as fast as possible", 0);
    // Enough numbers for the fastest sender; its phase ends early if it runs out.
    const std::int64_t capacity = std::int64_t{11100} * seconds + 8000000;
    std::vector<std::atomic<std::int64_t>> sentAt(static_cast<std::size_t>(capacity + 1));
    // Room for every delay up front: growing a vector would stall the UI thread being measured.
    for (Phase& phase : phases) {
        const double reports = phase.perSecond > 0 ? phase.perSecond * seconds * 1.1 : static_cast<double>(capacity);
        phase.everyReport.reserve(static_cast<std::size_t>(reports));
        phase.shownReport.reserve(static_cast<std::size_t>(reports));
    }

    qx::app::QtMainQueue qtQueue;
    CountingMainQueue mainQueue(qtQueue);
    StandInPort* port = nullptr;
    qx::LooperSession session(mainQueue, qx::makeLinks({.midi =
                                                            [&port] {
                                                                auto endpoints = std::make_unique<StandInPort>();
                                                                port = endpoints.get();
                                                                return endpoints;
                                                            },
                                                        .network = std::nullopt}));
    qx::app::QtDialogs dialogs;

    std::atomic<std::int64_t> lastShown{0};
    std::atomic<std::size_t> current{0};
    {
        qx::app::MainWindow window(session, dialogs);
        window.resize(940, 560);
        window.show();
        QApplication::processEvents();

        // Subscribed after the grid, so it runs once the grid holds the texts.
        qx::app::TrackGrid* grid = window.contentView()->grid();
        const auto shownNumber = [grid]() -> std::optional<std::int64_t> {
            bool ok1 = false, ok2 = false;
            const double low = grid->text(kPositionRow, 1).toDouble(&ok1);
            const double high = grid->text(kPositionRow, 2).toDouble(&ok2);
            if (!ok1 || !ok2) return std::nullopt;
            return std::llround(low * 10) + kPerTrack * std::llround(high * 10);
        };
        const std::shared_ptr<qx::Tracks> tracks = session.models().tracks;
        const auto token = tracks->subscribe([&] {
            const auto number = shownNumber();
            const std::int64_t before = lastShown.load();
            if (!number || *number <= before || *number > capacity) return;
            const Clock::time_point now = Clock::now();
            const auto ago = [&](std::int64_t n) {
                return Micros(now - Clock::time_point(Clock::duration(sentAt[static_cast<std::size_t>(n)].load())))
                    .count();
            };
            Phase& phase = phases[current.load()];
            for (std::int64_t n = before + 1; n <= *number; ++n) phase.everyReport.push_back(ago(n));
            phase.shownReport.push_back(ago(*number));
            ++phase.gridUpdates;
            lastShown.store(*number);
        });

        session.start();
        std::thread sender([&] {
            std::int64_t number = 0;
            const auto send = [&] {
                ++number;
                const qx::Bytes report = statusReport(number);
                sentAt[static_cast<std::size_t>(number)].store(Clock::now().time_since_epoch().count());
                port->deliver(report);
            };
            for (std::size_t i = 0; i < phases.size(); ++i) {
                Phase& phase = phases[i];
                current.store(i);
                mainQueue.takeMostWaiting();
                phase.first = number + 1;
                const Clock::time_point start = Clock::now();
                const Clock::time_point end = start + std::chrono::seconds(seconds);
                Clock::time_point due = start;
                const auto interval = phase.perSecond > 0
                                          ? std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(1.0 / phase.perSecond))
                                          : Clock::duration::zero();
                for (Clock::time_point now = start; now < end && number < capacity; now = Clock::now()) {
                    if (phase.perSecond > 0) {
                        // Every report now due goes out, so a late wake-up keeps the rate.
                        while (due <= now && number < capacity) {
                            send();
                            due += interval;
                        }
                        std::this_thread::sleep_until(std::min(due, end));
                    } else {
                        for (int k = 0; k < 256 && number < capacity; ++k) send();
                    }
                }
                phase.seconds = std::chrono::duration<double>(Clock::now() - start).count();
                phase.last = number;
                // The last report of the phase shown before the next begins.
                const Clock::time_point settle = Clock::now() + std::chrono::seconds(2);
                while (lastShown.load() < number && Clock::now() < settle)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                phase.neverShown = number - lastShown.load();
                phase.mostWaiting = mainQueue.takeMostWaiting();
            }
            QMetaObject::invokeMethod(&application, [] { QApplication::quit(); }, Qt::QueuedConnection);
        });
        QApplication::exec();
        sender.join();
        session.stop();
        tracks->unsubscribe(token);
    }

    std::printf("report entering the MIDI port (its own thread) -> track grid showing it, offscreen window, "
                "no network link, %d s per rate\n",
                seconds);
    std::printf("%-20s %9s %9s %9s | %-31s | %-31s | %s\n", "rate", "sent/s", "reports", "grid upd",
                "every report: median p99 max ms", "shown report: median p99 max ms", "UI wait");
    bool p99Met = true, maxMet = true;
    for (Phase& phase : phases) {
        const Summary every = summarize(phase.everyReport);
        const Summary shown = summarize(phase.shownReport);
        const std::int64_t sent = phase.last - phase.first + 1;
        std::printf("%-20s %9.0f %9lld %9llu | %9.3f %9.3f %9.3f   | %9.3f %9.3f %9.3f   | %7ld\n",
                    phase.name, static_cast<double>(sent) / phase.seconds, static_cast<long long>(sent),
                    static_cast<unsigned long long>(phase.gridUpdates), every.median, every.p99, every.max,
                    shown.median, shown.p99, shown.max, phase.mostWaiting);
        if (phase.neverShown > 0)
            std::printf("%-20s %lld reports not shown 2 s after the last was sent\n", phase.name,
                        static_cast<long long>(phase.neverShown));
        p99Met = p99Met && phase.neverShown == 0 && every.p99 < kTargetMs;
        maxMet = maxMet && phase.neverShown == 0 && every.max < kTargetMs;
    }
    std::printf("\"UI wait\": most hand-offs waiting in the Qt event queue at once during the rate.\n");
    std::printf("target < 16 ms, p99 of every report at every rate: %s\n", p99Met ? "met" : "NOT met");
    std::printf("target < 16 ms, max of every report at every rate: %s\n", maxMet ? "met" : "NOT met");
    return 0;
}
