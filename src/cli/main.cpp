// qxctl: the panel's command-line companion.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> words(argv + 1, argv + argc);
    try {
        return qx::cli::runCommandLine(words, qx::cli::qxctlCommands(), std::cout, std::cerr);
    } catch (const std::exception& error) {
        // A session that cannot be built ("cannot write the trace file ...").
        std::cout.flush();
        std::fprintf(stderr, "qxctl: %s\n", error.what());
        return qx::cli::kFailed;
    }
}
