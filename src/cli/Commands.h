#pragma once
// Each qxctl command is one function, called with what the command line
// chose; the command line (CommandLine.h) has checked every argument first.
#include <cstdint>
#include <optional>
#include <string>

#include "cli/SettingsTable.h"
#include "config/FunctionTables.h"
#include "session/SessionFactory.h"

namespace qx::cli {

// The options every command takes.
struct Args {
    bool demo = false;         // the in-process simulated looper
    SessionOptions session;    // --midi-port, --trace, --verbose
};

// settings set NAME VALUE
struct SettingChange {
    const Setting* setting = nullptr;
    std::int64_t value = 0;
};

// button KIND NUMBER [set SLOT FUNCTION]
struct ButtonRequest {
    std::int64_t kind = 0;    // 0, 128 or 256
    std::int64_t number = 0;  // 0 to 127
    struct Change {
        std::int64_t slot = 0;  // 0 to 7
        QX2Function function;
    };
    std::optional<Change> change;
};

// effects set BANK SLOT FUNCTION
struct EffectChange {
    std::int64_t bank = 1;  // 1 or 2
    std::int64_t slot = 0;  // 0 to 7
    QX2Function function;
};

int runMonitor(const Args& args);
int runSettings(const Args& args, const std::optional<SettingChange>& change);
int runButton(const Args& args, const ButtonRequest& request);
int runEffects(const Args& args, const std::optional<EffectChange>& change);
int runUpgrade(const Args& args, const std::string& path);
int runSave(const Args& args, const std::string& path);
int runRestore(const Args& args, const std::string& path);
int runPorts(const Args& args);

}  // namespace qx::cli
