#pragma once
// The simulated looper as a child process with its journal on, and the panel's
// link to it over real JACK MIDI ports (or any endpoints), with the three
// settings tabs' models attached. The test drives the tabs' edit cycles by
// hand and watches what reaches the looper through its journal.
#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/MainQueue.h"
#include "config/MIDIButtonConfig.h"
#include "config/MiscConfig.h"
#include "config/QX2Effects.h"
#include "link/IdleNetworkSide.h"
#include "link/LooperLink.h"
#include "midi/Messages.h"
#include "support/ChildProcess.h"

namespace qx::test {

using namespace std::chrono_literals;

class SimulatedLooperSession {
public:
    // transport: "midi" or "udp", as the looper's journal names it.
    explicit SimulatedLooperSession(std::vector<std::string> simArgs, std::string transport = "midi")
        : sim(std::move(simArgs)), transport_(std::move(transport)) {}
    ~SimulatedLooperSession()
    {
        if (link) link->stop();
        sim.send("quit");
    }

    // Builds the link on the endpoints, attaches the models and starts it.
    void connect(std::unique_ptr<MidiEndpoints> endpoints, LooperLink::NetworkFactory makeNetwork)
    {
        link = std::make_unique<LooperLink>(ui, std::move(endpoints), std::move(makeNetwork));
        QXInterface& panel = link->interface();
        settings = std::make_shared<MiscConfigModel>(panel.cmdQueue, defaultMiscConfig());
        buttons = std::make_shared<MIDIButtonConfig>(panel.cmdQueue);
        panel.qxMiscConfig = settings;
        panel.qxMIDIButtons = buttons;
        panel.attachEffectsModels(bank1, bank2);
        link->start();
    }

    // Runs the UI hand-offs and collects the looper's journal until done()
    // holds or the time-out passes.
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
    {
        const auto until = std::chrono::steady_clock::now() + timeout;
        std::string line;
        while (std::chrono::steady_clock::now() < until) {
            ui.drain();
            if (done()) return true;
            while (sim.readLine(line, 5ms)) keep(line);
        }
        ui.drain();
        return done();
    }

    // Returns once everything queued so far has reached the looper: the queue
    // is first in, first out, so a marker queued last arrives last. The marker
    // asks for a settings slice that holds none of the six settings.
    bool waitForQueuedCommands()
    {
        const std::string marker = rx("F0 00 02 33 14 01 F7");
        const std::size_t before = countReceived(marker);
        link->interface().cmdQueue.enqueue(msg::settingsSliceRequest(1));
        return pumpUntil([&] { return countReceived(marker) > before; });
    }

    // The journal line of a message the looper received: rx("F0 00 02 33 02 F7").
    std::string rx(const std::string& bytes) const { return "rx " + transport_ + " " + bytes; }

    // True once the looper has received a message whose journal line starts so.
    bool looperReceived(const std::string& prefix) const { return countReceived(prefix) > 0; }
    std::size_t countReceived(const std::string& prefix) const
    {
        std::size_t n = 0;
        for (const auto& line : received) n += line.rfind(prefix, 0) == 0;
        return n;
    }
    std::vector<std::string> receivedStarting(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const auto& line : received)
            if (line.rfind(prefix, 0) == 0) out.push_back(line);
        return out;
    }

    // One control command: its answer lines before the closing "ok" (empty
    // with ok == false when it fails or no answer comes).
    std::vector<std::string> control(const std::string& command, bool* ok = nullptr)
    {
        sim.send(command);
        std::vector<std::string> answer;
        std::string line;
        for (int i = 0; i < 10000 && sim.readLine(line, 5s); ++i) {
            if (line.rfind("rx ", 0) == 0 || line.rfind("tx ", 0) == 0) {
                keep(line);
            } else if (line.rfind("ok", 0) == 0 || line.rfind("error", 0) == 0) {
                if (ok) *ok = line.rfind("ok", 0) == 0;
                return answer;
            } else {
                answer.push_back(line);
            }
        }
        if (ok) *ok = false;
        return {};
    }

    // The looper's own settings, from its state report.
    MiscConfigStruct looperSettings()
    {
        MiscConfigStruct s{-9, -9, -9, -9, -9, -9};
        for (const auto& line : control("state")) {
            if (line.rfind("settings ", 0) != 0) continue;
            std::istringstream in(line.substr(9));
            for (std::string item; in >> item;) {
                const auto eq = item.find('=');
                const std::string key = item.substr(0, eq);
                const std::int64_t value = std::stoll(item.substr(eq + 1));
                if (key == "qx2Brightness") s.qx2Brightness = value;
                if (key == "qx2DisplayType") s.qx2DisplayType = value;
                if (key == "midiInClockMode") s.midiInClockMode = value;
                if (key == "midiOutClockMode") s.midiOutClockMode = value;
                if (key == "midiChannel") s.midiChannel = value;
                if (key == "noiseGateLevel") s.noiseGateLevel = value;
            }
        }
        return s;
    }

    // A state line such as "effects1 0 1 16 ..." as numbers.
    FunctionValues looperNumbers(const std::string& command, const std::string& prefix)
    {
        for (const auto& line : control(command)) {
            if (line.rfind(prefix, 0) != 0) continue;
            std::istringstream in(line.substr(prefix.size()));
            FunctionValues values;
            for (std::int64_t v; in >> v;) values.push_back(v);
            return values;
        }
        return {};
    }
    FunctionValues looperMapping(int code) { return looperNumbers("mapping " + std::to_string(code), ""); }
    FunctionValues looperBank(int bank) { return looperNumbers("state", "effects" + std::to_string(bank) + " "); }

    ChildProcess sim;
    ManualMainQueue ui;
    std::unique_ptr<LooperLink> link;
    std::shared_ptr<MiscConfigModel> settings;
    std::shared_ptr<MIDIButtonConfig> buttons;
    std::shared_ptr<QX2Effects> bank1 = std::make_shared<QX2Effects>();
    std::shared_ptr<QX2Effects> bank2 = std::make_shared<QX2Effects>();
    std::vector<std::string> received;

private:
    std::string transport_;

    void keep(const std::string& line)
    {
        if (line.rfind("rx ", 0) == 0) received.push_back(line);
    }
};

inline FunctionValues slotsOf(const EffectSlots& slots)
{
    FunctionValues out;
    for (const auto& slot : slots) out.push_back(slot.effectNum());
    return out;
}

}  // namespace qx::test
