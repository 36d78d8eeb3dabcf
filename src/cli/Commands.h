#pragma once
// Each qxctl command is one function; main() dispatches on the first word.
#include "cli/CliRunner.h"

namespace qx::cli {

int runMonitor(const Args& args);
int runSettings(const Args& args);
int runButton(const Args& args);
int runEffects(const Args& args);
int runUpgrade(const Args& args);
int runSave(const Args& args);
int runRestore(const Args& args);

}  // namespace qx::cli
