// qxctl: the panel's command-line companion.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "cli/Commands.h"

namespace {

struct Command {
    int (*run)(const qx::cli::Args&);
    const char* usage;
};

const std::map<std::string, Command>& commands()
{
    static const std::map<std::string, Command> table = {
        {"monitor", {qx::cli::runMonitor, "monitor [--demo]      live tracks and device line until Ctrl-C"}},
        {"settings", {qx::cli::runSettings, "settings [--demo] [set NAME VALUE]  show or change a miscellaneous setting"}},
        {"button", {qx::cli::runButton, "button KIND NUM [--demo] [set SLOT FUNCTION]  show or change a MIDI button's mapping"}},
        {"effects", {qx::cli::runEffects, "effects [--demo] [set BANK SLOT FUNCTION]  show or change the QX2 effect banks"}},
        {"upgrade", {qx::cli::runUpgrade, "upgrade FILE [--demo] send a firmware file to the looper"}},
        {"save", {qx::cli::runSave, "save FILE [--demo]    save the button mappings and effect banks to FILE"}},
        {"restore", {qx::cli::runRestore, "restore FILE [--demo] send FILE's button mappings that differ to the looper"}},
    };
    return table;
}

int usage()
{
    std::fputs("usage: qxctl COMMAND [--demo] [ARGS]\n", stderr);
    for (const auto& [name, command] : commands()) std::fprintf(stderr, "  qxctl %s\n", command.usage);
    std::fputs("--demo talks to the in-process simulated looper (no MIDI ports, no network).\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return usage();
    const auto found = commands().find(argv[1]);
    if (found == commands().end()) return usage();
    qx::cli::Args args;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--demo") == 0) args.demo = true;
        else args.words.emplace_back(argv[i]);
    }
    return found->second.run(args);
}
