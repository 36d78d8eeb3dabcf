// Misbehaviour on demand, reproducible with a seed.
#include <gtest/gtest.h>

#include "midi/Messages.h"
#include "SimTestSupport.h"

namespace qx::sim {
namespace {

using test::bytesOf;
using test::ClockedLooper;
using test::hex;
using test::text;

EngineOptions seeded(std::uint64_t seed)
{
    EngineOptions options;
    options.seed = seed;
    return options;
}

// Which of n status requests got an answer, as a string of 1s and 0s.
std::string answered(LooperEngine& engine, int n)
{
    std::string pattern;
    for (int i = 0; i < n; ++i) pattern += engine.receiveMidi(msg::statusRequest()).empty() ? '0' : '1';
    return pattern;
}

void setFault(LooperEngine& engine, void (*change)(Faults&))
{
    Faults f = engine.faults();
    change(f);
    engine.setFaults(f);
}

TEST(Faults, SilentLooperAnswersNothingButStillListens)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    int events = 0;
    e.addEventListener([&](const Bytes&) { ++events; });
    setFault(e, [](Faults& f) { f.silent = true; });
    EXPECT_TRUE(e.receiveMidi(msg::statusRequest()).empty());
    EXPECT_TRUE(e.receiveDatagram(text("<query>id</query>")).empty());
    EXPECT_TRUE(e.receiveDatagram(text("<command>upgrade 10</command>")).empty());
    EXPECT_TRUE(e.receiveMidi(msg::settingWrite(msg::kMidiChannelWrite, 9)).empty());
    EXPECT_TRUE(e.pressButton(1, 64));
    EXPECT_EQ(events, 0);
    EXPECT_EQ(e.settings().midiChannel, 9);
    EXPECT_EQ(e.journal().size(), 4u);
    setFault(e, [](Faults& f) { f.silent = false; });
    EXPECT_EQ(e.receiveMidi(msg::statusRequest()).size(), 1u);
}

TEST(Faults, DroppedRepliesFollowTheSeed)
{
    ClockedLooper a(seeded(7)), b(seeded(7)), c(seeded(8));
    for (ClockedLooper* l : {&a, &b, &c}) setFault(*l->engine, [](Faults& f) { f.dropReplies = 0.5; });
    const std::string pa = answered(*a.engine, 200), pb = answered(*b.engine, 200), pc = answered(*c.engine, 200);
    EXPECT_EQ(pa, pb);
    EXPECT_NE(pa, pc);
    const auto kept = std::count(pa.begin(), pa.end(), '1');
    EXPECT_GT(kept, 60);
    EXPECT_LT(kept, 140);
    setFault(*a.engine, [](Faults& f) { f.dropReplies = 1.0; });
    EXPECT_EQ(answered(*a.engine, 20), std::string(20, '0'));
    setFault(*a.engine, [](Faults& f) { f.dropReplies = 0.0; });
    EXPECT_EQ(answered(*a.engine, 20), std::string(20, '1'));
}

TEST(Faults, GarbledRepliesDifferInOneDataByteAndKeepTheirFraming)
{
    ClockedLooper clean, garbled(seeded(3));
    setFault(*garbled.engine, [](Faults& f) { f.garble = 1.0; });
    for (const Bytes& request : {msg::statusRequest(), msg::effectsRequest(), msg::settingsSliceRequest(0)}) {
        const Bytes good = test::onlyReply(clean.engine->receiveMidi(request));
        const Bytes bad = test::onlyReply(garbled.engine->receiveMidi(request));
        ASSERT_EQ(bad.size(), good.size());
        int differing = 0;
        for (std::size_t i = 0; i < good.size(); ++i) differing += good[i] != bad[i];
        EXPECT_EQ(differing, 1) << test::toHex(bad);
        EXPECT_EQ(bad.front(), 0xF0);
        EXPECT_EQ(bad.back(), 0xF7);
        EXPECT_TRUE(std::all_of(bad.begin() + 1, bad.end() - 1, [](std::uint8_t x) { return x < 0x80; }));
    }
}

TEST(Faults, DoubledRepliesFollowTheSeedAndKeepTheirContent)
{
    ClockedLooper a(seeded(9)), b(seeded(9));
    for (ClockedLooper* l : {&a, &b}) setFault(*l->engine, [](Faults& f) { f.dupReplies = 0.5; });
    std::string pa, pb;
    for (int i = 0; i < 100; ++i) {
        const auto ra = bytesOf(a.engine->receiveMidi(msg::informationRequest()));
        const auto rb = bytesOf(b.engine->receiveMidi(msg::informationRequest()));
        ASSERT_FALSE(ra.empty());
        for (const Bytes& r : ra) EXPECT_EQ(r, ra[0]);
        pa += std::to_string(ra.size());
        pb += std::to_string(rb.size());
    }
    EXPECT_EQ(pa, pb);
    EXPECT_NE(pa.find('1'), std::string::npos);
    EXPECT_NE(pa.find('2'), std::string::npos);
    EXPECT_EQ(pa.find_first_not_of("12"), std::string::npos);
}

TEST(Faults, DelayIsCarriedByEveryReply)
{
    ClockedLooper looper;
    setFault(*looper.engine, [](Faults& f) { f.delay = std::chrono::milliseconds(250); });
    const auto midi = looper.engine->receiveMidi(msg::statusRequest());
    const auto udp = looper.engine->receiveDatagram(text("<command>upgrade 5</command>"));
    ASSERT_EQ(midi.size(), 1u);
    ASSERT_EQ(udp.size(), 1u);
    EXPECT_EQ(midi[0].delay, std::chrono::milliseconds(250));
    EXPECT_EQ(udp[0].delay, std::chrono::milliseconds(250));
}

TEST(Faults, AcknowledgementsLostOrDoubledWhileSlicesAreStored)
{
    ClockedLooper looper(seeded(5));
    LooperEngine& e = *looper.engine;
    setFault(e, [](Faults& f) { f.dropAcks = 1.0; });
    EXPECT_EQ(bytesOf(e.receiveDatagram(text("<command>upgrade 4</command>"))), std::vector<Bytes>{hex("00 01")})
        << "start requests are not acknowledgements";
    EXPECT_TRUE(e.receiveDatagram(hex("00 03 00 01 01 02")).empty());
    setFault(e, [](Faults& f) {
        f.dropAcks = 0.0;
        f.dupAcks = 1.0;
    });
    EXPECT_EQ(bytesOf(e.receiveDatagram(hex("00 03 00 01 01 02"))), (std::vector<Bytes>{hex("00 04 00 01"), hex("00 04 00 01")}));
    EXPECT_EQ(e.upgradeImage().bytes, hex("01 02"));
    EXPECT_EQ(e.receiveMidi(msg::statusRequest()).size(), 1u) << "ordinary replies are not doubled";
}

TEST(Faults, RestartAfterASliceAsksForTheFileFromTheStartOnce)
{
    ClockedLooper looper;
    LooperEngine& e = *looper.engine;
    setFault(e, [](Faults& f) { f.restartUpgradeAfter = 2; });
    e.receiveDatagram(text("<command>upgrade 1536</command>"));
    const Bytes a(512, 0xA1), b(512, 0xB2), c(512, 0xC3);
    auto slice = [](int n, const Bytes& data) {
        Bytes d(4 + data.size());
        d[1] = 0x03;
        d[3] = static_cast<std::uint8_t>(n);
        std::copy(data.begin(), data.end(), d.begin() + 4);
        return d;
    };
    EXPECT_EQ(bytesOf(e.receiveDatagram(slice(1, a))), std::vector<Bytes>{hex("00 04 00 01")});
    EXPECT_EQ(bytesOf(e.receiveDatagram(slice(2, b))), std::vector<Bytes>{hex("00 01")});
    EXPECT_TRUE(e.upgradeImage().bytes.empty());
    EXPECT_FALSE(e.faults().restartUpgradeAfter.has_value());
    EXPECT_EQ(bytesOf(e.receiveDatagram(slice(1, a))), std::vector<Bytes>{hex("00 04 00 01")});
    EXPECT_EQ(bytesOf(e.receiveDatagram(slice(2, b))), std::vector<Bytes>{hex("00 04 00 02")});
    EXPECT_EQ(bytesOf(e.receiveDatagram(slice(3, c))), std::vector<Bytes>{hex("00 04 00 03")});
    Bytes file = a;
    file.insert(file.end(), b.begin(), b.end());
    file.insert(file.end(), c.begin(), c.end());
    EXPECT_EQ(e.upgradeImage().bytes, file);
    EXPECT_TRUE(e.upgradeImage().complete);
}

}  // namespace
}  // namespace qx::sim
