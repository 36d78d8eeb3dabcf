// qxctl save FILE and qxctl restore FILE: the looper's button mappings and
// effect banks to a file, and the file's mappings back to the looper.
#include <cstdio>
#include <optional>
#include <string>

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "cli/ProgressBar.h"

namespace qx::cli {
namespace {

enum class Direction { save, restore };

bool looperAnswering(CliSession& session)
{
    return session.interface().midiPolling.load() || session.linkState->text().rfind("Connected", 0) == 0;
}

int runTransfer(const Args& args, Direction direction)
{
    const bool save = direction == Direction::save;
    const char* name = save ? "save" : "restore";
    if (args.words.size() != 1) {
        std::fprintf(stderr, "usage: qxctl %s FILE [--demo]\n", name);
        return 2;
    }
    const std::string& path = args.words[0];
    CliSession session(args.demo);
    if (!session.runUntil([&] { return looperAnswering(session); }, std::chrono::seconds(20))) {
        std::printf("%s refused: no looper answered on MIDI or on the network\n", save ? "Save" : "Restore");
        return 1;
    }

    QXSaveableConfig& transfer = session.link().saveableConfig();
    std::optional<Outcome> outcome;
    transfer.setOutcomeHandler([&outcome](const Outcome& o) { outcome = o; });
    if (auto refusal = save ? transfer.saveConfiguration(path) : transfer.restoreConfiguration(path)) {
        std::puts(refusal->c_str());
        return 1;
    }
    session.completion->subscribe([&] { drawProgress(name, session.completion->completion()); });
    // A looper that stops answering ends the transfer by itself.
    session.runUntil([&] { return outcome.has_value(); }, std::chrono::minutes(30));
    endProgress();
    if (!outcome) {
        std::printf("%s interrupted: nothing %s\n", save ? "Save" : "Restore", save ? "written" : "sent");
        return 1;
    }
    if (!save && outcome->success) {
        // The mapping writes leave one per polling cycle after the transfer;
        // leaving now would lose them.
        QXCommandQueue& commands = session.interface().cmdQueue;
        if (!session.runUntil([&] { return commands.count() == 0; }, std::chrono::seconds(60))) {
            std::printf("Restore interrupted: %zu button mapping writes were not sent\n", commands.count());
            return 1;
        }
    }
    std::puts(outcome->text.c_str());
    return outcome->success ? 0 : 1;
}

}  // namespace

int runSave(const Args& args) { return runTransfer(args, Direction::save); }
int runRestore(const Args& args) { return runTransfer(args, Direction::restore); }

}  // namespace qx::cli
