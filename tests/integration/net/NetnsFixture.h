#pragma once
// The network link in the panel's namespace (qxA, 10.77.0.1) against
// qx-looper-sim in the looper's namespace (qxB, 10.77.0.2). The namespaces
// come from scripts/netns-setup.sh (a CTest fixture); this binary is started
// with "ip netns exec qxA".
#include <gtest/gtest.h>

#include <memory>

#include "ConsoleRecorder.h"
#include "NamespaceGuard.h"
#include "RecordingLinkHost.h"
#include "SimulatedLooper.h"
#include "WaitUntil.h"
#include "net/QXNetworkInterface.h"

namespace qx::test {

inline constexpr const char* kLooperName = "QXnetns";

class NetnsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(insideNamespace(QX_PANEL_NETNS)) << "run this binary with: ip netns exec " << QX_PANEL_NETNS;
        sim = std::make_unique<SimulatedLooper>(std::vector<std::string>{
            "ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0", "--journal", "--name", kLooperName});
        ASSERT_TRUE(sim->started());
        ASSERT_TRUE(sim->ready()) << "the simulator did not come up in " << QX_LOOPER_NETNS;
    }
    void TearDown() override
    {
        if (link) link->stop();
        link.reset();
        sim.reset();
    }

    // Starts the link with the transport already handed over by MIDI.
    void startLink()
    {
        QXNetworkInterface::Options options;
        options.enumerate = testSubnetInterfaces;
        host.setPollMIDI(false);
        link = std::make_unique<QXNetworkInterface>(host, options);
        link->start();
    }

    // Waits until the looper has received at least this many of the line.
    bool journalReaches(const std::string& line, std::size_t count,
                        std::chrono::milliseconds limit = std::chrono::seconds(15))
    {
        return waitUntil([&] { return sim->journalCount(line) >= count; }, limit);
    }

    ConsoleRecorder console;
    RecordingLinkHost host;
    std::unique_ptr<SimulatedLooper> sim;
    std::unique_ptr<QXNetworkInterface> link;
};

inline const std::string kIdQuery = "rx udp <query>id</query>";
inline const std::string kStatusQuery = "rx udp <query>status compact</query>";
inline const std::string kLogQuery = "rx udp <query>log</query>";

}  // namespace qx::test
