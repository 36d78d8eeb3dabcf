// The MIDI worker's schedule walked step by step: what each step sends to
// every destination, the pause it asks for, and when it hands the link over.
// The looper's answers go through the real read procedure and decoder.
#include <gtest/gtest.h>

#include <algorithm>

#include "midi/MidiPollCycle.h"
#include "midi/MidiReassembler.h"
#include "support/ConsoleCapture.h"
#include "support/Hex.h"
#include "support/SessionUnderTest.h"

namespace qx {
using test::hex;

namespace {

const Bytes kStatus = hex("F0 00 02 33 02 F7");
const Bytes kLog = hex("F0 00 02 33 03 F7");
const Bytes kCommand = hex("F0 00 02 33 05 01 F7");

// What one step sent, and the pause it asked for.
struct Step {
    double pause;
    std::vector<Bytes> sent;
    bool operator==(const Step&) const = default;
};

}  // namespace

class PollCycle : public ::testing::Test {
protected:
    test::SessionUnderTest panel{{"first", "second"}};
    LinkArbiter& arbiter = panel.session.arbiter();
    MidiPollCycle cycle{panel.midiLink()};
    test::ConsoleCapture console;
    bool looperAnswers = true;

    // These cases are about the schedule; the first answer's configuration
    // requests are the session's (SessionTest).
    void SetUp() override { arbiter.takeFirstContact(); }

    // One step; every message goes to each destination, and a status request
    // is answered with a status report while the looper answers.
    Step step()
    {
        panel.midi->clear();
        const Step s{cycle.step().count(), panel.midi->messages("first")};
        EXPECT_EQ(panel.midi->messages("second"), s.sent) << "each message goes to both destinations";
        for (const auto& m : s.sent)
            if (looperAnswers && m == kStatus) panel.receive(test::padded("F0 00 02 33 02 04 01", 64));
        return s;
    }
    LinkState::Phase phase() { return arbiter.state().phase; }
};

TEST_F(PollCycle, AnsweringLooperIsPolledFiveStatusToOneLogUntilTenGoUnanswered)
{
    EXPECT_EQ(step(), (Step{0.1, {kStatus}}));
    EXPECT_EQ(phase(), LinkState::Phase::searchingMidi);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(step(), (Step{0.07, {i % 6 == 5 ? kLog : kStatus}})) << "cycle " << i;
    EXPECT_EQ(phase(), LinkState::Phase::pollingMidi);

    looperAnswers = false;
    std::ptrdiff_t statusRequests = 0;
    for (int i = 0; i < 30 && arbiter.holds(Transport::midi); ++i)
        statusRequests += std::ranges::count(step().sent, kStatus);
    EXPECT_TRUE(arbiter.holds(Transport::network));
    EXPECT_EQ(statusRequests, 10);
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"\"Polling MIDI\"", "\"Polling IP\""}));
    EXPECT_EQ(cycle.phase(), MidiPollCycle::Phase::search);
    EXPECT_TRUE(arbiter.takeFirstContact()) << "the next answer is a first contact";
}

TEST_F(PollCycle, SilentLooperHandsTheLinkToTheNetworkAfterFiveRequests)
{
    looperAnswers = false;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(step(), (Step{0.1, {kStatus}})) << i;
    EXPECT_TRUE(arbiter.holds(Transport::midi));
    EXPECT_EQ(step(), (Step{1.0, {}}));
    EXPECT_TRUE(arbiter.holds(Transport::network));
    EXPECT_EQ(phase(), LinkState::Phase::searchingNetwork);
    EXPECT_TRUE(console.lines().empty()) << "no \"Polling MIDI\" without an answer";

    // The network side hands the link back: the search starts again.
    arbiter.handTo(Transport::midi);
    EXPECT_EQ(step().sent, std::vector<Bytes>{kStatus});
}

TEST_F(PollCycle, EffectsRequestThenWriteThenQueuedCommandsInOrderThenPolling)
{
    panel.session.edits().changeEffect(1, 0, 200);
    step();  // the search's status request, answered
    const std::vector<Bytes> commands = {kCommand, hex("F0 00 02 33 06 09 F7"), hex("F0 00 02 33 07 03 F7")};
    for (const Bytes& c : commands) panel.commands().enqueue(c);
    panel.session.linkHost().effects.requestWrite();
    panel.session.edits().askForEffects();
    const std::int64_t unanswered = arbiter.unanswered(Transport::midi);
    const Bytes write = test::padded("F0 00 02 33 0A 08 01 48", 39, 0x7F);  // 200, then fifteen empty slots
    for (const Bytes& m : {hex("F0 00 02 33 09 F7"), write, commands[0], commands[1], commands[2]})
        EXPECT_EQ(step().sent, std::vector<Bytes>{m}) << test::toHex(m);
    EXPECT_EQ(arbiter.unanswered(Transport::midi), unanswered) << "only status requests count as unanswered";
    EXPECT_EQ(step().sent, std::vector<Bytes>{kStatus});
}

TEST_F(PollCycle, UpgradeMessagesReplaceAllPollingAndFreezeTheSilenceCount)
{
    step();  // the search's status request, answered
    const Bytes first = hex("F0 01 02 F7"), second = test::sysExRun({200}, 0x11);
    Bytes file = first;
    file.insert(file.end(), second.begin(), second.end());
    ASSERT_EQ(panel.midiLink().startUpgrade(file), std::nullopt);
    panel.commands().enqueue(kCommand);
    const std::int64_t unanswered = arbiter.unanswered(Transport::midi);

    for (const Bytes& m : {first, second}) EXPECT_EQ(step().sent, std::vector<Bytes>{m}) << test::toHex(m);
    EXPECT_TRUE(step().sent.empty()) << "the cycle after the last message ends the upgrade";
    EXPECT_FALSE(panel.midiLink().upgradeInProgress());
    EXPECT_EQ(arbiter.unanswered(Transport::midi), unanswered);
    EXPECT_EQ(step().sent, std::vector<Bytes>{kCommand});

    // A file loaded just as polling ends is let go, not kept for whichever
    // looper answers next.
    arbiter.setUnanswered(Transport::midi, 10);
    ASSERT_EQ(panel.midiLink().startUpgrade(first), std::nullopt);
    EXPECT_TRUE(step().sent.empty());
    panel.ui.drain();
    EXPECT_FALSE(panel.midiLink().upgradeInProgress());
    EXPECT_EQ(panel.models().outcome->last(),
              (Outcome{false, "Upgrade stopped: the looper stopped answering on MIDI before it began; nothing was sent"}));
}

// Whole messages from bytes split anyway; a clock tick inside one is skipped,
// any other status byte (0xF4 marks a lost event) drops the message it
// interrupts. The fuzz target checks the rule on any stream.
TEST(MidiReassembler, RebuildsSplitMessagesAndDropsInterruptedOnes)
{
    std::vector<Bytes> messages;
    MidiReassembler reassembler([&](const Bytes& m) { messages.push_back(m); });
    for (const char* packet : {"F0 00 02", "33 02 F7 F0 01", "90 02 F7", "F0 03 F8 04 FE F7", "F0 07", "F4", "08 F7"})
        reassembler.feed(hex(packet));
    EXPECT_EQ(messages, (std::vector<Bytes>{hex("F0 00 02 33 02 F7"), hex("F7"), hex("F0 03 04 F7"), hex("F7")}));

    // A message longer than any of the looper's is dropped; the next one is whole.
    messages.clear();
    Bytes endless = hex("F0 00 02 33");
    endless.resize(MidiReassembler::kMaxAssembled + 1, 0x11);
    reassembler.feed(endless);
    reassembler.feed(hex("11 F7 F0 06 F7"));
    EXPECT_EQ(messages, (std::vector<Bytes>{hex("F7"), hex("F0 06 F7")}));
}

}  // namespace qx
