// The settings and MIDI Button edit cycles over the network link, against the
// simulated looper in another network namespace. The test makes two
// namespaces of its own joined by a veth pair (10.77.0.1 and 10.77.0.2, which
// exist only inside them), moves this process into the panel's side before
// the link starts any thread, and cuts the link's interface list to them.
//
// The QX2 effect banks are read and written by the MIDI worker only while MIDI
// holds the link, so they have no part here.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include "NamespaceGuard.h"
#include "NamespacePair.h"
#include "SimulatedLooperSession.h"
#include "config/SettingsTicks.h"
#include "net/QXNetworkInterface.h"
#include "support/ConsoleCapture.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using test::slotsOf;

// Moves the calling thread, and every thread it starts afterwards, into the
// named namespace; or back into the one behind fd.
bool enterNamespace(int fd) { return fd >= 0 && setns(fd, CLONE_NEWNET) == 0; }
bool enterNamespace(const std::string& name)
{
    const int fd = open(("/var/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    const bool entered = enterNamespace(fd);
    if (fd >= 0) close(fd);
    return entered;
}

class ConfigOverUdp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(home, 0);
        ASSERT_TRUE(namespaces.ok()) << "could not make the test namespaces";
        ASSERT_TRUE(enterNamespace(namespaces.panelSide()));
        ASSERT_TRUE(test::insideNamespace(namespaces.panelSide()));
        looper = std::make_unique<test::SimulatedLooperSession>(
            std::vector<std::string>{"ip", "netns", "exec", namespaces.looperSide(), QX_SIM_PATH, "--udp", "0.0.0.0",
                                     "--journal"},
            "udp");
        ASSERT_TRUE(looper->sim.running());
        ASSERT_TRUE(looper->sim.waitFor("ready", 10s)) << "the simulated looper did not bind its socket";
        // No MIDI endpoints: the MIDI search finds nothing and hands the link
        // to the network side.
        looper->connect(nullptr, [](LinkHost& host) {
            QXNetworkInterface::Options options;
            options.enumerate = test::testSubnetInterfaces;
            return std::make_unique<QXNetworkInterface>(host, options);
        });
        ASSERT_TRUE(looper->pumpUntil([this] { return looper->looperReceived("rx udp <query>status compact</query>"); },
                                      20s))
            << "the network link did not find the looper";
    }
    void TearDown() override
    {
        looper.reset();  // the link's threads and the simulator end here
        enterNamespace(home);
        close(home);
    }

    QXInterface& panel() { return looper->link->interface(); }

    const int home = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    sim::test::NamespacePair namespaces;
    test::ConsoleCapture console;
    std::unique_ptr<test::SimulatedLooperSession> looper;
};

TEST_F(ConfigOverUdp, SlicesAskedOnContactFillTheModelAndAChangeReachesTheLooper)
{
    // The network link asks for both slices when it starts polling.
    ASSERT_TRUE(looper->pumpUntil(
        [&] { return looper->settings->slicesTaken(0) >= 1 && looper->settings->slicesTaken(72) >= 1; }));
    const MiscConfigStruct atStart = looper->looperSettings();
    EXPECT_EQ(looper->settings->currentConfig, atStart);
    EXPECT_EQ(looper->settings->oldConfig, atStart);

    MiscConfigStruct wanted = atStart;
    wanted.midiChannel = atStart.midiChannel == 16 ? 2 : 16;
    wanted.midiInClockMode = 1 - atStart.midiInClockMode;
    looper->settings->currentConfig = wanted;
    MiscConfigTick tab(looper->settings);
    tab.tick();
    tab.tick();
    ASSERT_TRUE(looper->waitForQueuedCommands());

    const std::string inClock = wanted.midiInClockMode == 1 ? "F0 00 02 33 08 03 F7" : "F0 00 02 33 08 04 F7";
    char channel[32];
    std::snprintf(channel, sizeof channel, "F0 00 02 33 05 %02X F7", unsigned(wanted.midiChannel));
    std::vector<std::string> writes;
    for (const auto& line : looper->received)
        for (const char* type : {"05", "06", "07", "08", "0C"})
            if (line.rfind(looper->rx("F0 00 02 33 ") + type + " ", 0) == 0) writes.push_back(line);
    EXPECT_EQ(writes, (std::vector<std::string>{looper->rx(inClock), looper->rx(channel)}));
    EXPECT_EQ(looper->looperSettings(), wanted);
}

TEST_F(ConfigOverUdp, MappingIsReadAndWrittenAsDatagrams)
{
    MIDIButtonTick tab(looper->buttons);
    tab.tick();  // program change 0
    ASSERT_TRUE(looper->pumpUntil([&] { return looper->buttons->oldvalues.size() == 8; })) << "no mapping report";
    EXPECT_TRUE(looper->looperReceived(looper->rx("F0 00 02 33 0E 00 00 01 F7")));
    const FunctionValues before = looper->looperMapping(0);
    EXPECT_EQ(slotsOf(looper->buttons->effects), before);

    FunctionValues wanted = before;
    wanted[4] = before[4] == 60 ? 1 : 60;
    looper->buttons->effects[4].setEffectNum(wanted[4]);
    tab.tick();
    tab.tick();
    ASSERT_TRUE(looper->waitForQueuedCommands());
    EXPECT_EQ(looper->countReceived(looper->rx("F0 00 02 33 10 00 00")), 1u);
    EXPECT_EQ(looper->looperMapping(0), wanted);
}

TEST_F(ConfigOverUdp, PressedButtonSelectsItselfAndItsMappingArrives)
{
    MIDIButtonTick tab(looper->buttons);
    tab.tick();
    ASSERT_TRUE(looper->pumpUntil([&] { return looper->buttons->oldvalues.size() == 8; }));

    bool ok = false;
    looper->control("press 1 64", &ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(looper->pumpUntil([&] { return looper->buttons->receivedBtnType != -1; })) << "no button event";
    tab.tick();
    EXPECT_EQ(tab.midiButtonType, 128);
    EXPECT_EQ(tab.midiButtonNum, 64);
    EXPECT_EQ(looper->buttons->currentBtn, 192);
    ASSERT_TRUE(looper->pumpUntil([&] { return looper->buttons->oldvalues.size() == 8; })) << "no mapping report";
    EXPECT_TRUE(looper->looperReceived(looper->rx("F0 00 02 33 0E 01 40 01 F7")));
    const FunctionValues mapping = looper->looperMapping(192);
    EXPECT_NE(mapping, looper->looperMapping(0)) << "the two buttons should differ for this check to mean anything";
    EXPECT_EQ(slotsOf(looper->buttons->effects), mapping);
}

}  // namespace
}  // namespace qx
