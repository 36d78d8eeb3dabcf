// qx-looper-sim: the simulated looper on MIDI ports and/or a UDP socket,
// steered through commands on standard input.
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/ControlSession.h"
#include "sim/LooperEngine.h"
#include "sim/MidiPortLooper.h"
#include "sim/SimOptions.h"
#include "sim/UdpLooper.h"

namespace {

// Journal lines come from the transports' threads and answers from the main
// thread; each block of lines goes out whole and is flushed at once, so a test
// reading the output sees it as soon as it is written.
class Output {
public:
    void lines(const std::vector<std::string>& lines)
    {
        std::lock_guard guard(lock_);
        for (const std::string& line : lines) {
            std::fputs(line.c_str(), stdout);
            std::fputc('\n', stdout);
        }
        std::fflush(stdout);
    }

private:
    std::mutex lock_;
};

}  // namespace

int main(int argc, char** argv)
{
    using namespace qx::sim;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = parseSimOptions(args);
    if (const auto* problem = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "qx-looper-sim: %s\n%s", problem->c_str(), kSimUsage);
        return 2;
    }
    const SimOptions& options = std::get<SimOptions>(parsed);
    if (options.help) {
        std::fputs(kSimUsage, stdout);
        return 0;
    }

    auto output = std::make_shared<Output>();
    EngineOptions engineOptions;
    engineOptions.tracks = options.tracks;
    engineOptions.name = options.name;
    engineOptions.seed = options.seed;
    auto engine = std::make_shared<LooperEngine>(std::move(engineOptions));
    if (options.journal) engine->setJournalSink([output](const std::string& line) { output->lines({line}); });

    std::unique_ptr<MidiPortLooper> midi;
    std::unique_ptr<UdpLooper> udp;
    try {
        if (options.midi) midi = std::make_unique<MidiPortLooper>(engine, options.backend);
        if (options.udpAddress)
            udp = std::make_unique<UdpLooper>(engine, *options.udpAddress, options.udpPort, options.replyPort);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qx-looper-sim: %s\n", error.what());
        return 1;
    }
    output->lines({"ready"});

    ControlSession session(*engine);
    for (std::string line; !session.quitRequested() && std::getline(std::cin, line);) output->lines(session.run(line));

    // Transports first: their threads use the engine and the output.
    udp.reset();
    midi.reset();
    engine->setJournalSink(nullptr);
    return 0;
}
