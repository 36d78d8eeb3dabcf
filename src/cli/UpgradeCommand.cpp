// qxctl upgrade FILE: sends a firmware file over whichever link is live.
#include <cstdio>
#include <optional>

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/ProgressBar.h"

namespace qx::cli {

namespace {

// True once a looper answers on either link.
bool looperAnswering(CliSession& session)
{
    return session.interface().midiPolling.load() ||
           session.linkState->text().rfind("Connected", 0) == 0;
}

}  // namespace

int runUpgrade(const Args& args)
{
    if (args.words.size() != 1) {
        std::fputs("usage: qxctl upgrade FILE [--demo]\n", stderr);
        return 2;
    }
    CliSession session(args.demo);
    if (!session.runUntil([&] { return looperAnswering(session); }, std::chrono::seconds(20))) {
        std::puts("Upgrade refused: no looper answered on MIDI or on the network");
        return 1;
    }
    std::optional<Outcome> outcome;
    session.interface().setUpgradeOutcomeHandler([&outcome](const Outcome& o) { outcome = o; });
    if (auto refusal = session.interface().loadUpgradeFile(args.words[0])) {
        std::puts(refusal->c_str());
        return 1;
    }
    session.completion->subscribe([&] { drawProgress("upgrade", session.completion->completion()); });
    // A vanished looper ends a network upgrade after five silent seconds; over
    // MIDI the file goes out whether or not the looper listens.
    session.runUntil([&] { return outcome.has_value(); }, std::chrono::hours(1));
    endProgress();
    if (!outcome) {
        std::puts("Upgrade interrupted");
        return 1;
    }
    std::puts(outcome->text.c_str());
    return outcome->success ? 0 : 1;
}

}  // namespace qx::cli
