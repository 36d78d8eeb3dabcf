// qxctl save FILE and qxctl restore FILE: the looper's button mappings and
// effect banks to a file, and the file's mappings back to the looper.
#include <cstdio>
#include <string>

#include "cli/CliRunner.h"
#include "cli/Commands.h"
#include "cli/ProgressBar.h"

namespace qx::cli {
namespace {

enum class Direction { save, restore };

int runTransfer(const Args& args, Direction direction)
{
    const bool save = direction == Direction::save;
    const char* name = save ? "save" : "restore";
    if (args.words.size() != 1) {
        std::fprintf(stderr, "usage: qxctl %s FILE [--demo]\n", name);
        return 2;
    }
    const std::string& path = args.words[0];
    CliRunner runner(args.demo);
    LooperSession& session = runner.session();
    const SessionModels& models = runner.models();
    if (!runner.awaitLooper(std::chrono::seconds(20))) {
        std::printf("%s refused: no looper answered on MIDI or on the network\n", save ? "Save" : "Restore");
        return 1;
    }

    const std::uint64_t endedBefore = models.outcome->ended();
    const Outcome started = save ? session.save(path) : session.restore(path);
    if (!started.success) {
        std::puts(started.text.c_str());
        return 1;
    }
    models.progress->subscribe([&] { drawProgress(name, models.progress->completion()); });
    // A looper that stops answering ends the transfer by itself; a restore
    // ends once its writes have gone out.
    const bool ended = runner.runUntil([&] { return models.outcome->ended() > endedBefore; }, std::chrono::minutes(30));
    endProgress();
    if (!ended) {
        // Ctrl-C: stopped here, saying what was done, which may be the whole job.
        const Outcome stopped = session.cancelTransfer();
        std::puts(stopped.text.c_str());
        return stopped.success ? 0 : 1;
    }
    const Outcome outcome = models.outcome->last();
    std::puts(outcome.text.c_str());
    return outcome.success ? 0 : 1;
}

}  // namespace

int runSave(const Args& args) { return runTransfer(args, Direction::save); }
int runRestore(const Args& args) { return runTransfer(args, Direction::restore); }

}  // namespace qx::cli
