// qxctl button KIND NUMBER [set SLOT FUNCTION]: one MIDI button's eight
// function slots, shown and written through the session's edit cycle, as the
// button tab would.
#include <cstdio>
#include <optional>
#include <string>

#include "cli/CliRunner.h"
#include "cli/CommandWords.h"
#include "cli/Commands.h"

namespace qx::cli {
namespace {

std::string kindName(std::int64_t kind) { return findOption(midiButtonTypes(), kind)->name; }

// Shows the button as the tab would, and waits for its mapping.
bool showButton(CliRunner& runner, std::int64_t kind, std::int64_t number)
{
    runner.session().edits().chooseButton(kind, number);
    const MIDIButtonConfig& model = *runner.models().button;
    return runner.runUntil([&model] { return model.oldvalues.size() == model.effects.size(); }, kLooperWait);
}

void printSlots(const EffectSlots& slots)
{
    for (std::size_t i = 0; i < slots.size(); ++i)
        std::printf("slot %zu  %s\n", i, functionText(slots[i].effectNum()).c_str());
}

}  // namespace

int runButton(const Args& args, const ButtonRequest& request)
{
    const std::string button = kindName(request.kind) + " " + std::to_string(request.number);
    CliRunner runner(args);
    // First the looper, so that what a newly found looper is asked for
    // (the button shown among it) comes before this command's own requests.
    if (!runner.awaitLooper(kFindLooper)) return fail("button: no looper answered on MIDI or on the network");
    if (!showButton(runner, request.kind, request.number)) return fail("button: no mapping report for " + button);
    const MIDIButtonConfig& model = *runner.models().button;
    if (!request.change) {
        printSlots(model.effects);
        std::printf("button: %s read from the looper\n", button.c_str());
        return 0;
    }

    const std::int64_t slot = request.change->slot;
    const QX2Function& function = request.change->function;
    const auto& target = model.effects[static_cast<std::size_t>(slot)];
    if (target.effectNum() != function.id) {
        EditCycle& edits = runner.session().edits();
        edits.changeButtonSlot(static_cast<std::size_t>(slot), function.id);
        // The next tick writes the mapping back; asking for the same button
        // after it reads back what the looper now holds.
        bool asked = false;
        auto askOnce = [&] {
            if (!asked) edits.askForButton();
            asked = true;
        };
        if (!runner.runUntil([&] { return asked && model.oldvalues.size() == model.effects.size(); }, kLooperWait,
                             askOnce))
            return fail("button: no mapping report for " + button + " after the write");
    }
    printSlots(model.effects);
    if (target.effectNum() != function.id)
        return fail("button: the looper reports slot " + std::to_string(slot) + " of " + button + " as " +
                    functionText(target.effectNum()));
    std::printf("button: %s slot %lld set to %s\n", button.c_str(), static_cast<long long>(slot),
                functionText(function.id).c_str());
    return 0;
}

}  // namespace qx::cli
