// The settings, MIDI Button and QX2 Buttons edit cycles against the simulated
// looper, over real JACK MIDI ports and over UDP: what the tabs send reaches
// the looper's memory, and what the looper reports reaches the models. The
// tabs are stepped by hand; the looper's journal shows what arrived.
//
// Over UDP the test makes two network namespaces joined by a veth pair
// (10.77.0.1 and 10.77.0.2, which exist only inside them), moves this process
// into the panel's side before the link starts any thread, and cuts the link's
// interface list to them. Nothing leaves them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "NamespaceGuard.h"
#include "NamespacePair.h"
#include "config/SettingsTicks.h"
#include "link/IdleNetworkSide.h"
#include "link/LooperLink.h"
#include "midi/Messages.h"
#include "midi/RtMidiEndpoints.h"
#include "net/QXNetworkInterface.h"
#include "support/ChildProcess.h"
#include "support/ConsoleCapture.h"
#include "support/JackServer.h"

namespace qx {
namespace {

using namespace std::chrono_literals;

// "48 -1 0": function numbers as the looper's control commands print them.
std::string joined(const auto& values)
{
    std::string text;
    for (std::int64_t v : values) text += (text.empty() ? "" : " ") + std::to_string(v);
    return text;
}

// The looper's state line of the six settings, after "settings ".
std::string settingsLine(const MiscConfigStruct& s)
{
    using std::to_string;
    return "qx2DisplayType=" + to_string(s.qx2DisplayType) + " midiInClockMode=" + to_string(s.midiInClockMode) +
           " qx2Brightness=" + to_string(s.qx2Brightness) + " noiseGateLevel=" + to_string(s.noiseGateLevel) +
           " midiChannel=" + to_string(s.midiChannel) + " midiOutClockMode=" + to_string(s.midiOutClockMode);
}

class ConfigEdits : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        if (GetParam() == "jack") {
            jack.emplace();
            ASSERT_TRUE(jack->ready()) << "jackd did not start";
            sim.emplace(std::vector<std::string>{QX_SIM_PATH, "--jack", "--journal"});
        } else {
            namespaces.emplace();
            ASSERT_TRUE(namespaces->ok()) << "could not make the test namespaces";
            // This thread, and every thread it starts from now on, joins the
            // panel's side.
            const int panelSide = open(("/var/run/netns/" + namespaces->panelSide()).c_str(), O_RDONLY | O_CLOEXEC);
            ASSERT_EQ(setns(panelSide, CLONE_NEWNET), 0);
            close(panelSide);
            ASSERT_TRUE(test::insideNamespace(namespaces->panelSide()));
            sim.emplace(std::vector<std::string>{"ip", "netns", "exec", namespaces->looperSide(), QX_SIM_PATH, "--udp",
                                                 "0.0.0.0", "--journal"});
        }
        ASSERT_TRUE(sim->waitFor("ready", 10s)) << "the simulated looper did not start";
        // Over UDP there are no MIDI endpoints: the MIDI search finds nothing
        // and hands the link to the network side.
        const auto network = [this](LinkHost& host) -> std::unique_ptr<NetworkSide> {
            if (GetParam() == "jack") return std::make_unique<IdleNetworkSide>(host);
            const QXNetworkInterface::Options onlyTheTestSubnet{.enumerate = test::testSubnetInterfaces};
            return std::make_unique<QXNetworkInterface>(host, onlyTheTestSubnet);
        };
        link = std::make_unique<LooperLink>(ui, GetParam() == "jack" ? openSystemMidiEndpoints() : nullptr, network);
        settings = std::make_shared<MiscConfigModel>(panel().cmdQueue, defaultMiscConfig());
        buttons = std::make_shared<MIDIButtonConfig>(panel().cmdQueue);
        panel().qxMiscConfig = settings;
        panel().qxMIDIButtons = buttons;
        panel().attachEffectsModels(bank1, bank2);
        link->start();
        // The first answer on either link asks for both settings slices.
        ASSERT_TRUE(pumpUntil([&] { return settings->slicesTaken(0) > 0 && settings->slicesTaken(72) > 0; }, 20s))
            << "the link did not find the looper";
    }
    // The link and the looper go with the fixture, before the namespaces.
    void TearDown() override
    {
        setns(home, CLONE_NEWNET);
        close(home);
    }

    QXInterface& panel() { return link->interface(); }

    // Runs the UI hand-offs and collects the looper's journal until done()
    // holds or the time-out passes.
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
    {
        const auto until = std::chrono::steady_clock::now() + timeout;
        for (std::string line; std::chrono::steady_clock::now() < until;) {
            ui.drain();
            if (done()) return true;
            while (sim->readLine(line, 5ms))
                if (line.starts_with("rx ")) journal.push_back(line);
        }
        ui.drain();
        return done();
    }
    // How many messages the looper has received so far that start with bytes.
    std::size_t received(const std::string& bytes) const
    {
        const std::string prefix = (GetParam() == "udp" ? "rx udp " : "rx midi ") + bytes;
        return static_cast<std::size_t>(
            std::count_if(journal.begin(), journal.end(), [&](const auto& line) { return line.starts_with(prefix); }));
    }
    // Returns once everything queued so far has reached the looper: the queue
    // is first in, first out, so a marker queued last arrives last. The marker
    // asks for a settings slice that holds none of the six settings.
    bool waitForQueuedCommands()
    {
        const std::size_t before = received("F0 00 02 33 14 01 F7");
        panel().cmdQueue.enqueue(msg::settingsSliceRequest(1));
        return pumpUntil([&] { return received("F0 00 02 33 14 01 F7") > before; });
    }
    // Runs a control command; the rest of the first answer line that starts
    // with prefix ("ok" closes an answer), or "(no answer)".
    std::string looperLine(const std::string& command, const std::string& prefix = "")
    {
        sim->send(command);
        std::string found = "(no answer)";
        std::string line;
        for (int i = 0; i < 10000 && sim->readLine(line, 5s) && !line.starts_with("error"); ++i) {
            if (line.starts_with("rx ")) journal.push_back(line);
            else if (line.starts_with(prefix) && found == "(no answer)") found = line.substr(prefix.size());
            if (line.starts_with("ok")) break;
        }
        return found;
    }

    const int home = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    std::optional<test::JackServer> jack;
    std::optional<sim::test::NamespacePair> namespaces;
    test::ConsoleCapture console;  // keeps the link's diagnostics off the test output
    std::optional<test::ChildProcess> sim;
    std::vector<std::string> journal;
    ManualMainQueue ui;
    std::unique_ptr<LooperLink> link;
    std::shared_ptr<MiscConfigModel> settings;
    std::shared_ptr<MIDIButtonConfig> buttons;
    std::shared_ptr<QX2Effects> bank1 = std::make_shared<QX2Effects>();
    std::shared_ptr<QX2Effects> bank2 = std::make_shared<QX2Effects>();
};

TEST_P(ConfigEdits, SettingsChangeReachesTheLooperAndItsSlicesFillTheModel)
{
    const MiscConfigStruct atStart = settings->currentConfig;
    ASSERT_NE(atStart, defaultMiscConfig()) << "the looper should start away from the tab's defaults";
    EXPECT_EQ(looperLine("state", "settings "), settingsLine(atStart));

    MiscConfigStruct wanted = atStart;
    wanted.qx2Brightness = atStart.qx2Brightness == 7 ? 0 : 7;
    wanted.midiOutClockMode = 1 - atStart.midiOutClockMode;
    wanted.midiChannel = atStart.midiChannel == 16 ? 2 : 16;
    settings->currentConfig = wanted;
    MiscConfigTick tab(settings);
    tab.tick();
    tab.tick();  // settled: nothing more
    ASSERT_TRUE(waitForQueuedCommands());
    EXPECT_EQ(received("F0 00 02 33 07") + received("F0 00 02 33 08") + received("F0 00 02 33 05"), 3u)
        << "one write per changed setting";
    EXPECT_EQ(looperLine("state", "settings "), settingsLine(wanted));
}

TEST_P(ConfigEdits, MappingEditIsWrittenAndAPressedButtonSelectsItself)
{
    MIDIButtonTick tab(buttons);
    tab.midiButtonType = 128;  // CC 5
    tab.midiButtonNum = 5;
    tab.tick();
    ASSERT_TRUE(pumpUntil([&] { return buttons->oldvalues.size() == 8; })) << "no mapping report";
    EXPECT_EQ(received("F0 00 02 33 0E 01 05 01 F7"), 1u);
    auto wanted = slotValues(buttons->effects);
    EXPECT_EQ(looperLine("mapping 133"), joined(wanted));

    wanted[2] = wanted[2] == 16 ? 81 : 16;
    wanted[7] = wanted[7] == 2103 ? -1 : 2103;
    buttons->effects[2].setEffectNum(wanted[2]);
    buttons->effects[7].setEffectNum(wanted[7]);
    tab.tick();
    tab.tick();
    ASSERT_TRUE(waitForQueuedCommands());
    EXPECT_EQ(received("F0 00 02 33 10"), 1u) << "one write for one edit";
    EXPECT_EQ(looperLine("mapping 133"), joined(wanted));

    ASSERT_EQ(looperLine("press 2 36", "ok"), "") << "the looper did not take the press";
    ASSERT_TRUE(pumpUntil([&] { return buttons->receivedBtnType != -1; })) << "no button event";
    tab.tick();
    ASSERT_TRUE(pumpUntil([&] { return buttons->oldvalues.size() == 8; })) << "no mapping report";
    EXPECT_EQ(received("F0 00 02 33 0E 02 24 01 F7"), 1u);
    const std::string mapping = looperLine("mapping 292");
    EXPECT_NE(mapping, joined(wanted)) << "the two buttons should differ for this check to mean anything";
    EXPECT_EQ(joined(slotValues(buttons->effects)), mapping);
}

TEST_P(ConfigEdits, EffectsEditIsWrittenUntilTheLooperReportsTheSameBanks)
{
    if (GetParam() == "udp") GTEST_SKIP() << "the effect banks travel only while MIDI holds the link";
    int writeRequests = 0;
    QX2EffectsTick tab(bank1, bank2, [&] { ++writeRequests; panel().requestEffectsWrite(); });
    // Asked for at first contact, like the settings.
    ASSERT_TRUE(pumpUntil([&] { return bank1->oldvalues.size() == 8 && bank2->oldvalues.size() == 8; }))
        << "no effects report";
    const std::string bank1AtStart = joined(slotValues(bank1->effects));
    EXPECT_EQ(looperLine("state", "effects1 "), bank1AtStart);
    EXPECT_EQ(looperLine("state", "effects2 "), joined(slotValues(bank2->effects)));

    auto wanted2 = slotValues(bank2->effects);
    wanted2[7] = wanted2[7] == 2103 ? 2102 : 2103;
    bank2->effects[7].setEffectNum(wanted2[7]);
    // Without a report the write is asked for again at every tick.
    for (std::size_t round = 1; round <= 3; ++round) {
        tab.tick();
        ASSERT_TRUE(pumpUntil([&] { return received("F0 00 02 33 0A") == round; }));
    }
    EXPECT_EQ(writeRequests, 3);
    EXPECT_EQ(looperLine("state", "effects2 "), joined(wanted2));
    EXPECT_EQ(looperLine("state", "effects1 "), bank1AtStart);

    panel().requestEffectsRead();
    ASSERT_TRUE(pumpUntil([&] { return bank2->oldvalues == FunctionValues(wanted2.begin(), wanted2.end()); }))
        << "no report of the new banks";
    tab.tick();
    EXPECT_EQ(writeRequests, 3) << "the looper reported the edit: nothing more to write";
}

INSTANTIATE_TEST_SUITE_P(Over, ConfigEdits, ::testing::Values("jack", "udp"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace qx
