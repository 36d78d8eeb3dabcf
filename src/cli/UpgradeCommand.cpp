// qxctl upgrade FILE: sends a firmware file over whichever link is live.
#include <cstdio>

#include "cli/CliRunner.h"
#include "cli/Commands.h"
#include "cli/ProgressBar.h"

namespace qx::cli {

int runUpgrade(const Args& args)
{
    if (args.words.size() != 1) {
        std::fputs("usage: qxctl upgrade FILE [--demo]\n", stderr);
        return 2;
    }
    CliRunner runner(args.demo);
    const SessionModels& models = runner.models();
    if (!runner.awaitLooper(std::chrono::seconds(20))) {
        std::puts("Upgrade refused: no looper answered on MIDI or on the network");
        return 1;
    }
    const std::uint64_t endedBefore = models.outcome->ended();
    const Outcome started = runner.session().upgrade(args.words[0]);
    if (!started.success) {
        std::puts(started.text.c_str());
        return 1;
    }
    models.progress->subscribe([&] { drawProgress("upgrade", models.progress->completion()); });
    // A half-sent firmware can leave the pedal unusable: one Ctrl-C is not enough.
    runner.holdFirstInterrupt("An upgrade is running; press Ctrl-C again to abandon it");
    // A vanished looper ends a network upgrade after five silent seconds; over
    // MIDI, after the last message, the looper has 30 s to answer again.
    const bool ended = runner.runUntil([&] { return models.outcome->ended() > endedBefore; }, std::chrono::hours(1));
    endProgress();
    if (!ended) {
        std::puts("Upgrade abandoned: the looper may not have the whole firmware");
        return 1;
    }
    std::puts(models.outcome->last().text.c_str());
    return models.outcome->last().success ? 0 : 1;
}

}  // namespace qx::cli
