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

namespace qx::cli {
namespace {

struct Setting {
    const char* name;   // as typed: "brightness"
    const char* label;  // as the settings tab shows it
    std::int64_t MiscConfigStruct::*field;
    const std::vector<StringWithValue>& (*options)();  // none: the MIDI channel, 1 to 16
};

const std::vector<Setting>& settingList()
{
    static const std::vector<Setting> list = {
        {"brightness", "QX2 Display Brightness", &MiscConfigStruct::qx2Brightness, brightnessOptions},
        {"display", "QX2 Display Mode", &MiscConfigStruct::qx2DisplayType, displayModeOptions},
        {"in-clock", "MIDI In Clock Mode", &MiscConfigStruct::midiInClockMode, midiInClockOptions},
        {"out-clock", "MIDI Out Clock Mode", &MiscConfigStruct::midiOutClockMode, midiOutClockOptions},
        {"channel", "MIDI Channel", &MiscConfigStruct::midiChannel, nullptr},
        {"noise-gate", "Noise Gate Level", &MiscConfigStruct::noiseGateLevel, noiseGateOptions},
    };
    return list;
}

const Setting* findSetting(const std::string& name)
{
    for (const auto& setting : settingList())
        if (sameWord(name, setting.name)) return &setting;
    return nullptr;
}

std::string valueText(const Setting& setting, std::int64_t value)
{
    if (!setting.options) return std::to_string(value);
    if (auto option = findOption(setting.options(), value)) return option->name;
    return std::to_string(value) + " (no such option)";
}

std::string choices(const Setting& setting)
{
    if (!setting.options) return "1 to 16";
    std::string out;
    for (const auto& option : setting.options()) out += (out.empty() ? "" : ", ") + option.name;
    return out;
}

// A value by option name or number; only what the settings tab offers.
std::optional<std::int64_t> parseSettingValue(const Setting& setting, const std::string& text)
{
    if (!setting.options) {
        auto channel = parseNumber(text);
        if (channel && *channel >= 1 && *channel <= 16) return channel;
        return std::nullopt;
    }
    for (const auto& option : setting.options())
        if (sameWord(text, option.name)) return option.id;
    if (auto number = parseNumber(text); number && findOption(setting.options(), *number)) return number;
    return std::nullopt;
}

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

int settingsUsage()
{
    std::string names;
    for (const auto& setting : settingList()) names += (names.empty() ? "" : ", ") + std::string(setting.name);
    return fail("usage: qxctl settings [set NAME VALUE]   (NAME: " + names + ")");
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

int runSettings(const Args& args)
{
    const auto& words = args.words;
    const Setting* setting = nullptr;
    std::optional<std::int64_t> value;
    if (!words.empty()) {
        if (words.size() != 3 || words[0] != "set") return settingsUsage();
        setting = findSetting(words[1]);
        if (!setting) return settingsUsage();
        value = parseSettingValue(*setting, words[2]);
        if (!value) return fail(std::string("settings: ") + setting->name + " takes " + choices(*setting));
    }

    CliRunner runner(args.demo);
    // First the looper, so that what a newly found looper is asked for
    // (the button shown among it) comes before this command's own requests.
    if (!runner.awaitLooper(kFindLooper)) return fail("settings: no looper answered on MIDI or on the network");
    if (!readSettings(runner)) return fail("settings: no settings report from the looper");
    if (setting) return setSetting(runner, *setting, *value);
    printSettings(runner.models().settings->currentConfig);
    std::puts("settings: read from the looper");
    return 0;
}

}  // namespace qx::cli
