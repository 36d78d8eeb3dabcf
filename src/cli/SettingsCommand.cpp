// qxctl settings [set NAME VALUE]: reads and writes the looper's six
// miscellaneous settings through the session's edit cycle, reading the
// looper back before it says done.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "cli/CommandWords.h"
#include "cli/Commands.h"
#include "cli/SettingsTable.h"

namespace qx::cli {
namespace {

// Asks for both settings slices and waits until a report of each has reached
// the model. A report the link asked for itself counts as well: any report
// carries the looper's values.
bool readSettings(CliRunner& runner)
{
    const MiscConfigModel& model = *runner.models().settings;
    const std::int64_t before0 = model.slicesTaken(MiscConfigModel::kMainSlice);
    const std::int64_t before72 = model.slicesTaken(MiscConfigModel::kOutClockSlice);
    runner.session().edits().askForSettings();
    return runner.runUntil(
        [&] {
            return model.slicesTaken(MiscConfigModel::kMainSlice) > before0 &&
                   model.slicesTaken(MiscConfigModel::kOutClockSlice) > before72;
        },
        kLooperWait);
}

// The slice that holds the setting: the outgoing clock lives in slice 72.
std::uint8_t sliceOf(const Setting& setting)
{
    const bool outClock = setting.field == &MiscConfigStruct::midiOutClockMode;
    return outClock ? MiscConfigModel::kOutClockSlice : MiscConfigModel::kMainSlice;
}

void printSettings(const MiscConfigStruct& config)
{
    for (const auto& setting : settingList())
        std::printf("%-11s %-23s %s\n", setting.name, setting.label, valueText(setting, config.*setting.field).c_str());
}

int setSetting(CliRunner& runner, const Setting& setting, std::int64_t value)
{
    const MiscConfigModel& model = *runner.models().settings;
    if (model.currentConfig.*setting.field == value) {
        std::printf("settings: %s is already %s\n", setting.name, valueText(setting, value).c_str());
        return 0;
    }
    // The same edit as a pick on the settings tab; the next tick queues the
    // write. Once it has left, the looper is asked for the setting's slice,
    // and only a report taken after that shows whether the write landed.
    LooperSession& session = runner.session();
    session.edits().changeSetting(setting.field, value);
    std::optional<std::uint64_t> written;
    std::optional<std::int64_t> reportsBefore;
    const std::uint8_t slice = sliceOf(setting);
    auto ask = [&] {
        if (!written) {
            written = session.queuedSoFar();  // the first tick has queued the write
        } else if (!reportsBefore && session.sent(*written)) {
            reportsBefore = model.slicesTaken(slice);
            session.edits().askForSettingsSlice(slice);
        }
    };
    auto confirmed = [&] {
        return reportsBefore && model.slicesTaken(slice) > *reportsBefore && model.oldConfig.*setting.field == value;
    };
    if (!runner.runUntil(confirmed, kLooperWait, ask)) {
        if (!reportsBefore || model.slicesTaken(slice) == *reportsBefore)
            return fail(std::string("settings: the looper did not report ") + setting.name + " after the write");
        return fail(std::string("settings: the looper still reports ") + setting.name + " " +
                    valueText(setting, model.oldConfig.*setting.field) + ", not " + valueText(setting, value));
    }
    std::printf("settings: %s set to %s\n", setting.name, valueText(setting, value).c_str());
    return 0;
}

}  // namespace

int runSettings(const Args& args, const std::optional<SettingChange>& change)
{
    CliRunner runner(args);
    // First the looper, so that what a newly found looper is asked for
    // (the button shown among it) comes before this command's own requests.
    if (!runner.awaitLooper(kFindLooper)) return fail("settings: no looper answered on MIDI or on the network");
    if (!readSettings(runner)) return fail("settings: no settings report from the looper");
    if (change) return setSetting(runner, *change->setting, change->value);
    printSettings(runner.models().settings->currentConfig);
    std::puts("settings: read from the looper");
    return 0;
}

}  // namespace qx::cli
