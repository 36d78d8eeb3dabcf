// qxctl monitor: the live track table and device line, until Ctrl-C.
#include <unistd.h>

#include <cstdio>

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/TrackTable.h"

namespace qx::cli {

int runMonitor(const Args& args)
{
    CliSession session(args.demo);
    const bool terminal = isatty(STDOUT_FILENO);
    std::string shown;
    bool dirty = true;
    auto markDirty = [&dirty] { dirty = true; };
    session.tracks->subscribe(markDirty);
    session.deviceLine->subscribe(markDirty);
    session.log->subscribe([&session] {
        // The looper's log text goes to the terminal as it arrives; emptying
        // the model notifies again, with nothing left to print.
        if (session.log->log().empty()) return;
        std::fputs(session.log->log().c_str(), stdout);
        session.log->setLog({});
    });
    auto redraw = [&] {
        if (!dirty) return;
        dirty = false;
        const std::string table = renderTrackTable(*session.tracks, session.deviceLine->text());
        if (table == shown) return;
        shown = table;
        std::fputs(terminal ? ("\x1b[H\x1b[2J" + table).c_str() : (table + "\n").c_str(), stdout);
        std::fflush(stdout);
    };
    session.runUntil([] { return false; }, std::chrono::hours(24 * 365), redraw, std::chrono::milliseconds(200));
    std::puts("monitor: stopped");
    return 0;
}

}  // namespace qx::cli
