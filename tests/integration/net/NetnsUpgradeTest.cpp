// The network firmware upgrade end to end: the simulator reassembles what the
// link serves, also when acknowledgements are dropped or doubled.
#include <algorithm>
#include <random>

#include "NetnsFixture.h"

namespace qx::test {
namespace {

Bytes randomFile(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(random());
    return out;
}

Bytes fromHex(const std::string& text)
{
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3)
        out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return out;
}

class NetnsUpgrade : public NetnsFixture {
protected:
    void SetUp() override
    {
        NetnsFixture::SetUp();
        if (HasFatalFailure()) return;
        startLink();
        ASSERT_TRUE(journalReaches(kStatusQuery, 1));
    }

    bool ended(std::chrono::seconds limit = std::chrono::seconds(60))
    {
        return waitUntil([&] { return !host.outcomes().empty(); }, limit);
    }
    Bytes looperImage()
    {
        const auto answer = sim->command("upgrade-image-hex");
        return answer.size() == 2 ? fromHex(answer[0]) : Bytes{};
    }
};

TEST_F(NetnsUpgrade, TheLooperReceivesTheFileByteForByte)
{
    const Bytes file = randomFile(200'000, 1);
    ASSERT_EQ(link->startUpgrade(file), std::nullopt);
    ASSERT_TRUE(ended());

    const auto outcomes = host.outcomes();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].success);
    EXPECT_EQ(outcomes[0].text, "Upgrade finished: 200000 bytes sent over the network");
    EXPECT_EQ(looperImage(), file);
    const auto image = sim->command("upgrade-image");
    ASSERT_FALSE(image.empty());
    EXPECT_TRUE(image[0].starts_with("size=200000 complete=yes via=udp")) << image[0];

    const auto progress = host.progress();
    ASSERT_EQ(progress.size(), 391u);
    EXPECT_EQ(progress.back(), 1.0);

    // While slices were being served no status query went out. (The journal
    // trails the looper a little: wait for the last slice, 391 = 0x0187.)
    ASSERT_TRUE(waitUntil([&] {
        const auto lines = sim->journal();
        return std::any_of(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with("rx udp 00 03 01 87 "); });
    }));
    const auto journal = sim->journal();
    const auto announced = std::find(journal.begin(), journal.end(), "rx udp <command>upgrade 200000</command>");
    ASSERT_NE(announced, journal.end());
    auto lastSlice = announced;
    for (auto it = announced; it != journal.end(); ++it)
        if (it->starts_with("rx udp 00 03 ")) lastSlice = it;
    EXPECT_EQ(std::count(announced, lastSlice, kStatusQuery), 0);
    EXPECT_EQ(std::count_if(announced, lastSlice, [](const auto& l) { return l.starts_with("rx udp 00 03 "); }), 390);
    // Polling resumes afterwards.
    EXPECT_TRUE(journalReaches(kStatusQuery, sim->journalCount(kStatusQuery) + 1));
}

TEST_F(NetnsUpgrade, DroppedAndDoubledAcknowledgementsStillDeliverTheFile)
{
    ASSERT_EQ(sim->command("drop-acks 0.1").back(), "ok");
    ASSERT_EQ(sim->command("dup-acks 0.3").back(), "ok");
    const Bytes file = randomFile(15'000, 2);
    ASSERT_EQ(link->startUpgrade(file), std::nullopt);
    ASSERT_TRUE(ended(std::chrono::seconds(90)));
    ASSERT_EQ(host.outcomes().size(), 1u);
    EXPECT_TRUE(host.outcomes()[0].success) << host.outcomes()[0].text;
    EXPECT_EQ(looperImage(), file);
    EXPECT_EQ(host.progress().size(), 30u);  // one per slice, however often acknowledged
}

TEST_F(NetnsUpgrade, ARestartRequestSendsTheFileAgainFromTheStart)
{
    ASSERT_EQ(sim->command("restart-upgrade-after 5").back(), "ok");
    const Bytes file = randomFile(10'000, 3);
    ASSERT_EQ(link->startUpgrade(file), std::nullopt);
    ASSERT_TRUE(ended());
    EXPECT_TRUE(host.outcomes()[0].success);
    EXPECT_EQ(looperImage(), file);
    EXPECT_EQ(sim->journalCount("rx udp <command>upgrade 10000</command>"), 1u);
    ASSERT_TRUE(waitUntil([&] {  // the last slice, 20, has reached the journal
        const auto lines = sim->journal();
        return std::any_of(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with("rx udp 00 03 00 14 "); });
    }));
    const auto journal = sim->journal();
    const auto firstSlices = std::count_if(journal.begin(), journal.end(),
                                           [](const auto& l) { return l.starts_with("rx udp 00 03 00 01 "); });
    EXPECT_EQ(firstSlices, 2);
}

TEST_F(NetnsUpgrade, ALooperThatFallsSilentStopsTheUpgrade)
{
    ASSERT_EQ(link->startUpgrade(randomFile(1'000'000, 4)), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return host.progress().size() >= 20; }));
    ASSERT_EQ(sim->command("silent").back(), "ok");
    ASSERT_TRUE(ended());

    const auto outcome = host.outcomes().at(0);
    EXPECT_FALSE(outcome.success);
    const std::size_t inFlight = host.progress().size() + 1;
    EXPECT_EQ(outcome.text, "Upgrade stopped: the looper fell silent at slice " + std::to_string(inFlight) + " of 1954");
    EXPECT_FALSE(link->pollingPausedNow());
    // Five time-outs, and the slice in flight was sent again after each.
    const std::string header = "rx udp 00 03 " + [&] {
        char text[8];
        std::snprintf(text, sizeof text, "%02X %02X", static_cast<unsigned>(inFlight >> 8),
                      static_cast<unsigned>(inFlight & 0xFF));
        return std::string(text);
    }();
    auto copies = [&] {
        const auto journal = sim->journal();
        return std::count_if(journal.begin(), journal.end(), [&](const auto& l) { return l.starts_with(header + " "); });
    };
    // The journal trails the looper a little: the last resend may still be on its way.
    EXPECT_TRUE(waitUntil([&] { return copies() >= 6; }, std::chrono::seconds(5)));
    EXPECT_EQ(copies(), 6);
}

TEST_F(NetnsUpgrade, SecondStartIsRefusedWhileOneRuns)
{
    ASSERT_EQ(link->startUpgrade(randomFile(300'000, 5)), std::nullopt);
    EXPECT_EQ(link->startUpgrade(randomFile(100, 6)), "Upgrade refused: an upgrade is already running");
    ASSERT_TRUE(ended());
    EXPECT_EQ(host.outcomes().size(), 1u);
    EXPECT_EQ(looperImage().size(), 300'000u);
}

}  // namespace
}  // namespace qx::test
