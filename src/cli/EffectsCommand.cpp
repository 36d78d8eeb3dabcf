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

int effectsUsage()
{
    return fail("usage: qxctl effects [set BANK SLOT FUNCTION]\n"
                "  BANK: 1 or 2; SLOT: 0 to 7; FUNCTION: a function number, or its exact name (-1 for none)");
}

}  // namespace

int runEffects(const Args& args)
{
    const auto& words = args.words;
    if (!words.empty() && !(words.size() >= 4 && words[0] == "set")) return effectsUsage();
    std::optional<std::int64_t> bankNumber, slot;
    std::optional<QX2Function> function;
    if (!words.empty()) {
        bankNumber = parseNumber(words[1]);
        slot = parseNumber(words[2]);
        if (!bankNumber || (*bankNumber != 1 && *bankNumber != 2) || !slot || *slot < 0 || *slot > 7)
            return effectsUsage();
        function = parseFunction(joinWords(words, 3));
        if (!function) return fail("effects: no function \"" + joinWords(words, 3) + "\"");
    }

    CliRunner runner(args.demo);
    // First the looper, so that what a newly found looper is asked for
    // (the button shown among it) comes before this command's own requests.
    if (!runner.awaitLooper(kFindLooper)) return fail("effects: no looper answered on MIDI or on the network");
    const SessionModels& models = runner.models();
    EditCycle& edits = runner.session().edits();
    edits.askForEffects();
    if (!runner.runUntil([&models] { return banksReported(models); }, kLooperWait))
        return fail("effects: no effects report from the looper");
    if (!function) {
        printBanks(models);
        std::puts("effects: read from the looper");
        return 0;
    }

    edits.changeEffect(static_cast<int>(*bankNumber), static_cast<std::size_t>(*slot), function->id);
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
    std::printf("effects: bank %lld slot %lld set to %s\n", static_cast<long long>(*bankNumber),
                static_cast<long long>(*slot), functionText(function->id).c_str());
    return 0;
}

}  // namespace qx::cli
