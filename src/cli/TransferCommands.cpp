// qxctl save FILE and qxctl restore FILE: the looper's button mappings and
// effect banks to a file, and the file's mappings back to the looper.
#include <cstdio>
#include <string>

#include "cli/CliRunner.h"
#include "cli/CommandWords.h"
#include "cli/Commands.h"
#include "cli/ProgressBar.h"

namespace qx::cli {
namespace {

enum class Direction { save, restore };

int runTransfer(const Args& args, const std::string& path, Direction direction)
{
    const bool save = direction == Direction::save;
    ProgressBar bar(save ? "save" : "restore");  // first: the session may report progress until it stops
    CliRunner runner(args);
    LooperSession& session = runner.session();
    const SessionModels& models = runner.models();
    if (!runner.awaitLooper(kFindLooper))
        return fail(std::string(save ? "Save" : "Restore") + " refused: no looper answered on MIDI or on the network");

    const std::uint64_t endedBefore = models.outcome->ended();
    const Outcome started = save ? session.save(path) : session.restore(path);
    if (!started.success) return fail(started.text);
    models.progress->subscribe([&] { bar.show(models.progress->completion()); });
    // A looper that stops answering ends the transfer by itself; a restore
    // ends once its writes have gone out.
    const bool ended = runner.runUntil([&] { return models.outcome->ended() > endedBefore; }, std::chrono::minutes(30));
    bar.finish();
    // Ctrl-C: stopped here, saying what was done, which may be the whole job.
    if (!ended) return tell(session.cancelTransfer());
    return tell(models.outcome->last());
}

}  // namespace

int runSave(const Args& args, const std::string& path) { return runTransfer(args, path, Direction::save); }
int runRestore(const Args& args, const std::string& path) { return runTransfer(args, path, Direction::restore); }

}  // namespace qx::cli
