// qxctl monitor: the live track table and device line, until Ctrl-C.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "cli/CliRunner.h"
#include "cli/Commands.h"
#include "cli/TerminalText.h"
#include "cli/TrackTable.h"

namespace qx::cli {

int runMonitor(const Args& args)
{
    CliRunner runner(args);
    const SessionModels& models = runner.models();
    const bool terminal = isatty(STDOUT_FILENO);
    std::string shown;
    bool dirty = true;
    auto markDirty = [&dirty] { dirty = true; };
    models.tracks->subscribe(markDirty);
    models.deviceLine->subscribe(markDirty);
    // The looper's log text goes to the terminal as it arrives. printed
    // counts from the log's first byte ever, dropped ones included.
    std::uint64_t printed = 0;
    models.log->subscribe([&models, &printed] {
        const LogText& log = *models.log;
        if (log.end() < printed) printed = 0;  // the log was replaced
        const std::uint64_t from = std::max(printed, log.dropped()) - log.dropped();
        std::fputs(terminalSafe(std::string_view(log.log()).substr(from)).c_str(), stdout);
        printed = log.end();
    });
    auto nextDraw = std::chrono::steady_clock::now();
    auto redraw = [&] {
        if (!dirty || std::chrono::steady_clock::now() < nextDraw) return false;
        nextDraw = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        dirty = false;
        const std::string table = renderTrackTable(*models.tracks, models.deviceLine->text());
        if (table == shown) return false;
        shown = table;
        std::fputs(terminal ? ("\x1b[H\x1b[2J" + table).c_str() : (table + "\n").c_str(), stdout);
        std::fflush(stdout);
        return false;  // until Ctrl-C
    };
    // Redrawn at most five times a second.
    runner.runUntil(redraw, std::chrono::hours(24 * 365));
    std::puts("monitor: stopped");
    return 0;
}

}  // namespace qx::cli
