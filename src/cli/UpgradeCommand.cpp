// qxctl upgrade FILE: sends a firmware file over whichever link is live.
#include <cstdio>

#include "cli/CliRunner.h"
#include "cli/CommandWords.h"
#include "cli/Commands.h"
#include "cli/ProgressBar.h"

namespace qx::cli {

int runUpgrade(const Args& args, const std::string& path)
{
    ProgressBar bar("upgrade");  // first: the session may report progress until it stops
    CliRunner runner(args);
    const SessionModels& models = runner.models();
    if (!runner.awaitLooper(kFindLooper)) return fail("Upgrade refused: no looper answered on MIDI or on the network");
    const std::uint64_t endedBefore = models.outcome->ended();
    const Outcome started = runner.session().upgrade(path);
    if (!started.success) return fail(started.text);
    models.progress->subscribe([&] { bar.show(models.progress->completion()); });
    // A half-sent firmware can leave the pedal unusable: one Ctrl-C is not enough.
    runner.holdFirstInterrupt("An upgrade is running; press Ctrl-C again to abandon it");
    // A vanished looper ends a network upgrade after five silent seconds; over
    // MIDI, after the last message, the looper has 30 s to answer again.
    const bool ended = runner.runUntil([&] { return models.outcome->ended() > endedBefore; }, std::chrono::hours(1));
    bar.finish();
    if (!ended) return fail("Upgrade abandoned: the looper may not have the whole firmware");
    return tell(models.outcome->last());
}

}  // namespace qx::cli
