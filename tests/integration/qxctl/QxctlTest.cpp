// qxctl end to end against qx-looper-sim, built once per link: over JACK MIDI
// ports (a JACK server of the test's own on the dummy driver) and, with
// QX_OVER_UDP, over the network, the looper in its own namespace. Both run in
// the panel's namespace, so a network search never leaves the test subnet.
// Every command is run as a user would, and its exit status, its last line
// (on standard output when it succeeded, on standard error when not) and what
// the looper then holds are checked.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>

#include "QxctlRun.h"
#include "protocol/Messages.h"
#include "sim/ButtonMappings.h"
#include "support/Hex.h"
#include "support/Namespaces.h"
#include "support/SimulatedLooper.h"
#include "support/WaitUntil.h"
#ifndef QX_OVER_UDP
#include "support/JackServer.h"
#endif

namespace qx::test {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

#ifdef QX_OVER_UDP
const std::string kRx = "rx udp ";
const std::vector<std::string> kLooper = {"ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0",
                                          "--journal", "--name", "QXctl"};
#else
const std::string kRx = "rx midi ";
const std::vector<std::string> kLooper = {QX_SIM_PATH, "--jack", "--journal"};
#endif

class Qxctl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(insideNamespace(QX_PANEL_NETNS)) << "run this binary with: ip netns exec " << QX_PANEL_NETNS;
#ifndef QX_OVER_UDP
        ASSERT_TRUE(jack.ready()) << "jackd did not start";
#endif
        ASSERT_TRUE(looper.ready()) << "the simulated looper did not come up";
        char pattern[] = "/tmp/qxctl-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    static Ran qxctl(const std::vector<std::string>& args) { return runQxctl(args); }
    // Runs qxctl and checks its exit status and its last line (its start, when
    // the line wanted ends in a space): a result on standard output, a failure
    // or refusal on standard error, and neither on the other.
    static Ran expectRun(const std::vector<std::string>& args, int status, const std::string& last)
    {
        Ran run = qxctl(args);
        const Lines& said = status == 0 ? run.out : run.err;
        const Lines& other = status == 0 ? run.err : run.out;
        const std::string line = Ran::lastOf(said);
        EXPECT_EQ(run.status, status) << args[0] << ": " << line << Ran::lastOf(other);
        if (last.ends_with(' ')) EXPECT_TRUE(line.starts_with(last)) << line;
        else EXPECT_EQ(line, last);
        EXPECT_EQ(std::ranges::count_if(other, [&](const std::string& l) { return l.starts_with(last); }), 0)
            << "not on the other stream";
        return run;
    }
    std::string looperSays(const std::string& command)
    {
        const auto answer = looper.command(command);
        return answer.size() >= 2 ? answer[answer.size() - 2] : "";
    }
    Json looperConfiguration() { return Json::parse(looperSays("dump-config"), nullptr, false); }
    std::string write(const std::string& name, const std::string& contents)
    {
        std::ofstream(folder / name, std::ios::binary) << contents;
        return (folder / name).string();
    }

#ifndef QX_OVER_UDP
    JackServer jack;  // first: the looper and qxctl find it
#endif
    SimulatedLooper looper{kLooper};
    std::filesystem::path folder;
};

// Function numbers as the looper's control answers show them: "7 -1 16".
template <typename Numbers>
std::string words(const Numbers& numbers)
{
    std::string text;
    for (auto n : numbers) text += (text.empty() ? "" : " ") + std::to_string(n);
    return text;
}

TEST_F(Qxctl, SettingsButtonAndEffectsAreReadAndWritten)
{
    // The looper starts with brightness Medium and noise gate 10.
    const Ran run = expectRun({"settings"}, 0, "settings: read from the looper");
    EXPECT_TRUE(run.has("brightness  QX2 Display Brightness  Medium"));
    EXPECT_TRUE(run.has("noise-gate  Noise Gate Level        10"));
    expectRun({"settings", "set", "noise-gate", "12"}, 0, "settings: noise-gate set to 12");
    EXPECT_NE(looper.command("state").at(0).find(" noiseGateLevel=12 "), std::string::npos) << "the looper has it";

    expectRun({"button", "CC", "5"}, 0, "button: CC 5 read from the looper");
    expectRun({"button", "Note", "36", "set", "2", "Stop"}, 0, "button: Note 36 slot 2 set to Stop (16)");
    sim::FunctionSlots note36 = sim::initialMapping(292);
    note36[2] = 16;
    EXPECT_EQ(looperSays("mapping 292"), words(note36));

    expectRun({"effects"}, 0, "effects: read from the looper");
    sim::EffectBanks banks = sim::EffectBanks::initial();
    banks.bank2[7] = banks.bank2[7] == 2102 ? 2101 : 2102;
    expectRun({"effects", "set", "2", "7", std::to_string(banks.bank2[7])}, 0,
              std::string("effects: bank 2 slot 7 set to ") +
                  (banks.bank2[7] == 2101 ? "QX2 Select Other (2101)" : "QX2 1/4 Speed (2102)"));
    const auto state = looper.command("state");
    EXPECT_NE(std::ranges::find(state, "effects2 " + words(banks.bank2)), state.end());
}

// The saved file is the looper's configuration; a restore leaves the looper
// holding the file's mappings after writing only the changed ones, and a save
// right after shows them.
TEST_F(Qxctl, SaveThenRestoreWritesOnlyTheChangedButtons)
{
    const std::string original = (folder / "original.cfg").string();
    expectRun({"save", original}, 0, "Saved 384 button mappings to " + original);
    Json wanted = Json::parse(std::ifstream(original), nullptr, false);
    EXPECT_EQ(wanted, looperConfiguration());

    const std::pair<std::int64_t, msg::Bank> changes[] = {
        {0, {16, 16, -1, -1, -1, -1, -1, -1}},
        {200, {-1, -1, -1, -1, -1, -1, -1, -1}},
        {383, {2103, 0, 0, 0, 0, 0, 0, 48}}};
    std::vector<std::string> writes;  // in code order, which is also the order of the journal lines sorted
    for (const auto& [code, slots] : changes) {
        wanted["MIDIButtons"][std::to_string(code)] = slots;
        writes.push_back(kRx + toHex(msg::buttonMappingWrite(code, slots)));
    }
    const std::string changed = write("changed.cfg", wanted.dump());
    const std::size_t before = looper.journal().size();
    expectRun({"restore", changed}, 0, "Restored from " + changed + ": 3 button mappings sent");
    // qxctl leaves only once its writes have gone. The looper prints what it
    // receives before it answers a command, so after this answer the journal
    // holds them.
    ASSERT_FALSE(looper.command("state").empty());
    std::vector<std::string> sent;
    const auto journal = looper.journal();
    for (std::size_t i = before; i < journal.size(); ++i)
        if (journal[i].starts_with(kRx + "F0 00 02 33 10")) sent.push_back(journal[i]);
    std::ranges::sort(sent);
    EXPECT_EQ(sent, writes);
    EXPECT_EQ(looperConfiguration()["MIDIButtons"], wanted["MIDIButtons"]);

    const std::string after = (folder / "after.cfg").string();
    ASSERT_EQ(qxctl({"save", after}).status, 0);
    EXPECT_EQ(Json::parse(std::ifstream(after), nullptr, false)["MIDIButtons"], wanted["MIDIButtons"]);

    expectRun({"restore", write("list.cfg", "[1,2,3]")}, 1, "Restore refused: ");
}

#ifdef QX_OVER_UDP
// Lost, doubled and restarted acknowledgements: the file still arrives whole,
// and polling waits from the announcement to the last slice.
TEST_F(Qxctl, UpgradeDeliversTheFileWholeThroughLostAndDoubledAcknowledgements)
{
    ASSERT_TRUE(looper.ok("drop-acks 0.1") && looper.ok("dup-acks 0.3") && looper.ok("restart-upgrade-after 5"));
    Bytes file(15'000);
    std::generate(file.begin(), file.end(), std::mt19937(2));
    const std::string path = write("firmware.bin", std::string(file.begin(), file.end()));
    expectRun({"upgrade", path}, 0, "Upgrade finished: 15000 bytes sent over the network");
    EXPECT_EQ(looperSays("upgrade-image-hex"), toHex(file));

    const std::string announcement = kRx + "<command>upgrade 15000</command>", lastSlice = kRx + "00 03 00 1E ";
    EXPECT_EQ(looper.received(announcement), 1u);
    EXPECT_GE(looper.received(kRx + "00 03 00 01 "), 2u) << "slice 1 again on the restart";
    const auto journal = looper.journal();
    const auto announced = std::find(journal.begin(), journal.end(), announcement);
    const auto last = std::find_if(announced, journal.end(), [&](const auto& l) { return l.starts_with(lastSlice); });
    ASSERT_NE(last, journal.end());
    EXPECT_EQ(std::count(announced, last, kRx + "<query>status compact</query>"), 0);
}
#else
// One message per polling cycle and nothing in between; the looper holds the
// file byte for byte.
TEST_F(Qxctl, UpgradeSendsTheFileMessageByMessage)
{
    Bytes file;  // forty messages of assorted lengths, of a type the looper does not otherwise use
    for (int i = 0; i < 40; ++i) {
        Bytes m(static_cast<std::size_t>(8 + (i * 37) % 249), static_cast<std::uint8_t>(i));
        m.front() = 0xF0, m[1] = 0x7D, m.back() = 0xF7;
        file.insert(file.end(), m.begin(), m.end());
    }
    const std::string path = write("firmware.syx", std::string(file.begin(), file.end()));
    expectRun({"upgrade", path}, 0,
              "Upgrade sent over MIDI (" + std::to_string(file.size()) + " bytes); the looper answered again after ");
    EXPECT_EQ(looperSays("upgrade-image-hex"), toHex(file));
    const auto journal = looper.journal();
    const auto isUpgrade = [](const std::string& l) { return l.starts_with(kRx + "F0 7D"); };
    const auto first = std::find_if(journal.begin(), journal.end(), isUpgrade);
    EXPECT_EQ(std::count_if(first, first + std::min<std::ptrdiff_t>(40, journal.end() - first), isUpgrade), 40);

    expectRun({"upgrade", write("bad.syx", "\xF0\x01\xF8\xF7")}, 1,
              "Upgrade refused: " + (folder / "bad.syx").string() + " is not a SysEx upgrade file (offset 2: found " +
                  "0xF8 inside the message that starts at offset 0)");
}
#endif

// Ctrl-C stops a save at once and says so; during an upgrade the first one
// only warns, since a half-sent firmware can leave the pedal unusable.
TEST_F(Qxctl, CtrlCStopsASaveButAnUpgradeOnlyAtTheSecond)
{
    const std::string path = (folder / "stopped.cfg").string();
    QxctlRun save({"save", path});
    ASSERT_TRUE(waitUntil([&] { return looper.received(kRx + "F0 00 02 33 0E") > 0; }, 60s));
    save.interrupt();
    EXPECT_EQ(save.exitStatus(30s), 1);
    EXPECT_EQ(Ran::lastOf(save.err()), "Save cancelled: nothing written");
    EXPECT_EQ(save.out(), Lines{});
    EXPECT_FALSE(std::filesystem::exists(path));
#ifndef QX_OVER_UDP
    const Bytes image = sysExRun(std::vector<std::size_t>(60, 200));  // sixty messages, about four seconds
    QxctlRun upgrade({"upgrade", write("firmware.syx", std::string(image.begin(), image.end()))});
    ASSERT_TRUE(waitUntil([&] { return looper.received(kRx + "F0 22") > 0; }, 60s));
    upgrade.interrupt();
    ASSERT_TRUE(upgrade.waitForError("An upgrade is running; press Ctrl-C again to abandon it", 10s));
    upgrade.interrupt();
    EXPECT_EQ(upgrade.exitStatus(30s), 1);
    const auto said = upgrade.err();
    EXPECT_NE(std::ranges::find(said, "Upgrade abandoned: the looper may not have the whole firmware"), said.end());
    EXPECT_EQ(upgrade.out(), Lines{});
#endif
}

}  // namespace
}  // namespace qx::test
