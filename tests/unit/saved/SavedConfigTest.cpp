// Saving and restoring the looper's configuration, on the test thread step by
// step (which replies a pass takes, the file written and applied) and as whole
// transfers on their own thread against a stand-in looper. What a pass asks
// for is checked by the config_replies fuzz target.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>

#include "config/MIDIButtonConfig.h"
#include "config/SaveableConfig.h"
#include "midi/Messages.h"
#include "midi/SysExCodec.h"
#include "support/ConsoleCapture.h"
#include "support/Hex.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using test::hex;
using Slots = msg::Bank;

// A report of the given type: its head, then eight slots a button or bank.
Bytes report(std::uint8_t type, Bytes payload, const std::vector<Slots>& slots)
{
    for (const Slots& eight : slots)
        for (auto v : eight) sysex::appendPair(payload, v);
    return sysex::message(type, payload);
}
// A mapping report: first code, the count it claims (by default the number of buttons given).
Bytes blockReport(std::int64_t first, const std::vector<Slots>& buttons, int count = -1)
{
    Bytes head;
    sysex::appendPair(head, first);
    head.push_back(static_cast<std::uint8_t>(count < 0 ? static_cast<int>(buttons.size()) : count));
    return report(msg::kButtonReport, head, buttons);
}
Bytes effectsReport(const Slots& bank1, const Slots& bank2) { return report(msg::kEffects, {0x08}, {bank1, bank2}); }

// What the stand-in looper holds: a distinct mapping for each code, with -1s
// and two-byte values.
Slots patternFor(std::int64_t code) { return {code, -1, 2103 - code, 0, 1, 2, 3, code % 7}; }
const Slots kBank1{48, -1, 0, 0, 0, 0, 0, 0}, kBank2{1, 2, 3, 4, 5, 6, 7, 2103};

std::vector<Bytes> drain(QXCommandQueue& queue)
{
    std::vector<Bytes> out;
    for (Bytes m; !(m = queue.dequeue()).empty();) out.push_back(m);
    return out;
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
void writeText(const std::filesystem::path& path, const std::string& text) { std::ofstream(path) << text; }

// One configuration with nothing read yet, wired as the panel wires it, a
// scratch folder, and time as the configuration sees it, moved only by the test.
class SavedConfig : public ::testing::Test {
protected:
    SavedConfig()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qx-saved-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder = pattern;
        config.attachTransferGate(&gate);
        config.setProgressHandler([this](double f) { progress.push_back(f); });
        config.setOutcomeHandler([this](const Outcome& o) { outcomes.push_back(o); });
        config.setMappingHandler([this](std::int64_t code, const FunctionValues& v) { buttonTab.applyMapping(code, v); });
    }
    ~SavedConfig() override
    {
        config.stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    Outcome restore(const std::string& text)
    {
        writeText(folder / "looper.cfg", text);
        return config.applyConfigurationFile(folder / "looper.cfg");
    }
    // Plays the looper: answers the requests waiting, unless it is silent.
    void playLooper(bool silent)
    {
        for (const Bytes& r : drain(commands)) {
            if (silent) continue;
            if (r[4] == msg::kEffects) config.responseQueue.enqueue(effectsReport(kBank1, kBank2));
            if (r[4] != msg::kButtonRequest) continue;
            std::vector<Slots> block;  // every block asked for holds eight buttons
            const auto first = sysex::decodePair(r[5], r[6]);
            for (auto code = first; code < first + 8; ++code) block.push_back(patternFor(code));
            config.responseQueue.enqueue(blockReport(first, block));
        }
    }
    // Plays the looper and runs the UI queue until an outcome arrives (at most about 30 s).
    bool awaitOutcome(bool silent = false)
    {
        for (int i = 0; i < 3000 && outcomes.empty(); ++i) playLooper(silent), ui.waitAndDrain(10ms);
        return !outcomes.empty();
    }

    std::filesystem::path folder;
    std::atomic<std::int64_t> clockMs{0};
    QXCommandQueue commands, tabCommands;
    ManualMainQueue ui;
    TransferGate gate;
    MIDIButtonConfig buttonTab{tabCommands};
    test::ConsoleCapture console;
    std::vector<double> progress;
    std::vector<Outcome> outcomes;
    QXSaveableConfig config{
        commands, ui, {.wait = 1ms, .now = [this] { return std::chrono::steady_clock::time_point(clockMs.load() * 1ms); }}};
};

using BlockScan = SavedConfig;
using SavedFile = SavedConfig;
using Restore = SavedConfig;
using Transfer = SavedConfig;

// Each bad reply is dropped whole; the one good block among them is taken.
TEST_F(BlockScan, RepliesThatReachPastTheirEndOrTheLastButtonAreIgnored)
{
    const Slots good{1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<Slots> eight(8, Slots{9, 9, 9, 9, 9, 9, 9, 9});
    Bytes cut = blockReport(8, eight);
    cut.erase(cut.end() - 3, cut.end() - 1);  // slots of the last button run into the end
    Bytes otherType = blockReport(16, eight);
    otherType[4] = 0x17;  // same length, another message
    Bytes shortEffects = effectsReport({}, {});
    shortEffects.erase(shortEffects.end() - 2);
    for (const Bytes& reply : {
             blockReport(376, std::vector<Slots>(8, good)),  // fits exactly up to 383
             blockReport(0, eight, 9),                       // claims nine buttons, holds eight
             cut,
             blockReport(380, eight),     // would run to 387
             blockReport(0x3FFF, eight),  // 7F 7F reads as -1
             otherType,
             shortEffects,
         })
        config.responseQueue.enqueue(reply);
    EXPECT_TRUE(config.runPass());
    for (std::size_t code = 0; code < kButtonCodes; ++code) {
        EXPECT_EQ(config.btnConfig[code].valid, code >= 376) << code;
        EXPECT_EQ(config.btnConfig[code].effects, code >= 376 ? good : Slots{}) << code;
    }
    EXPECT_FALSE(config.qx2EffectsConfig.valid);
}

TEST_F(BlockScan, OnlyNewRepliesKeepATransferAlive)
{
    const Bytes block = blockReport(0, std::vector<Slots>(8, Slots{}));
    config.runPass();
    clockMs += 9900;
    EXPECT_FALSE(config.looperSilent());
    for (const auto& [reply, waited, silent] : {std::tuple{block, 9900, false}, std::tuple{block, 200, true},
                                                std::tuple{effectsReport({}, {}), 0, false}}) {
        config.responseQueue.enqueue(reply);
        config.runPass();
        clockMs += waited;
        EXPECT_EQ(config.looperSilent(), silent) << "a repeated block is no news";
    }
}

// Root ignores permission bits, so the write is made to fail by a file size
// limit: the kernel refuses the bytes past it, as a full disk would.
TEST_F(SavedFile, ReplacingIsAllOrNothingKeepsThePermissionsAndWritesCompactText)
{
    const auto target = folder / "looper.cfg";
    const auto entries = [this] { return std::distance(std::filesystem::directory_iterator(folder), {}); };
    const std::string old = "{\"MIDIButtons\":{\"0\":[1,1,1,1,1,1,1,1]}}";
    writeText(target, old);
    const auto ownerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    std::filesystem::permissions(target, ownerOnly);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{1024, saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Outcome failed = config.writeConfigurationFile(target);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(failed.success);
    EXPECT_NE(failed.text.find("Could not write"), std::string::npos) << failed.text;
    EXPECT_EQ(readText(target), old);
    EXPECT_EQ(entries(), 1) << "no temporary file left";

    // Nothing was read, so every button holds zeros and the banks are empty.
    ASSERT_TRUE(config.writeConfigurationFile(target).success);
    const std::string text = readText(target);
    EXPECT_EQ(text.find_first_of(" \n\t\r"), std::string::npos);
    EXPECT_NE(text.find("\"QX2Effects1\":[],\"QX2Effects2\":[]"), std::string::npos) << text.substr(0, 80);
    EXPECT_NE(text.find("\"383\":[0,0,0,0,0,0,0,0]"), std::string::npos);
    EXPECT_EQ(std::filesystem::status(target).permissions(), ownerOnly);

    const Outcome missing = config.writeConfigurationFile(folder / "no-such-folder" / "looper.cfg");
    EXPECT_FALSE(missing.success);
    EXPECT_NE(missing.text.find("no-such-folder"), std::string::npos) << missing.text;
    EXPECT_EQ(entries(), 1);
}

// The looper holds zeros on every button.
TEST_F(Restore, OnlyButtonsThatDifferAreSentEachWithAConsoleLineAndShownOnTheTabFromTheUiThread)
{
    struct Row { std::string members; std::vector<std::string> lines; std::vector<Bytes> writes; std::string sent; };
    const Row rows[] = {
        {"\"12\":[1,2,-1,0,0,0,0,0],\"13\":[0,0,0,0,0,0,0,0]",
         {"12 [1, 2, -1, 0, 0, 0, 0, 0]"},
         {hex("F0 00 02 33 10 00 0C 00 01 00 02 7F 7F 00 00 00 00 00 00 00 00 00 00 F7")},
         "1 button mapping sent"},
        // Members naming no button are skipped; too few values are shown but
        // not sent; a long list is cut to eight.
        {"\"abc\":[1,1,1,1,1,1,1,1],\"-3\":[1,1,1,1,1,1,1,1],\"400\":[1,1,1,1,1,1,1,1],\"\":[1,1,1,1,1,1,1,1],"
         "\"+5\":[2,2,2,2,2,2,2,2],\"007\":[1,2,3,4,5,6,7,8,9],\"9\":[1,2,3]",
         {"5 [2, 2, 2, 2, 2, 2, 2, 2]", "7 [1, 2, 3, 4, 5, 6, 7, 8, 9]", "9 [1, 2, 3]"},
         {msg::buttonMappingWrite(5, {2, 2, 2, 2, 2, 2, 2, 2}), msg::buttonMappingWrite(7, {1, 2, 3, 4, 5, 6, 7, 8})},
         "2 button mappings sent"},
    };
    buttonTab.currentBtn = 12;
    for (const Row& row : rows) {
        console.clear();
        const Outcome outcome = restore("{\"MIDIButtons\":{" + row.members + "},\"QX2Effects1\":[],\"QX2Effects2\":[]}");
        EXPECT_TRUE(outcome.success);
        EXPECT_EQ(outcome.text, "Restored from " + (folder / "looper.cfg").string() + ": " + row.sent);
        EXPECT_EQ(console.lines(), row.lines);
        EXPECT_EQ(drain(commands), row.writes);
    }
    EXPECT_EQ(config.btnConfig[12].effects, Slots{}) << "what was sent is read back next time, not assumed";
    EXPECT_EQ(buttonTab.oldvalues, FunctionValues{}) << "the tab changes on the UI thread only";
    ui.drain();
    EXPECT_EQ(buttonTab.oldvalues, (FunctionValues{1, 2, -1, 0, 0, 0, 0, 0}));
}

TEST_F(Restore, AnythingButAConfigurationFileRestoresNothing)
{
    const std::size_t depth = 100000;  // deeper than any recursive reader's stack
    const std::pair<std::string, std::string> cases[] = {
        {"[{\"MIDIButtons\":{}}]", "top level is not an object"},
        {"{\"MIDIButtons\":{\"12\":[1,2,-1,0,0,0,0,0],\"13\":7}}", "\"13\""},
        {"{\"MIDIButtons\":{\"12\":[1,2.5,-1,0,0,0,0,0]}}", "not a whole number"},
        {"{\"MIDIButtons\":{\"12\":[1,16383,-1,0,0,0,0,0]}}", "outside -1 to 16382"},
        {"{\"MIDIButtons\":{\"12\":[1,18446744073709551615,-1,0,0,0,0,0]}}", "outside"},
        {"{\"MIDIButtons\":{\"0\":[" + std::string(depth, '[') + std::string(depth, ']') + "]}}",
         "holds a list, which is not a whole number"},
        {"{\"MIDIButtons\":[]}", "not an object"},
        {"{\"QX2Effects1\":[]}", "no \"MIDIButtons\""},
        {"{\"MIDIButtons\":{\"12\":[1,2,", "not JSON"},
    };
    for (const auto& [text, reason] : cases) {
        const Outcome outcome = restore(text);
        EXPECT_FALSE(outcome.success) << text.substr(0, 60);
        EXPECT_NE(outcome.text.find("is not a configuration file"), std::string::npos) << outcome.text.substr(0, 200);
        EXPECT_NE(outcome.text.find(reason), std::string::npos) << outcome.text.substr(0, 200);
        EXPECT_LT(outcome.text.size(), 400u) << "the file is not printed back";
    }
    const Outcome missing = config.applyConfigurationFile(folder / "absent.cfg");
    EXPECT_NE(missing.text.find("Could not read"), std::string::npos) << missing.text;
    EXPECT_EQ(commands.count(), 0u);
    EXPECT_TRUE(console.lines().empty());
}

// One transfer at a time, each ending with its own outcome. A stopped
// transfer reports nothing: its end, posted but not yet taken by the UI
// thread, must not be taken for the next one's, which times out. A save writes
// what the looper holds, not a late mapping report left from an earlier
// transfer (from before a restore changed those buttons).
TEST_F(Transfer, RefusalsThenAStoppedASilentAndAWholeSave)
{
    writeText(folder / "list.cfg", "[1,2,3]");
    EXPECT_EQ(config.restoreConfiguration(folder / "list.cfg"),
              "Restore refused: " + (folder / "list.cfg").string() +
                  " is not a configuration file: the top level is not an object");
    writeText(folder / "wanted.cfg", "{\"MIDIButtons\":{}}");
    ASSERT_TRUE(gate.tryEnter("upgrade"));
    EXPECT_EQ(config.saveConfiguration(folder / "looper.cfg"), "Save refused: an upgrade is running");
    EXPECT_EQ(config.restoreConfiguration(folder / "wanted.cfg"), "Restore refused: an upgrade is running");
    EXPECT_EQ(commands.count(), 0u) << "nothing was read from the looper";
    gate.leave();

    ASSERT_EQ(config.saveConfiguration(folder / "stopped.cfg"), std::nullopt);
    for (int i = 0; i < 3000 && !std::filesystem::exists(folder / "stopped.cfg"); ++i)
        playLooper(false), std::this_thread::sleep_for(10ms);
    config.stop();
    ASSERT_EQ(config.saveConfiguration(folder / "silent.cfg"), std::nullopt);
    EXPECT_EQ(gate.holder(), "save");
    const std::string busy = " refused: a save or restore is already running";
    EXPECT_EQ(config.restoreConfiguration(folder / "wanted.cfg"), "Restore" + busy);
    EXPECT_EQ(config.saveConfiguration(folder / "other.cfg"), "Save" + busy);
    for (int i = 0; i < 1000 && commands.count() == 0; ++i) std::this_thread::sleep_for(1ms);
    clockMs += 10000;  // then the looper stays silent for longer than the limit
    ASSERT_TRUE(awaitOutcome(true));
    ui.waitAndDrain(50ms);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].success);
    EXPECT_EQ(outcomes[0].text, "The looper did not answer: nothing saved");
    EXPECT_FALSE(std::filesystem::exists(folder / "silent.cfg"));
    EXPECT_EQ(progress.back(), 0.0);

    outcomes.clear();
    progress.clear();
    config.responseQueue.enqueue(blockReport(376, std::vector<Slots>(8, Slots{9, 9, 9, 9, 9, 9, 9, 9})));
    ASSERT_EQ(config.saveConfiguration(folder / "looper.cfg"), std::nullopt) << "the silent transfer left the gate";
    ASSERT_TRUE(awaitOutcome());
    EXPECT_TRUE(outcomes[0].success);
    EXPECT_EQ(outcomes[0].text, "Saved 384 button mappings to " + (folder / "looper.cfg").string());
    nlohmann::json looper = {{"MIDIButtons", nlohmann::json::object()}, {"QX2Effects1", kBank1}, {"QX2Effects2", kBank2}};
    for (std::int64_t code = 0; code < 384; ++code) looper["MIDIButtons"][std::to_string(code)] = patternFor(code);
    EXPECT_EQ(nlohmann::json::parse(readText(folder / "looper.cfg")), looper);
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[progress.size() - 2], 0.9);
    EXPECT_EQ(progress.back(), 1.0);
    for (double p : progress) EXPECT_TRUE(p >= 0.0 && p <= 1.0) << p;
}

TEST_F(Transfer, TasksLeftOnTheUiQueueDoNothingOnceTheConfigIsGone)
{
    int shown = 0;
    auto gone = std::make_unique<QXSaveableConfig>(commands, ui);
    gone->setMappingHandler([&shown](std::int64_t, const FunctionValues&) { ++shown; });
    gone->sendButtonMapping(5, {1, 2, 3, 4, 5, 6, 7, 8});
    gone.reset();
    EXPECT_EQ(ui.drain(), 1u);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(commands.count(), 1u);
}

}  // namespace
}  // namespace qx
