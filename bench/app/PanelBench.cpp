// The window polling the demo looper off screen: CPU time and peak resident
// memory over a run (60 s unless told otherwise), and the delay from a status
// report being handed to the UI thread to the grid holding its texts and to
// the grid's next paint.
//
// Usage: bench_app_panel [SECONDS]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "app/QtDialogs.h"
#include "app/QtMainQueue.h"
#include "app/TrackGrid.h"
#include "session/SessionFactory.h"

namespace {

using Clock = std::chrono::steady_clock;

// Stamps each hand-off with the moment it was posted, so code running inside
// it on the UI thread can tell how long it waited.
class StampingMainQueue final : public qx::MainQueue {
public:
    explicit StampingMainQueue(qx::MainQueue& inner) : inner_(inner) {}
    void post(std::function<void()> task) override
    {
        const Clock::time_point posted = Clock::now();
        inner_.post([this, posted, task = std::move(task)] {
            current_ = posted;
            task();
            current_.reset();
        });
    }
    // UI thread: when the hand-off now running was posted.
    std::optional<Clock::time_point> currentPostTime() const { return current_; }

private:
    qx::MainQueue& inner_;
    std::optional<Clock::time_point> current_;  // UI thread only
};

// Records the first paint of a widget after each arm().
class PaintWatch final : public QObject {
public:
    std::function<void()> onPaint;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && onPaint) onPaint();
        return QObject::eventFilter(watched, event);
    }
};

struct Usage {
    double cpuSeconds;
    long peakKiB;
};

Usage usageNow()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss};
}

long currentRssKiB()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

void printDelays(const char* what, std::vector<double> micros)
{
    if (micros.empty()) {
        std::printf("%-38s no samples\n", what);
        return;
    }
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) { return micros[static_cast<std::size_t>(q * static_cast<double>(micros.size() - 1))]; };
    std::printf("%-38s n=%zu median %.0f us, p90 %.0f us, p99 %.0f us, max %.0f us\n", what, micros.size(), at(0.5),
                at(0.9), at(0.99), micros.back());
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (seconds < 1 || seconds > 3600) {
        std::fputs("usage: bench_app_panel [SECONDS]\n", stderr);
        return 2;
    }
    qx::app::QtMainQueue qtQueue;
    StampingMainQueue mainQueue(qtQueue);
    auto session = qx::makeDemoSession(mainQueue);
    if (!session) {
        std::fputs("bench_app_panel: this build has no simulated looper\n", stderr);
        return 1;
    }
    qx::app::QtDialogs dialogs;

    const long rssBeforeWindow = currentRssKiB();
    std::vector<double> toTexts, toPaint;
    std::optional<Clock::time_point> awaitingPaint;
    long rssWithWindow = 0;
    Usage start{}, end{};
    {
        qx::app::MainWindow window(*session, dialogs);
        window.resize(940, 560);
        window.show();
        QApplication::processEvents();
        rssWithWindow = currentRssKiB();

        // Runs after the grid's own observer: the texts are in place. Only a
        // report that changed some text leads to a paint.
        qx::app::TrackGrid* grid = window.contentView()->grid();
        QStringList shown;
        auto gridTexts = [grid] {
            QStringList texts;
            for (int row = 0; row < qx::app::TrackGrid::kRows; ++row)
                for (int column = 0; column < grid->columnCount(); ++column) texts << grid->text(row, column);
            return texts;
        };
        const std::shared_ptr<qx::Tracks> tracks = session->models().tracks;
        const auto token = tracks->subscribe([&] {
            const auto posted = mainQueue.currentPostTime();
            if (!posted) return;
            toTexts.push_back(std::chrono::duration<double, std::micro>(Clock::now() - *posted).count());
            QStringList texts = gridTexts();
            if (texts != shown && !awaitingPaint) awaitingPaint = posted;
            shown = std::move(texts);
        });
        PaintWatch watch;
        watch.onPaint = [&] {
            if (!awaitingPaint) return;
            toPaint.push_back(std::chrono::duration<double, std::micro>(Clock::now() - *awaitingPaint).count());
            awaitingPaint.reset();
        };
        grid->installEventFilter(&watch);

        start = usageNow();
        session->start();
        QTimer::singleShot(seconds * 1000, &window, [] { QApplication::quit(); });
        QApplication::exec();
        session->stop();
        end = usageNow();
        grid->removeEventFilter(&watch);
        tracks->unsubscribe(token);
    }

    const double cpu = end.cpuSeconds - start.cpuSeconds;
    std::printf("panel on the demo looper, offscreen, %d s (the simulated looper runs in the same process)\n", seconds);
    std::printf("%-38s %.2f s (%.2f%% of one core)\n", "CPU time, user + system", cpu, 100.0 * cpu / seconds);
    std::printf("%-38s %ld KiB before the window, %ld KiB with it\n", "resident memory", rssBeforeWindow, rssWithWindow);
    std::printf("%-38s %ld KiB\n", "peak resident memory", end.peakKiB);
    std::printf("%-38s %.1f per second\n", "status reports shown", static_cast<double>(toTexts.size()) / seconds);
    printDelays("report handed over -> grid texts", toTexts);
    printDelays("changed report -> grid painted", toPaint);
    return 0;
}
