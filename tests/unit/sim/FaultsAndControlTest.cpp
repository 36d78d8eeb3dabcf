// What of the simulated looper the panel's own tests do not reach: the faults
// it injects on demand (the same again for the same seed), and the control
// commands through which tests steer a running simulator. Its replies, its
// firmware receiver and its tracks are exercised end to end by the panel's
// integration tests.
#include <gtest/gtest.h>

#include <numeric>
#include <ranges>

#include "protocol/Messages.h"
#include "sim/ControlSession.h"
#include "sim/LooperEngine.h"
#include "support/Hex.h"

namespace qx::sim::test {
namespace {

using namespace std::chrono_literals;
using qx::test::hex;
using Lines = std::vector<std::string>;

// A looper whose clock moves only when the test moves it.
EngineOptions handClocked(unsigned seed = 1) { return {.seed = seed, .clock = std::make_shared<ManualSimClock>()}; }

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::vector<Bytes> bytesOf(const std::vector<Reply>& replies)
{
    const auto bytes = replies | std::views::transform(&Reply::bytes);
    return {bytes.begin(), bytes.end()};
}

// What a looper with this seed and these faults sends back to each of n status requests.
std::vector<std::vector<Bytes>> repliesUnder(const Faults& faults, unsigned seed, int n = 100)
{
    LooperEngine looper(handClocked(seed));
    looper.setFaults(faults);
    std::vector<std::vector<Bytes>> all;
    for (int i = 0; i < n; ++i) all.push_back(bytesOf(looper.receiveMidi(msg::statusRequest())));
    return all;
}

}  // namespace

TEST(Faults, LostGarbledAndDoubledRepliesFollowTheSeed)
{
    Faults drop, garble, dup;
    drop.dropReplies = garble.garble = dup.dupReplies = 0.5;
    for (const Faults& f : {drop, garble, dup}) {
        EXPECT_EQ(repliesUnder(f, 7), repliesUnder(f, 7));
        EXPECT_NE(repliesUnder(f, 7), repliesUnder(f, 8));
    }
    const Bytes clean = repliesUnder({}, 1, 1)[0].at(0);
    int lost = 0, garbled = 0, doubled = 0;
    for (const auto& replies : repliesUnder(drop, 7)) lost += replies.empty();
    for (const auto& replies : repliesUnder(dup, 7)) {
        doubled += replies.size() == 2;
        EXPECT_TRUE((replies == std::vector<Bytes>{clean} || replies == std::vector<Bytes>{clean, clean}));
    }
    // A garbled reply differs in one data byte and keeps its framing.
    for (const auto& replies : repliesUnder(garble, 7)) {
        const Bytes bad = replies.at(0);
        ASSERT_EQ(bad.size(), clean.size());
        const int differing =
            std::inner_product(clean.begin(), clean.end(), bad.begin(), 0, std::plus<>(), std::not_equal_to<>());
        garbled += differing == 1;
        EXPECT_TRUE(differing <= 1 && bad.front() == 0xF0 && bad.back() == 0xF7) << qx::test::toHex(bad);
        EXPECT_TRUE(std::all_of(bad.begin() + 1, bad.end() - 1, [](std::uint8_t x) { return x < 0x80; }));
    }
    for (int count : {lost, garbled, doubled}) EXPECT_TRUE(count > 30 && count < 70) << count << " of 100";
}

TEST(Faults, ASilentLooperAnswersNothingButStillListensAndEveryReplyCarriesTheDelay)
{
    LooperEngine looper(handClocked());
    int events = 0;
    looper.addEventListener([&](const Bytes&) { ++events; });
    looper.setFaults({.silent = true, .restartUpgradeAfter = {}});
    for (const auto& replies :
         {looper.receiveMidi(msg::statusRequest()), looper.receiveDatagram(text("<query>id</query>")),
          looper.receiveDatagram(text("<command>upgrade 10</command>")),
          looper.receiveMidi(msg::settingWrite(msg::kMidiChannelWrite, 9))})
        EXPECT_TRUE(replies.empty());
    EXPECT_TRUE(looper.pressButton(1, 64));
    EXPECT_EQ(events, 0);
    EXPECT_EQ(looper.settings().midiChannel, 9);
    looper.setFaults({.delay = 250ms, .restartUpgradeAfter = {}});
    for (const auto& replies :
         {looper.receiveMidi(msg::statusRequest()), looper.receiveDatagram(text("<command>upgrade 5</command>"))}) {
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].delay, 250ms);
    }
}

// Upgrade slices are 00 03, the slice number in two bytes, then 512 bytes of the
// file (fewer in the last); the looper acknowledges each with 00 04 and the number.
TEST(Upgrade, AcknowledgementsLostDoubledOrTurnedIntoARestartOnce)
{
    LooperEngine looper(handClocked());
    auto slice = [](int n) {  // of a file of 1026 bytes of 0x5A
        Bytes d{0x00, 0x03, 0x00, static_cast<std::uint8_t>(n)};
        d.resize(4 + std::min(512, 1026 - (n - 1) * 512), 0x5A);
        return d;
    };
    auto expect = [&](const std::vector<std::pair<Bytes, std::vector<Bytes>>>& script) {
        for (const auto& [datagram, replies] : script)
            EXPECT_EQ(bytesOf(looper.receiveDatagram(datagram)), replies) << qx::test::toHex(datagram);
    };
    looper.setFaults({.dropAcks = 1.0, .restartUpgradeAfter = {}});
    expect({{text("<command>upgrade 1026</command>"), {hex("00 01")}},  // a start request, not an acknowledgement
            {slice(1), {}}});
    looper.setFaults({.dupAcks = 1.0, .restartUpgradeAfter = {}});
    expect({{slice(1), {hex("00 04 00 01"), hex("00 04 00 01")}},
            {text("<query>id</query>"), {text("<id>QX Looper Sim</id>")}}});
    looper.setFaults({.restartUpgradeAfter = 2});
    expect({{slice(2), {hex("00 01")}},  // stored, then asked for from the start
            {slice(2), {}},
            {slice(1), {hex("00 04 00 01")}},
            {slice(2), {hex("00 04 00 02")}},
            {slice(3), {hex("00 04 00 03")}}});
    EXPECT_TRUE(looper.upgradeImage().complete);
    EXPECT_EQ(looper.upgradeImage().bytes, Bytes(1026, 0x5A));
}

// Only the commands the panel's tests type; the simulator's other commands
// steer nothing those tests look at.
TEST(ControlSession, FaultCommandsShowInTheStateBadOnesChangeNothingAndTheJournalListsArrivals)
{
    const auto clock = std::make_shared<ManualSimClock>();
    LooperEngine looper({.clock = clock});
    ControlSession session(looper);
    const std::pair<const char*, Lines> rows[] = {
        {"silent", {"ok"}}, {"drop-replies 0.25", {"ok"}}, {"garble 0.5", {"ok"}}, {"drop-acks 0.1", {"ok"}},
        {"dup-acks 1", {"ok"}}, {"restart-upgrade-after 3", {"ok"}}, {"", {}},
        {"garble 1.5", {"error usage: garble FRACTION"}}, {"bogus 1", {"error unknown command: bogus"}},
    };
    for (const auto& [command, reply] : rows) EXPECT_EQ(session.run(command), reply) << command;
    const auto faults = [&] { return session.run("state").at(10); };
    EXPECT_EQ(faults(), "faults silent=yes drop-replies=0.25 garble=0.5 dup-replies=0 delay=0 drop-acks=0.1 "
                        "dup-acks=1 restart-upgrade-after=3");
    EXPECT_EQ(session.run("answer"), Lines{"ok"});
    EXPECT_EQ(session.run("restart-upgrade-after off"), Lines{"ok"});
    EXPECT_TRUE(faults().starts_with("faults silent=no ") && faults().ends_with(" restart-upgrade-after=off"));

    clock->advance(250ms);
    looper.receiveDatagram(text("<query>log</query>"));
    looper.receiveMidi(msg::statusRequest());
    EXPECT_EQ(session.run("journal"),
              (Lines{"0.250000 rx udp <query>log</query>", "0.250000 rx midi F0 00 02 33 02 F7", "ok 2"}));
}

}  // namespace qx::sim::test
