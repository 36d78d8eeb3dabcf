#pragma once
// qxctl's command line: qxctl [OPTIONS] COMMAND [ARGS], the options before or
// after the command. Every argument is checked here, before any looper is
// looked for; the chosen command then runs with typed values.
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace qx::cli {

// Exit statuses: done, failed or refused, a usage error.
inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

// What each command does; tests put their own in.
struct CommandTable {
    std::function<int(const Args&)> monitor;
    std::function<int(const Args&, const std::optional<SettingChange>&)> settings;
    std::function<int(const Args&, const ButtonRequest&)> button;
    std::function<int(const Args&, const std::optional<EffectChange>&)> effects;
    std::function<int(const Args&, const std::string& path)> upgrade;
    std::function<int(const Args&, const std::string& path)> save;
    std::function<int(const Args&, const std::string& path)> restore;
    std::function<int(const Args&)> ports;
};
// The commands of src/cli.
CommandTable qxctlCommands();

// Parses words (the program's name left out) and runs the command they
// choose; returns the exit status. --help and --version print to out and
// return 0; a usage error prints a short message and the usage to err and
// returns 2. What the command throws goes through.
int runCommandLine(const std::vector<std::string>& words, const CommandTable& commands, std::ostream& out,
                   std::ostream& err);

}  // namespace qx::cli
