// qx-looper-sim in a network namespace of its own, reached from a second one
// over a veth pair, the way the panel finds it: a broadcast identity query to
// the subnet, answered from the looper's own address.
#include <gtest/gtest.h>

#include "midi/Messages.h"
#include "NamespacePair.h"
#include "support/ChildProcess.h"
#include "UdpClient.h"

namespace qx::sim {
namespace {

using namespace std::chrono_literals;
using test::textBytes;

class SimInNamespace : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        if (geteuid() != 0) GTEST_SKIP() << "network namespaces need root";
        ASSERT_TRUE(net.ok()) << "could not set up the namespaces";
        sim = std::make_unique<qx::test::ChildProcess>(
            std::vector<std::string>{"ip", "netns", "exec", net.looperSide(), QX_SIM_PATH, "--udp", GetParam()});
        ASSERT_TRUE(sim->waitFor("ready", 10s));
        panel = std::make_unique<test::UdpClient>(net.panelSocket());
        ASSERT_TRUE(panel->valid());
    }
    void TearDown() override
    {
        panel.reset();
        sim.reset();  // before the namespaces go
    }

    test::NamespacePair net;  // first in, last out
    std::unique_ptr<qx::test::ChildProcess> sim;
    std::unique_ptr<test::UdpClient> panel;
};

TEST_P(SimInNamespace, BroadcastIdentityQueryIsAnsweredFromTheLoopersAddress)
{
    ASSERT_TRUE(panel->sendTo(std::string("<query>id</query>"), "10.77.0.255", 5667));
    const auto reply = panel->receive(5s);
    ASSERT_TRUE(reply) << "no answer to the broadcast";
    EXPECT_EQ(reply->bytes, textBytes("<id>QX Looper Sim</id>"));
    EXPECT_EQ(reply->from, "10.77.0.2:5667");

    // From then on the panel talks to that address directly.
    panel->sendTo(std::string("<query>status compact</query>"), "10.77.0.2", 5667);
    const auto status = panel->receive(5s);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->bytes.size(), 232u);
    EXPECT_EQ(status->from, "10.77.0.2:5667");
}

INSTANTIATE_TEST_SUITE_P(BoundTo, SimInNamespace, ::testing::Values("0.0.0.0", "10.77.0.2"),
                         [](const auto& info) { return std::string(info.param[0] == '0' ? "Any" : "OwnAddress"); });

}  // namespace
}  // namespace qx::sim
