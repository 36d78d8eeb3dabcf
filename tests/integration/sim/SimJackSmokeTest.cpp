// qx-looper-sim on real JACK MIDI ports: a client of the test's own finds its
// ports, asks, and gets the looper's answers whole.
#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "midi/Messages.h"
#include "NamedJackServer.h"
#include "support/ChildProcess.h"
#include "support/Hex.h"

namespace qx::sim {
namespace {

using namespace std::chrono_literals;
using qx::test::hex;

// The test's side of the MIDI cable, on JACK.
class MidiClient {
public:
    MidiClient() : in_(RtMidi::UNIX_JACK, "qxsim-test-in"), out_(RtMidi::UNIX_JACK, "qxsim-test-out")
    {
        in_.ignoreTypes(false, true, true);
        in_.setCallback(&MidiClient::received, this);
    }
    ~MidiClient() { in_.closePort(); }

    // Connects to the first ports whose names contain the text.
    bool connect(const std::string& name)
    {
        return open(out_, name, "to-looper") && open(in_, name, "from-looper");
    }
    void send(const Bytes& message) { out_.sendMessage(message.data(), message.size()); }

    // The next message received, or nothing after the time-out.
    std::optional<Bytes> next(std::chrono::milliseconds timeout)
    {
        std::unique_lock guard(lock_);
        if (!arrived_.wait_for(guard, timeout, [this] { return !messages_.empty(); })) return std::nullopt;
        Bytes message = std::move(messages_.front());
        messages_.erase(messages_.begin());
        return message;
    }

private:
    template <typename Port>
    static bool open(Port& port, const std::string& name, const std::string& ownName)
    {
        for (unsigned i = 0; i < port.getPortCount(); ++i) {
            if (port.getPortName(i).find(name) != std::string::npos) {
                port.openPort(i, ownName);
                return port.isPortOpen();
            }
        }
        return false;
    }
    static void received(double, std::vector<unsigned char>* bytes, void* self)
    {
        auto* client = static_cast<MidiClient*>(self);
        {
            std::lock_guard guard(client->lock_);
            client->messages_.emplace_back(bytes->begin(), bytes->end());
        }
        client->arrived_.notify_all();
    }

    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<Bytes> messages_;
    RtMidiIn in_;
    RtMidiOut out_;
};

class SimOverJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(jack.ready()) << "jackd did not start";
        sim = std::make_unique<qx::test::ChildProcess>(std::vector<std::string>{QX_SIM_PATH, "--jack", "--journal"});
        ASSERT_TRUE(sim->waitFor("ready", 10s)) << "the simulated looper did not open its ports";
        client = std::make_unique<MidiClient>();
        ASSERT_TRUE(client->connect("QX Looper Sim"));
        ASSERT_TRUE(connectionsCarry()) << "no answer through the new connections";
    }

    // A JACK connection carries data from a later process cycle on, and a
    // message sent before that is lost. Asks (at most 20 times) until one
    // answer has come back, then drops any extra answers.
    bool connectionsCarry()
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            client->send(msg::statusRequest());
            if (client->next(250ms)) {
                while (client->next(250ms)) {
                }
                return true;
            }
        }
        return false;
    }
    void TearDown() override
    {
        client.reset();
        sim.reset();  // closes its input: it ends by itself
    }

    // The answer to a control command: its data lines, journal lines skipped.
    std::vector<std::string> command(const std::string& line)
    {
        sim->send(line);
        std::vector<std::string> before, data;
        EXPECT_TRUE(sim->waitFor("ok", 5s, &before)) << line;
        for (const auto& l : before)
            if (l.rfind("rx ", 0) != 0) data.push_back(l);
        return data;
    }

    test::NamedJackServer jack;  // first in, last out
    std::unique_ptr<qx::test::ChildProcess> sim;
    std::unique_ptr<MidiClient> client;
};

TEST_F(SimOverJack, AnswersStatusInformationAndConfigurationWhole)
{
    client->send(msg::statusRequest());
    const auto status = client->next(5s);
    ASSERT_TRUE(status);
    ASSERT_EQ(status->size(), 64u);
    EXPECT_EQ(Bytes(status->begin(), status->begin() + 7), hex("F0 00 02 33 02 04 01"));

    client->send(msg::informationRequest());
    EXPECT_EQ(client->next(5s), hex("F0 00 02 33 17 51 58 32 20 53 69 6D 20 31 2E 30 00 F7"));

    client->send(msg::buttonMappingRequest(376, 8));
    const auto block = client->next(5s);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->size(), 137u);

    std::vector<std::string> journal;
    sim->send("journal");
    ASSERT_TRUE(sim->waitFor("ok", 5s, &journal));
    EXPECT_NE(std::find(journal.begin(), journal.end(), "rx midi F0 00 02 33 02 F7"), journal.end())
        << "the status request was printed as it arrived";
}

TEST_F(SimOverJack, PressedButtonAndFirmwareMessagesTravelThePorts)
{
    EXPECT_TRUE(command("press 2 36").empty());
    EXPECT_EQ(client->next(5s), hex("F0 00 02 33 18 02 24 00 F7"));

    client->send(hex("F0 00 02 33 40 01 02 F7"));
    client->send(hex("F0 00 02 33 41 03 F7"));
    client->send(msg::statusRequest());
    ASSERT_TRUE(client->next(5s)) << "the request after them is answered, so both have arrived";
    EXPECT_EQ(command("upgrade-image-hex"), std::vector<std::string>{"F0 00 02 33 40 01 02 F7 F0 00 02 33 41 03 F7"});
}

}  // namespace
}  // namespace qx::sim
