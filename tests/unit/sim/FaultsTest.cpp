// Replies lost, garbled, doubled, late or not sent at all, the same again for
// the same seed.
#include <numeric>

#include "midi/Messages.h"
#include "SimTestSupport.h"

namespace qx::sim::test {

// What a looper with this seed and these faults sends back to each of n status requests.
static std::vector<std::vector<Bytes>> repliesUnder(const Faults& faults, std::uint64_t seed, int n = 100)
{
    ClockedLooper looper(with(&EngineOptions::seed, seed));
    looper.setFaults(faults);
    std::vector<std::vector<Bytes>> all;
    for (int i = 0; i < n; ++i) all.push_back(bytesOf(looper.receiveMidi(msg::statusRequest())));
    return all;
}

TEST(Faults, LostGarbledAndDoubledRepliesFollowTheSeed)
{
    const Faults drop = with(&Faults::dropReplies, 0.5), garble = with(&Faults::garble, 0.5);
    const Faults dup = with(&Faults::dupReplies, 0.5);
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
    ClockedLooper looper;
    int events = 0;
    looper.addEventListener([&](const Bytes&) { ++events; });
    looper.setFaults(with(&Faults::silent, true));
    expectExchanges(looper, {{Midi, msg::statusRequest(), {}}, {Udp, text("<query>id</query>"), {}},
                             {Udp, text("<command>upgrade 10</command>"), {}},
                             {Midi, msg::settingWrite(msg::kMidiChannelWrite, 9), {}}});
    EXPECT_TRUE(looper.pressButton(1, 64));
    EXPECT_EQ(events, 0);
    EXPECT_EQ(looper.settings().midiChannel, 9);
    looper.setFaults(with(&Faults::delay, 250ms));
    for (const auto& replies :
         {looper.receiveMidi(msg::statusRequest()), looper.receiveDatagram(text("<command>upgrade 5</command>"))}) {
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].delay, 250ms);
    }
}

}  // namespace qx::sim::test
