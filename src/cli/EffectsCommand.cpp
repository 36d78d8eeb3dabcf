// qxctl effects [set BANK SLOT FUNCTION]: the QX2's two effect banks, shown
// and written through the session's edit cycle, as the QX2 tab would.
#include <cstdio>
#include <optional>
#include <string>

#include "cli/CliRunner.h"
#include "cli/CommandWords.h"
#include "cli/Commands.h"

namespace qx::cli {

namespace {

bool banksReported(const SessionModels& models)
{
    return models.effects1->oldvalues.size() == 8 && models.effects2->oldvalues.size() == 8;
}

void printBanks(const SessionModels& models)
{
    std::printf("%-5s %-30s %s\n", "slot", "Effect 1", "Effect 2");
    for (std::size_t i = 0; i < 8; ++i)
        std::printf("%-5zu %-30s %s\n", i, functionText(models.effects1->effects[i].effectNum()).c_str(),
                    functionText(models.effects2->effects[i].effectNum()).c_str());
}

}  // namespace

int runEffects(const Args& args, const std::optional<EffectChange>& change)
{
    CliRunner runner(args);
    // First the looper, so that what a newly found looper is asked for
    // (the button shown among it) comes before this command's own requests.
    if (!runner.awaitLooper(kFindLooper)) return fail("effects: no looper answered on MIDI or on the network");
    const SessionModels& models = runner.models();
    EditCycle& edits = runner.session().edits();
    edits.askForEffects();
    if (!runner.runUntil([&models] { return banksReported(models); }, kLooperWait))
        return fail("effects: no effects report from the looper");
    if (!change) {
        printBanks(models);
        std::puts("effects: read from the looper");
        return 0;
    }

    edits.changeEffect(static_cast<int>(change->bank), static_cast<std::size_t>(change->slot), change->function.id);
    // The edit cycle writes the banks, asks for them back, and tries again
    // until a report matches; or it gives up and says so.
    const std::uint64_t outcomesBefore = models.outcome->ended();
    auto settled = [&] {
        return models.outcome->ended() > outcomesBefore ||
               (!models.effects1->hasChanges() && !models.effects2->hasChanges());
    };
    if (!runner.runUntil(settled, kLooperWait)) return fail("effects: the looper did not report the banks");
    if (models.outcome->ended() > outcomesBefore) return fail("effects: " + models.outcome->last().text);
    printBanks(models);
    std::printf("effects: bank %lld slot %lld set to %s\n", static_cast<long long>(change->bank),
                static_cast<long long>(change->slot), functionText(change->function.id).c_str());
    return 0;
}

}  // namespace qx::cli
