#include <gtest/gtest.h>

#include "common/MainQueue.h"
#include "midi/Messages.h"
#include "midi/MidiPollCycle.h"
#include "midi/QXInterface.h"
#include "support/ConsoleCapture.h"
#include "support/FakeMidiEndpoints.h"
#include "support/Hex.h"

namespace qx {
using test::hex;

namespace {

const Bytes kStatus = hex("F0 00 02 33 02 F7");
const Bytes kLog = hex("F0 00 02 33 03 F7");

Bytes statusReport()
{
    Bytes m = hex("F0 00 02 33 02 04 01");
    m.resize(63, 0);
    m.push_back(0xF7);
    return m;
}

// What one step sent, and the pause it asked for.
struct Step {
    std::vector<Bytes> sent;
    double pause;
};

}  // namespace

class PollCycle : public ::testing::Test {
protected:
    ManualMainQueue ui;
    test::FakeMidiEndpoints* endpoints = new test::FakeMidiEndpoints({"first", "second"});
    QXInterface link{ui, std::unique_ptr<MidiEndpoints>(endpoints)};
    MidiPollCycle cycle{link};
    test::ConsoleCapture console;
    bool looperAnswers = true;

    // These cases are about the schedule; the first answer's configuration
    // requests have a case of their own.
    void SetUp() override { link.firstContact.store(false); }

    Step step()
    {
        endpoints->clear();
        const double pause = cycle.step().count();
        Step s{{}, pause};
        for (const auto& sent : endpoints->sent())
            if (sent.destination == "first") s.sent.push_back(sent.message);
        if (looperAnswers)
            for (const auto& m : s.sent)
                if (m == kStatus) link.handleSysEx(statusReport());
        return s;
    }
    void reachPolling()
    {
        step();  // the search's status request, answered
        ASSERT_EQ(cycle.phase(), MidiPollCycle::Phase::search);
    }
};

TEST_F(PollCycle, AnsweringLooperIsPolledFiveStatusToOneLog)
{
    Step first = step();
    EXPECT_EQ(first.sent, std::vector<Bytes>{kStatus});
    EXPECT_DOUBLE_EQ(first.pause, 0.1);

    std::vector<Bytes> pattern;
    for (int i = 0; i < 12; ++i) {
        Step s = step();
        EXPECT_DOUBLE_EQ(s.pause, 0.07);
        ASSERT_EQ(s.sent.size(), 1u);
        pattern.push_back(s.sent[0]);
    }
    EXPECT_EQ(console.lines(), std::vector<std::string>{"\"Polling MIDI\""});
    for (int i = 0; i < 12; ++i) EXPECT_EQ(pattern[i], i % 6 == 5 ? kLog : kStatus) << "cycle " << i;
}

TEST_F(PollCycle, FirstContactAsksForTheConfigurationBeforePolling)
{
    link.firstContact.store(true);
    step();
    std::vector<Bytes> sent;
    for (int i = 0; i < 5; ++i) sent.push_back(step().sent.at(0));
    EXPECT_EQ(sent, (std::vector<Bytes>{msg::effectsRequest(), msg::informationRequest(),
                                        msg::settingsSliceRequest(0), msg::settingsSliceRequest(72), kStatus}));
}

TEST_F(PollCycle, EveryMessageGoesToEachDestinationInOrder)
{
    cycle.step();
    const auto sent = endpoints->sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].destination, "first");
    EXPECT_EQ(sent[1].destination, "second");
}

TEST_F(PollCycle, SilentLooperHandsTheLinkToTheNetworkAfterFiveRequests)
{
    looperAnswers = false;
    for (int i = 0; i < 5; ++i) {
        Step s = step();
        EXPECT_EQ(s.sent, std::vector<Bytes>{kStatus});
        EXPECT_DOUBLE_EQ(s.pause, 0.1);
    }
    EXPECT_TRUE(link.pollMIDI());
    Step idle = step();
    EXPECT_TRUE(idle.sent.empty());
    EXPECT_DOUBLE_EQ(idle.pause, 1.0);
    EXPECT_FALSE(link.pollMIDI());
    EXPECT_TRUE(console.lines().empty()) << "no \"Polling MIDI\" without an answer";

    // The network side hands the link back: the search starts again.
    link.setPollMIDI(true);
    EXPECT_EQ(step().sent, std::vector<Bytes>{kStatus});
}

TEST_F(PollCycle, LooperFallingSilentEndsPollingAfterTenRequests)
{
    reachPolling();
    step();  // status, answered
    looperAnswers = false;
    int statusRequests = 0;
    for (int i = 0; i < 30 && link.pollMIDI(); ++i)
        for (const auto& m : step().sent) statusRequests += m == kStatus;
    EXPECT_FALSE(link.pollMIDI());
    EXPECT_EQ(statusRequests, 10);
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"\"Polling MIDI\"", "\"Polling IP\""}));
    EXPECT_EQ(cycle.phase(), MidiPollCycle::Phase::search);
}

TEST_F(PollCycle, QueuedCommandsGoFirstInOrder)
{
    reachPolling();
    const Bytes a = hex("F0 00 02 33 05 01 F7"), b = hex("F0 00 02 33 06 09 F7"), c = hex("F0 00 02 33 07 03 F7");
    link.cmdQueue.enqueue(a);
    link.cmdQueue.enqueue(b);
    link.cmdQueue.enqueue(c);
    const std::int64_t tries = link.pollTries.load();
    EXPECT_EQ(step().sent, std::vector<Bytes>{a});
    EXPECT_EQ(step().sent, std::vector<Bytes>{b});
    EXPECT_EQ(step().sent, std::vector<Bytes>{c});
    EXPECT_EQ(link.pollTries.load(), tries) << "commands do not count as status requests";
    EXPECT_EQ(step().sent, std::vector<Bytes>{kStatus});
}

TEST_F(PollCycle, EffectsRequestThenWriteThenCommands)
{
    auto bank1 = std::make_shared<QX2Effects>();
    auto bank2 = std::make_shared<QX2Effects>();
    bank1->effects[0].setEffectNum(200);
    link.attachEffectsModels(bank1, bank2);
    reachPolling();
    link.cmdQueue.enqueue(hex("F0 00 02 33 05 01 F7"));
    link.requestEffectsWrite();
    link.requestEffectsRead();
    EXPECT_EQ(step().sent, std::vector<Bytes>{msg::effectsRequest()});
    const auto write = step().sent;
    ASSERT_EQ(write.size(), 1u);
    EXPECT_EQ(write[0][4], 0x0A);
    EXPECT_EQ(write[0][6], 0x01);
    EXPECT_EQ(write[0][7], 0x48);
    EXPECT_EQ(step().sent, std::vector<Bytes>{hex("F0 00 02 33 05 01 F7")});
}

TEST_F(PollCycle, UpgradeMessagesReplaceAllPollingAndFreezeTheSilenceCount)
{
    reachPolling();
    Bytes file = hex("F0 01 02 F7");
    Bytes second(200, 0x11);
    second.front() = 0xF0;
    second.back() = 0xF7;
    file.insert(file.end(), second.begin(), second.end());
    link.upgrade().load(file);
    link.cmdQueue.enqueue(hex("F0 00 02 33 05 01 F7"));
    const std::int64_t tries = link.pollTries.load();

    EXPECT_EQ(step().sent, std::vector<Bytes>{hex("F0 01 02 F7")});
    EXPECT_EQ(step().sent, std::vector<Bytes>{second});
    EXPECT_TRUE(step().sent.empty()) << "the cycle after the last message ends the upgrade";
    EXPECT_FALSE(link.upgrade().inProgress());
    EXPECT_EQ(link.pollTries.load(), tries);
    EXPECT_EQ(step().sent, std::vector<Bytes>{hex("F0 00 02 33 05 01 F7")});
}

}  // namespace qx
