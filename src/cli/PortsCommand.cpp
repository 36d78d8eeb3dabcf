// qxctl ports: the MIDI ports the panel would use, with --midi-port as given.
#include <cstdio>

#include "cli/CliRunner.h"
#include "cli/CommandWords.h"
#include "cli/Commands.h"
#include "cli/TerminalText.h"
#include "session/SessionFactory.h"

namespace qx::cli {

int runPorts(const Args& args)
{
    if (args.demo) return fail("ports: the demo looper is in-process and has no MIDI ports");
    routeConsoleLines(args.session.verbose);
    const MidiPortList ports = listSystemMidiPorts(args.session);
    if (!ports.noMidi.empty()) return fail(ports.noMidi);
    for (const std::string& port : ports.destinations) std::printf("out  %s\n", terminalSafe(port).c_str());
    for (const std::string& port : ports.sources) std::printf("in   %s\n", terminalSafe(port).c_str());
    return 0;
}

}  // namespace qx::cli
