#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/CommandWords.h"
#include "common/Version.h"

namespace qx::cli {
namespace {

// The options every command takes, on qxctl itself and on each command (and
// on their "set"), so that they may stand before or after the command and
// each help lists them.
void addCommonOptions(CLI::App& app, Args& args)
{
    app.add_flag("--demo", args.demo, "Talk to the in-process simulated looper (no MIDI ports, no network)");
    app.add_option("--midi-port", args.session.midiDevice, "Use only this MIDI device's ports")->type_name("NAME");
    app.add_option("--trace", args.session.tracePath, "Write every message sent and received to FILE, as hex lines")
        ->type_name("FILE");
    app.add_flag("--verbose", args.session.verbose,
                 "Print the diagnostic lines and the MIDI system's messages on standard error");
}

CLI::App* addCommand(CLI::App& app, Args& args, const std::string& name, const std::string& description)
{
    CLI::App* command = app.add_subcommand(name, description);
    command->group("Commands");
    addCommonOptions(*command, args);
    return command;
}

std::string joinNames(const std::vector<std::string>& names, const std::string& separator)
{
    std::string out;
    for (const auto& name : names) out += (out.empty() ? "" : separator) + name;
    return out;
}

// A button kind by its name ("PgmChange", "CC", "Note", letter case aside) or
// its value (0, 128, 256); the value is what passes on.
CLI::Validator kindWord()
{
    std::vector<std::string> names;
    for (const auto& kind : midiButtonTypes()) names.push_back(kind.name);
    return CLI::Validator(
        [names](std::string& text) -> std::string {
            const auto number = parseNumber(text);
            for (const auto& kind : midiButtonTypes()) {
                if (sameWord(text, kind.name) || (number && *number == kind.id)) {
                    text = std::to_string(kind.id);
                    return {};
                }
            }
            return "no button kind \"" + text + "\" (" + joinNames(names, ", ") + ")";
        },
        "{" + joinNames(names, ",") + "}");
}

// A setting by its name, letter case aside; its own spelling passes on.
CLI::Validator settingWord()
{
    std::vector<std::string> names;
    for (const auto& setting : settingList()) names.push_back(setting.name);
    return CLI::Validator(
        [names](std::string& text) -> std::string {
            if (const Setting* setting = findSetting(text)) {
                text = setting->name;
                return {};
            }
            return "no setting \"" + text + "\" (" + joinNames(names, ", ") + ")";
        },
        "{" + joinNames(names, ",") + "}");
}

const char* const kFunctionHelp = "A function number, or its exact name (-1 for none)";

}  // namespace

CommandTable qxctlCommands()
{
    return {.monitor = runMonitor,
            .settings = runSettings,
            .button = runButton,
            .effects = runEffects,
            .upgrade = runUpgrade,
            .save = runSave,
            .restore = runRestore,
            .ports = runPorts};
}

int runCommandLine(const std::vector<std::string>& words, const CommandTable& commands, std::ostream& out,
                   std::ostream& err)
{
    Args args;
    CLI::App app("The command-line companion of the REDOVIVevorev looper control panel.", "qxctl");
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.set_version_flag("--version", std::string("qxctl ") + kVersion, "Print qxctl's version and exit");
    app.get_formatter()->label("SUBCOMMAND", "COMMAND");
    app.require_subcommand(1);
    app.footer("Exit status: 0 done, 1 failed or refused, 2 a usage error.\n"
               "qxctl COMMAND --help tells more of each command.");
    addCommonOptions(app, args);

    addCommand(app, args, "monitor", "The live tracks and device line, until Ctrl-C");

    CLI::App* settings = addCommand(app, args, "settings", "Show or change the miscellaneous settings");
    settings->require_subcommand(0, 1);
    CLI::App* settingsSet = addCommand(*settings, args, "set", "Change one setting");
    std::string settingName, settingValue;
    settingsSet->add_option("NAME", settingName, "The setting")->required()->type_name("TEXT")->transform(settingWord());
    settingsSet->add_option("VALUE", settingValue, "An option's name or number; the MIDI channel 1 to 16")
        ->required();

    CLI::App* button = addCommand(app, args, "button", "Show or change a MIDI button's mapping");
    button->require_subcommand(0, 1);
    std::int64_t buttonKind = 0, buttonNumber = 0, buttonSlot = 0;
    std::vector<std::string> buttonFunction;
    button->add_option("KIND", buttonKind, "PgmChange, CC or Note (or 0, 128, 256)")->required()->type_name("TEXT")->transform(kindWord());
    button->add_option("NUMBER", buttonNumber, "The button's number")->required()->check(CLI::Range(0, 127));
    CLI::App* buttonSet = addCommand(*button, args, "set", "Change one of the button's eight function slots");
    buttonSet->add_option("SLOT", buttonSlot, "The slot")->required()->check(CLI::Range(0, 7));
    buttonSet->add_option("FUNCTION", buttonFunction, kFunctionHelp)->required();

    CLI::App* effects = addCommand(app, args, "effects", "Show or change the QX2 effect banks");
    effects->require_subcommand(0, 1);
    CLI::App* effectsSet = addCommand(*effects, args, "set", "Change one slot of an effect bank");
    std::int64_t bank = 1, effectSlot = 0;
    std::vector<std::string> effectFunction;
    effectsSet->add_option("BANK", bank, "The bank")->required()->check(CLI::Range(1, 2));
    effectsSet->add_option("SLOT", effectSlot, "The slot")->required()->check(CLI::Range(0, 7));
    effectsSet->add_option("FUNCTION", effectFunction, kFunctionHelp)->required();

    std::string path;
    CLI::App* upgrade = addCommand(app, args, "upgrade", "Send a firmware file to the looper");
    upgrade->add_option("FILE", path, "The firmware file")->required();
    CLI::App* save = addCommand(app, args, "save", "Save the button mappings and effect banks to FILE");
    save->add_option("FILE", path, "The configuration file to write")->required();
    CLI::App* restore = addCommand(app, args, "restore", "Send FILE's button mappings that differ to the looper");
    restore->add_option("FILE", path, "The configuration file to read")->required();

    addCommand(app, args, "ports", "List the MIDI ports the panel would use");

    // The message, then the usage of the command it is about.
    auto usageError = [&](const std::string& message) {
        err << message << "\n" << app.help() << std::flush;
        return kUsage;
    };
    try {
        std::vector<std::string> reversed(words.rbegin(), words.rend());  // CLI11 takes them last first
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(error, out, err);  // --help, --version
            return kDone;
        }
        return usageError(std::string("qxctl: ") + error.what());
    }

    const CLI::App* chosen = app.get_subcommands().front();
    const std::string& name = chosen->get_name();
    if (name == "monitor") return commands.monitor(args);
    if (name == "ports") return commands.ports(args);
    if (name == "upgrade") return commands.upgrade(args, path);
    if (name == "save") return commands.save(args, path);
    if (name == "restore") return commands.restore(args, path);
    if (name == "settings") {
        if (!settingsSet->parsed()) return commands.settings(args, std::nullopt);
        const Setting& setting = *findSetting(settingName);
        const auto value = parseSettingValue(setting, settingValue);
        if (!value) return usageError(std::string("settings: ") + setting.name + " takes " + choices(setting));
        return commands.settings(args, SettingChange{&setting, *value});
    }
    if (name == "button") {
        ButtonRequest request{.kind = buttonKind, .number = buttonNumber, .change = std::nullopt};
        if (buttonSet->parsed()) {
            const std::string text = joinWords(buttonFunction, 0);
            const auto function = parseFunction(text);
            if (!function) return usageError("button: no function \"" + text + "\"");
            request.change = ButtonRequest::Change{.slot = buttonSlot, .function = *function};
        }
        return commands.button(args, request);
    }
    if (name == "effects") {
        if (!effectsSet->parsed()) return commands.effects(args, std::nullopt);
        const std::string text = joinWords(effectFunction, 0);
        const auto function = parseFunction(text);
        if (!function) return usageError("effects: no function \"" + text + "\"");
        return commands.effects(args, EffectChange{.bank = bank, .slot = effectSlot, .function = *function});
    }
    return usageError("qxctl: no command " + name);  // every command is above
}

}  // namespace qx::cli
