// qxctl settings, button and effects: read and write the looper's six
// miscellaneous settings, one MIDI button's eight function slots, and the two
// QX2 effect banks. Every write goes through the same edit cycle as the
// window's tabs, and every command reads the looper back before it says done.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliSession.h"
#include "cli/Commands.h"
#include "config/FunctionTables.h"
#include "config/SettingsTicks.h"
#include "midi/Messages.h"

namespace qx::cli {
namespace {

using namespace std::chrono_literals;

// How long each step waits for the looper's answer.
constexpr auto kLooperWait = 6s;

// ----- words on the command line ---------------------------------------------

std::optional<std::int64_t> parseNumber(const std::string& text)
{
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

bool sameWord(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) ==
                                                  std::tolower(static_cast<unsigned char>(y)); });
}

std::string joinWords(const std::vector<std::string>& words, std::size_t from)
{
    std::string out;
    for (std::size_t i = from; i < words.size(); ++i) out += (i > from ? " " : "") + words[i];
    return out;
}

int fail(const std::string& line)
{
    std::fprintf(stderr, "%s\n", line.c_str());
    return 1;
}

// A function by its number or its exact name ("-1" is no function).
std::optional<QX2Function> parseFunction(const std::string& text)
{
    if (auto id = parseNumber(text)) return findFunction(*id);
    for (const auto& row : qx2Functions())
        if (row.name == text) return row;
    return std::nullopt;
}

std::string functionText(std::int64_t id)
{
    if (id == -1) return "(none)";
    if (auto row = findFunction(id)) return row->name + " (" + std::to_string(id) + ")";
    return "unknown function " + std::to_string(id);
}

// ----- settings ---------------------------------------------------------------

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
bool readSettings(CliSession& session)
{
    const MiscConfigModel& model = *session.settings;
    const std::int64_t before0 = model.slicesTaken(msg::kSlice0);
    const std::int64_t before72 = model.slicesTaken(msg::kSlice72);
    session.interface().cmdQueue.enqueue(msg::settingsSliceRequest(msg::kSlice0));
    session.interface().cmdQueue.enqueue(msg::settingsSliceRequest(msg::kSlice72));
    return session.runUntil(
        [&] { return model.slicesTaken(msg::kSlice0) > before0 && model.slicesTaken(msg::kSlice72) > before72; },
        kLooperWait);
}

// The slice that holds the setting: the outgoing clock lives in slice 72.
std::uint8_t sliceOf(const Setting& setting)
{
    return setting.field == &MiscConfigStruct::midiOutClockMode ? msg::kSlice72 : msg::kSlice0;
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

int setSetting(CliSession& session, const Setting& setting, std::int64_t value)
{
    MiscConfigModel& model = *session.settings;
    if (model.currentConfig.*setting.field == value) {
        std::printf("settings: %s is already %s\n", setting.name, valueText(setting, value).c_str());
        return 0;
    }
    // The same cycle as the settings tab: edit the model, and the next tick
    // sends what differs from the looper's values.
    model.currentConfig.*setting.field = value;
    MiscConfigTick(session.settings).tick();
    // Read back until the looper reports the new value. The write is queued
    // ahead of each request, so the first answer to one shows it; a report the
    // link asked for earlier may still show the old value.
    auto ask = [&session, &setting] {
        session.interface().cmdQueue.enqueue(msg::settingsSliceRequest(sliceOf(setting)));
    };
    ask();
    if (!session.runUntil([&] { return model.oldConfig.*setting.field == value; }, kLooperWait, ask))
        return fail(std::string("settings: the looper still reports ") + setting.name + " " +
                    valueText(setting, model.oldConfig.*setting.field) + ", not " + valueText(setting, value));
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

    CliSession session(args.demo);
    if (!readSettings(session)) return fail("settings: no settings report from the looper");
    if (setting) return setSetting(session, *setting, *value);
    printSettings(session.settings->currentConfig);
    std::puts("settings: read from the looper");
    return 0;
}

// ----- one MIDI button -------------------------------------------------------

namespace {

// A kind by its name ("PgmChange", "CC", "Note") or its value (0, 128, 256).
std::optional<std::int64_t> parseKind(const std::string& text)
{
    const auto number = parseNumber(text);
    for (const auto& kind : midiButtonTypes())
        if (sameWord(text, kind.name) || (number && *number == kind.id)) return kind.id;
    return std::nullopt;
}

std::string kindName(std::int64_t kind) { return findOption(midiButtonTypes(), kind)->name; }

int buttonUsage()
{
    return fail("usage: qxctl button KIND NUMBER [set SLOT FUNCTION]\n"
                "  KIND: PgmChange, CC or Note; NUMBER: 0 to 127; SLOT: 0 to 7;\n"
                "  FUNCTION: a function number, or its exact name (-1 for none)");
}

// Selects the button through the tab's cycle and waits for its mapping.
bool showButton(CliSession& session, MIDIButtonTick& cycle, std::int64_t kind, std::int64_t number)
{
    cycle.midiButtonType = kind;
    cycle.midiButtonNum = number;
    cycle.tick();
    const MIDIButtonConfig& model = *session.buttons;
    return session.runUntil([&model] { return model.oldvalues.size() == model.effects.size(); }, kLooperWait);
}

void printSlots(const EffectSlots& slots)
{
    for (std::size_t i = 0; i < slots.size(); ++i)
        std::printf("slot %zu  %s\n", i, functionText(slots[i].effectNum()).c_str());
}

}  // namespace

int runButton(const Args& args)
{
    const auto& words = args.words;
    if (words.size() != 2 && !(words.size() >= 5 && words[2] == "set")) return buttonUsage();
    const auto kind = parseKind(words[0]);
    const auto number = parseNumber(words[1]);
    if (!kind || !number || *number < 0 || *number > 127) return buttonUsage();
    std::optional<std::int64_t> slot;
    std::optional<QX2Function> function;
    if (words.size() >= 5) {
        slot = parseNumber(words[3]);
        if (!slot || *slot < 0 || *slot > 7) return buttonUsage();
        function = parseFunction(joinWords(words, 4));
        if (!function) return fail("button: no function \"" + joinWords(words, 4) + "\"");
    }

    const std::string button = kindName(*kind) + " " + std::to_string(*number);
    CliSession session(args.demo);
    MIDIButtonTick cycle(session.buttons);
    if (!showButton(session, cycle, *kind, *number)) return fail("button: no mapping report for " + button);
    MIDIButtonConfig& model = *session.buttons;
    if (!function) {
        printSlots(model.effects);
        std::printf("button: %s read from the looper\n", button.c_str());
        return 0;
    }

    auto& target = model.effects[static_cast<std::size_t>(*slot)];
    if (target.effectNum() != function->id) {
        target.setEffectNum(function->id);
        cycle.tick();  // writes the edited mapping back
        // Asking for the same button again reads back what the looper now holds.
        model.selectButton(*kind, *number);
        if (!session.runUntil([&model] { return model.oldvalues.size() == model.effects.size(); }, kLooperWait))
            return fail("button: no mapping report for " + button + " after the write");
    }
    printSlots(model.effects);
    if (target.effectNum() != function->id)
        return fail("button: the looper reports slot " + std::to_string(*slot) + " of " + button + " as " +
                    functionText(target.effectNum()));
    std::printf("button: %s slot %lld set to %s\n", button.c_str(), static_cast<long long>(*slot),
                functionText(function->id).c_str());
    return 0;
}

// ----- QX2 effect banks ------------------------------------------------------

namespace {

bool banksReported(const CliSession& session)
{
    return session.bank1->oldvalues.size() == 8 && session.bank2->oldvalues.size() == 8;
}

void printBanks(const CliSession& session)
{
    std::printf("%-5s %-30s %s\n", "slot", "Effect 1", "Effect 2");
    for (std::size_t i = 0; i < 8; ++i)
        std::printf("%-5zu %-30s %s\n", i, functionText(session.bank1->effects[i].effectNum()).c_str(),
                    functionText(session.bank2->effects[i].effectNum()).c_str());
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

    CliSession session(args.demo);
    QXInterface& link = session.interface();
    link.requestEffectsRead();
    if (!session.runUntil([&session] { return banksReported(session); }, kLooperWait))
        return fail("effects: no effects report from the looper");
    if (!function) {
        printBanks(session);
        std::puts("effects: read from the looper");
        return 0;
    }

    QX2Effects& bank = *(*bankNumber == 1 ? session.bank1 : session.bank2);
    const std::size_t index = static_cast<std::size_t>(*slot);
    bank.effects[index].setEffectNum(function->id);
    // What the looper should report once the write is in.
    const auto values1 = slotValues(session.bank1->effects);
    const auto values2 = slotValues(session.bank2->effects);
    const FunctionValues wanted1(values1.begin(), values1.end());
    const FunctionValues wanted2(values2.begin(), values2.end());
    auto inStep = [&session, &wanted1, &wanted2] {
        return session.bank1->oldvalues == wanted1 && session.bank2->oldvalues == wanted2;
    };

    // The tab's cycle raises the write while a bank differs from the looper's
    // report. The read is asked for one period after a write, never with it:
    // the effects request goes out before the write in the same cycle, and a
    // report of the old banks would undo the edit.
    QX2EffectsTick cycle(session.bank1, session.bank2, [&link] { link.requestEffectsWrite(); });
    bool writePeriod = true;
    auto every = [&] {
        if (writePeriod) {
            // A report of the old banks may have replaced the edit; edit again.
            setSlots(session.bank1->effects, wanted1);
            setSlots(session.bank2->effects, wanted2);
            cycle.tick();
        } else {
            link.requestEffectsRead();
        }
        writePeriod = !writePeriod;
    };
    every();
    if (!inStep() && !session.runUntil(inStep, kLooperWait, every))
        return fail("effects: the looper did not report the new banks");
    printBanks(session);
    std::printf("effects: bank %lld slot %lld set to %s\n", static_cast<long long>(*bankNumber),
                static_cast<long long>(*slot), functionText(function->id).c_str());
    return 0;
}

}  // namespace qx::cli
