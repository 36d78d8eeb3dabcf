#include "sim/SimOptions.h"

#include <charconv>

namespace qx::sim {

const char* const kSimUsage =
    "usage: qx-looper-sim [--jack | --alsa | --midi] [--udp ADDR] [--port N] [--reply-port N]\n"
    "                     [--name NAME] [--tracks 4|8] [--seed N] [--journal]\n"
    "Commands are read from standard input, one per line; see README.md.\n";

std::variant<SimOptions, std::string> parseSimOptions(std::span<const std::string> args)
{
    SimOptions options;
    bool midiChosen = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        auto number = [&](auto& into) {
            const std::string* text = value();
            if (!text) return false;
            const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), into);
            return error == std::errc() && end == text->data() + text->size();
        };
        if (arg == "--jack" || arg == "--alsa" || arg == "--midi") {
            const MidiBackend backend =
                arg == "--jack" ? MidiBackend::Jack : arg == "--alsa" ? MidiBackend::Alsa : MidiBackend::Automatic;
            if (midiChosen && backend != options.backend) return "choose one of --jack, --alsa and --midi";
            midiChosen = options.midi = true;
            options.backend = backend;
        } else if (arg == "--udp") {
            const std::string* address = value();
            if (!address) return "--udp needs an address";
            options.udpAddress = *address;
        } else if (arg == "--port") {
            if (!number(options.udpPort)) return "--port needs a port number";
        } else if (arg == "--reply-port") {
            if (!number(options.replyPort.emplace())) return "--reply-port needs a port number";
        } else if (arg == "--name") {
            const std::string* name = value();
            if (!name) return "--name needs a name";
            options.name = *name;
        } else if (arg == "--tracks") {
            if (!number(options.tracks) || (options.tracks != 4 && options.tracks != 8)) return "--tracks takes 4 or 8";
        } else if (arg == "--seed") {
            if (!number(options.seed)) return "--seed needs a whole number";
        } else if (arg == "--journal") {
            options.journal = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else {
            return "unknown option: " + arg;
        }
    }
    if (options.replyPort && !options.udpAddress) return "--reply-port needs --udp";
    if (!options.midi && !options.udpAddress) options.midi = true;
    return options;
}

}  // namespace qx::sim
