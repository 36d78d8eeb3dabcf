#include "sim/ControlSession.h"

#include <charconv>
#include <cstdio>
#include <sstream>

#include "protocol/SysExCodec.h"
#include "sim/ByteText.h"
#include "sim/ConfigDump.h"

namespace qx::sim {
namespace {

using Lines = std::vector<std::string>;

template <typename Number>
bool parse(const std::string& text, Number& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool parseFraction(const std::string& text, double& value)
{
    return parse(text, value) && value >= 0.0 && value <= 1.0;
}

std::string joined(const FunctionSlots& slots)
{
    std::string text;
    for (std::int64_t v : slots) text += (text.empty() ? "" : " ") + std::to_string(v);
    return text;
}

std::string fraction(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

std::string seconds(Nanos time)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(time.count()) / 1e9);
    return text;
}

// The mappings as the looper sends them (7-bit pairs, code order), hashed.
std::string mappingsHash(LooperEngine& engine)
{
    Bytes all;
    for (int code = 0; code < kButtonCodes; ++code)
        for (std::int64_t v : engine.mapping(code)) sysex::appendPair(all, v);
    return hashText(all);
}

Lines stateLines(LooperEngine& engine)
{
    const MiscSettings s = engine.settings();
    const EffectBanks banks = engine.effects();
    const UpgradeImage image = engine.upgradeImage();
    const Faults f = engine.faults();
    Lines lines;
    lines.push_back("settings qx2DisplayType=" + std::to_string(s.qx2DisplayType) +
                    " midiInClockMode=" + std::to_string(s.midiInClockMode) +
                    " qx2Brightness=" + std::to_string(s.qx2Brightness) +
                    " noiseGateLevel=" + std::to_string(s.noiseGateLevel) +
                    " midiChannel=" + std::to_string(s.midiChannel) +
                    " midiOutClockMode=" + std::to_string(s.midiOutClockMode));
    lines.push_back("effects1 " + joined(banks.bank1));
    lines.push_back("effects2 " + joined(banks.bank2));
    lines.push_back("upgrade size=" + std::to_string(image.bytes.size()) +
                    " complete=" + (image.complete ? "yes" : "no") + " via=" + image.via);
    lines.push_back("mappings fnv1a=" + mappingsHash(engine));
    const auto tracks = engine.tracks();
    lines.push_back("tracks n=" + std::to_string(tracks.size()) + " selected=" + std::to_string(engine.selectedTrack()));
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const SimTrack& t = tracks[i];
        lines.push_back("track " + std::to_string(i + 1) + " " + trackStateName(t.state) +
                        " level=" + std::to_string(t.level) + " pan=" + std::to_string(t.pan) +
                        " feedback=" + std::to_string(t.feedback) + " length=" + std::to_string(t.length) +
                        " position=" + std::to_string(t.position));
    }
    lines.push_back(std::string("faults silent=") + (f.silent ? "yes" : "no") +
                    " drop-replies=" + fraction(f.dropReplies) + " garble=" + fraction(f.garble) +
                    " dup-replies=" + fraction(f.dupReplies) +
                    " delay=" + std::to_string(f.delay.count()) + " drop-acks=" + fraction(f.dropAcks) +
                    " dup-acks=" + fraction(f.dupAcks) + " restart-upgrade-after=" +
                    (f.restartUpgradeAfter ? std::to_string(*f.restartUpgradeAfter) : "off"));
    return lines;
}

}  // namespace

std::vector<std::string> ControlSession::run(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty()) return {};
    const std::string& command = words[0];
    const std::size_t args = words.size() - 1;
    auto arg = [&](std::size_t i) -> const std::string& { return words[i]; };
    auto usage = [&](const char* form) { return Lines{std::string("error usage: ") + form}; };

    // Fault switches: read, change one field, write back.
    auto withFaults = [&](auto change) {
        Faults f = engine_.faults();
        change(f);
        engine_.setFaults(f);
        return Lines{"ok"};
    };
    auto fractionFault = [&](const char* form, double Faults::*field) {
        double value = 0;
        if (args != 1 || !parseFraction(arg(1), value)) return usage(form);
        return withFaults([&](Faults& f) { f.*field = value; });
    };

    if (command == "quit") {
        quit_ = true;
        return {"ok"};
    }
    if (command == "silent") return withFaults([](Faults& f) { f.silent = true; });
    if (command == "answer") return withFaults([](Faults& f) { f.silent = false; });
    if (command == "clock-in-sysex") return withFaults([](Faults& f) { f.clockInSysEx = true; });
    if (command == "drop-replies") return fractionFault("drop-replies FRACTION", &Faults::dropReplies);
    if (command == "garble") return fractionFault("garble FRACTION", &Faults::garble);
    if (command == "dup-replies") return fractionFault("dup-replies FRACTION", &Faults::dupReplies);
    if (command == "drop-acks") return fractionFault("drop-acks FRACTION", &Faults::dropAcks);
    if (command == "dup-acks") return fractionFault("dup-acks FRACTION", &Faults::dupAcks);
    if (command == "delay") {
        int ms = 0;
        if (args != 1 || !parse(arg(1), ms) || ms < 0 || ms > 60'000) return usage("delay MS (0 to 60000)");
        return withFaults([&](Faults& f) { f.delay = std::chrono::milliseconds(ms); });
    }
    if (command == "restart-upgrade-after") {
        int slice = 0;
        if (args == 1 && arg(1) == "off") return withFaults([](Faults& f) { f.restartUpgradeAfter.reset(); });
        if (args != 1 || !parse(arg(1), slice) || slice < 1) return usage("restart-upgrade-after SLICE|off");
        return withFaults([&](Faults& f) { f.restartUpgradeAfter = slice; });
    }
    if (command == "press") {
        int kind = 0, number = 0;
        if (args != 2 || !parse(arg(1), kind) || !parse(arg(2), number) || !engine_.pressButton(kind, number))
            return usage("press KIND NUM (each 0 to 127)");
        return {"ok"};
    }
    if (command == "flood") {
        // Answers once the whole flood has gone out, which takes seconds: about
        // 1.5 MB a second on MIDI.
        std::optional<FloodKind> kind;
        std::uint64_t count = 0;
        if (args != 2 || !(kind = parseFloodKind(arg(1))) || !parse(arg(2), count) || count < 1 ||
            count > 1'000'000'000 || ((*kind == FloodKind::SysEx || *kind == FloodKind::SysExNoEnd) && count < 6))
            return usage("flood effects|status|log|sysex|sysex-noend COUNT (1 to 1000000000, sysex at least 6)");
        const LooperEngine::FloodSent sent = engine_.flood(*kind, count);
        return {"ok midi=" + std::to_string(sent.midiBytes) + " udp=" + std::to_string(sent.udpBytes) +
                " datagrams=" + std::to_string(sent.udpDatagrams) + " from=" + seconds(sent.from) +
                " to=" + seconds(sent.to)};
    }
    if (command == "track") {
        int track = 0;
        std::optional<TrackState> state;
        if (args != 2 || !parse(arg(1), track) || !(state = parseTrackState(arg(2))) ||
            !engine_.setTrackState(track, *state))
            return usage("track N STATE (empty, recording, overdubbing, stopped, playing, replacing)");
        return {"ok"};
    }
    if (command == "select") {
        int track = 0;
        if (args != 1 || !parse(arg(1), track) || !engine_.selectTrack(track)) return usage("select N (0 for none)");
        return {"ok"};
    }
    if (command == "journal") {
        Lines lines;
        for (const JournalEntry& entry : engine_.journal()) lines.push_back(seconds(entry.time) + " " + journalLine(entry));
        lines.push_back("ok " + std::to_string(lines.size()));
        return lines;
    }
    if (command == "state") {
        Lines lines = stateLines(engine_);
        lines.push_back("ok");
        return lines;
    }
    if (command == "mapping") {
        int code = 0;
        if (args != 1 || !parse(arg(1), code) || !ButtonMappings::validCode(code)) return usage("mapping CODE (0 to 383)");
        return {joined(engine_.mapping(code)), "ok"};
    }
    if (command == "dump-config") return {configurationJson(engine_), "ok"};
    if (command == "upgrade-image") {
        const UpgradeImage image = engine_.upgradeImage();
        return {"size=" + std::to_string(image.bytes.size()) + " complete=" + (image.complete ? "yes" : "no") +
                    " via=" + image.via + " fnv1a=" + hashText(image.bytes),
                "ok"};
    }
    if (command == "upgrade-image-hex") return {hexBytes(engine_.upgradeImage().bytes), "ok"};
    return {"error unknown command: " + command};
}

}  // namespace qx::sim
