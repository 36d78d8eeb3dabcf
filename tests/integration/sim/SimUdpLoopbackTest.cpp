// The simulated looper on UDP, on 127.0.0.1 only: the executable on port 5667
// as the panel would meet it, and the transport class on a free port.
#include <gtest/gtest.h>

#include "midi/Messages.h"
#include "sim/ByteText.h"
#include "sim/UdpLooper.h"
#include "support/ChildProcess.h"
#include "support/Hex.h"
#include "UdpClient.h"

namespace qx::sim {
namespace {

using namespace std::chrono_literals;
using qx::test::hex;
using test::textBytes;
using test::UdpClient;

Bytes logReply(const std::string& text)
{
    Bytes bytes = textBytes("<log>" + text + "</log>");
    bytes.push_back(0);
    return bytes;
}

TEST(SimExecutableOnLoopback, AnswersQueriesFromPort5667)
{
    qx::test::ChildProcess sim({QX_SIM_PATH, "--udp", "127.0.0.1", "--name", "Loop Sim", "--journal"});
    ASSERT_TRUE(sim.waitFor("ready", 10s)) << "127.0.0.1:5667 may be taken";
    UdpClient panel("127.0.0.1", 0);
    ASSERT_TRUE(panel.valid());

    panel.sendTo(std::string("<query>id</query>"), "127.0.0.1", 5667);
    auto reply = panel.receive(5s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes, textBytes("<id>Loop Sim</id>"));
    EXPECT_EQ(reply->from, "127.0.0.1:5667");

    panel.sendTo(std::string("<query>status compact</query>"), "127.0.0.1", 5667);
    reply = panel.receive(5s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes.size(), 232u);

    panel.sendTo(msg::statusRequest(), "127.0.0.1", 5667);
    reply = panel.receive(5s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes.size(), 64u);

    std::vector<std::string> lines;
    sim.send("journal");
    ASSERT_TRUE(sim.waitFor("ok", 5s, &lines));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "rx udp <query>id</query>"), lines.end());
}

std::shared_ptr<LooperEngine> quietLooper()
{
    EngineOptions options;
    options.defaultScene = false;
    return std::make_shared<LooperEngine>(std::move(options));
}

class UdpLooperOnLoopback : public ::testing::Test {
protected:
    std::shared_ptr<LooperEngine> engine = quietLooper();
    UdpLooper looper{engine, "127.0.0.1", 0};
    UdpClient panel{"127.0.0.1", 0};
    std::uint16_t port = looper.port();
};

TEST_F(UdpLooperOnLoopback, FullUpgradeWithAcknowledgements)
{
    Bytes file(1300);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 13);
    panel.sendTo(std::string("<command>upgrade 1300</command>"), "127.0.0.1", port);
    auto reply = panel.receive(5s);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->bytes, hex("00 01"));
    for (int n = 1; n <= 3; ++n) {
        const std::size_t from = static_cast<std::size_t>(n - 1) * 512;
        Bytes slice{0x00, 0x03, 0x00, static_cast<std::uint8_t>(n)};
        slice.insert(slice.end(), file.begin() + static_cast<std::ptrdiff_t>(from),
                     file.begin() + static_cast<std::ptrdiff_t>(std::min(from + 512, file.size())));
        panel.sendTo(slice, "127.0.0.1", port);
        reply = panel.receive(5s);
        ASSERT_TRUE(reply) << "slice " << n;
        EXPECT_EQ(reply->bytes, (Bytes{0x00, 0x04, 0x00, static_cast<std::uint8_t>(n)}));
    }
    const UpgradeImage image = engine->upgradeImage();
    EXPECT_TRUE(image.complete);
    EXPECT_EQ(image.bytes, file);
}

TEST_F(UdpLooperOnLoopback, DelayedRepliesKeepTheirOrderAndEventsGoToTheLastSender)
{
    Faults f;
    f.delay = 20ms;
    engine->setFaults(f);
    engine->appendLog("first\n");
    panel.sendTo(std::string("<query>log</query>"), "127.0.0.1", port);
    engine->setFaults(Faults{});
    panel.sendTo(std::string("<query>id</query>"), "127.0.0.1", port);
    auto first = panel.receive(5s), second = panel.receive(5s);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->bytes, logReply("first\n"));
    EXPECT_EQ(second->bytes, textBytes("<id>QX Looper Sim</id>"));

    ASSERT_TRUE(engine->pressButton(0, 5));
    const auto event = panel.receive(5s);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->bytes, hex("F0 00 02 33 18 00 05 00 F7"));
}

TEST(UdpLooper, RefusesWhatItCannotBind)
{
    auto engine = std::make_shared<LooperEngine>();
    EXPECT_THROW(UdpLooper(engine, "not-an-address", 0), std::runtime_error);
    UdpLooper first(engine, "127.0.0.1", 0);
    EXPECT_THROW(UdpLooper(engine, "127.0.0.1", first.port()), std::runtime_error);
}

}  // namespace
}  // namespace qx::sim
