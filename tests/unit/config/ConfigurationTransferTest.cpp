// Saving and restoring the looper's configuration: the passes on the test
// thread (which replies count as news), the file written and applied, and
// whole transfers on their own thread against a stand-in looper. What a pass
// asks for is checked by the config_replies fuzz target, which block reports
// are refused by the decoder tests.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>

#include "config/ConfigurationFileStep.h"
#include "config/ConfigurationTransfer.h"
#include "config/MIDIButtonConfig.h"
#include "protocol/SysExCodec.h"
#include "sim/LooperReplies.h"
#include "support/ConsoleCapture.h"
#include "support/Hex.h"
#include "support/WaitUntil.h"

namespace qx {
namespace {

using namespace std::chrono_literals;
using test::hex;
using Slots = msg::Bank;

// What the stand-in looper holds: a distinct mapping for each code, with -1s
// and two-byte values.
Slots patternFor(std::int64_t code) { return {code, -1, 2103 - code, 0, 1, 2, 3, code % 7}; }
const Slots kBank1{48, -1, 0, 0, 0, 0, 0, 0}, kBank2{1, 2, 3, 4, 5, 6, 7, 2103};
Bytes block(int first, const Slots& each) { return sim::reply::buttonReport(first, std::vector<Slots>(8, each)); }

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
void writeText(const std::filesystem::path& path, const std::string& text) { std::ofstream(path) << text; }

// One transfer wired as the session wires it, a scratch folder, and time as
// the transfer sees it, moved only by the test.
class Configuration : public ::testing::Test {
protected:
    Configuration()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qx-saved-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder = pattern;
    }
    ~Configuration() override
    {
        config.stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    // Applies a file as a restore's last step, recording what it sends.
    Outcome restore(const std::string& text)
    {
        writeText(folder / "looper.cfg", text);
        const auto send = [this](std::int64_t code, const auto& v) { return sent.push_back(code), v.size() >= 8; };
        return applyConfigurationFile(folder / "looper.cfg", read.buttons, send);
    }
    // Plays the looper: answers the requests waiting, unless it is silent;
    // optionally takes no more than one write.
    void playLooper(bool silent, bool oneWrite = false)
    {
        for (Bytes r; !(oneWrite && !writes.empty()) && !(r = commands.dequeue()).empty();) {
            if (silent) continue;
            if (r[4] == msg::kButtonWrite) writes.push_back(r);
            if (r[4] == msg::kEffects) config.takeReply(sim::reply::effectsReport({kBank1, kBank2}));
            if (r[4] != msg::kButtonRequest) continue;
            std::vector<Slots> eight;  // every block asked for holds eight buttons
            const auto first = sysex::decodePair(r[5], r[6]);
            for (auto code = first; code < first + 8; ++code) eight.push_back(patternFor(code));
            config.takeReply(sim::reply::buttonReport(int(first), eight));
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
    std::vector<std::string> outcomes;  // "failed: " before a failure's text
    std::vector<std::int64_t> sent;  // the codes a restore's last step sent
    std::vector<Bytes> writes;  // what the stand-in looper was sent to store
    ConfigurationTransfer config{
        commands, ui, gate,
        {.progress = [this](double f) { progress.push_back(f); },
         .mapping = [this](std::int64_t code, const FunctionValues& v) { buttonTab.applyMapping(code, v); },
         .outcome = [this](const Outcome& o) { outcomes.push_back((o.success ? "" : "failed: ") + o.text); }},
        {.wait = 1ms, .silenceLimit = Seconds(10.0),
         .now = [this] { return std::chrono::steady_clock::time_point(clockMs.load() * 1ms); }}};
    ConfigurationRead& read = config.read();
};

// Replies are kept only while a transfer runs, and then only up to a limit.
// Only replies that fill buttons not yet read count as news; a transfer that
// hears none for the limit ends.
TEST_F(Configuration, OnlyNewRepliesKeepATransferAlive)
{
    config.takeReply(block(0, {}));
    EXPECT_EQ(read.replies.count(), 0u) << "no transfer runs";
    for (std::size_t i = 0; i < ConfigurationRead::kMaxReplies + 5; ++i) read.replies.enqueue(block(0, {}));
    EXPECT_EQ(read.replies.count(), ConfigurationRead::kMaxReplies);
    EXPECT_EQ(read.replies.dropped(), 5u);
    read.begin();
    read.replies.enqueue(test::padded("F0 00 02 33 09 08 00 30 7F 7F", 38));  // one byte short
    EXPECT_TRUE(read.runPass());
    EXPECT_FALSE(read.banks.valid) << "a short effects report is no report";
    clockMs += 9900;
    EXPECT_FALSE(read.looperSilent());
    for (const auto& [reply, waited, silent] : {std::tuple{block(0, {}), 9900, false},
                                                std::tuple{block(0, {}), 200, true},
                                                std::tuple{sim::reply::effectsReport({}), 0, false}}) {
        read.replies.enqueue(reply);
        read.runPass();
        clockMs += waited;
        EXPECT_EQ(read.looperSilent(), silent) << "a repeated block is no news";
    }
    // Commands queued ahead of the requests still leaving are no silence.
    read.begin();
    for (int i = 0; i < 3; ++i) commands.enqueue(hex("F0 00 02 33 10 F7"));
    clockMs += 9900;
    commands.dequeue();
    read.progressWhileWaiting();
    clockMs += 9900;
    EXPECT_FALSE(read.looperSilent());
}

// Root ignores permission bits, so the write is made to fail by a file size
// limit: the kernel refuses the bytes past it, as a full disk would.
TEST_F(Configuration, ReplacingAFileIsAllOrNothingKeepsThePermissionsAndWritesCompactText)
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
    const Outcome failed = writeConfigurationFile(target, read.buttons, read.banks);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(!failed.success && failed.text.find("Could not write") != std::string::npos) << failed.text;
    EXPECT_EQ(readText(target), old);
    EXPECT_EQ(entries(), 1) << "no temporary file left";

    // Nothing was read, so every button holds zeros and the banks are empty.
    ASSERT_TRUE(writeConfigurationFile(target, read.buttons, read.banks).success);
    const std::string text = readText(target);
    EXPECT_EQ(text.find_first_of(" \n\t\r"), std::string::npos);
    EXPECT_NE(text.find("\"QX2Effects1\":[],\"QX2Effects2\":[]"), std::string::npos) << text.substr(0, 80);
    EXPECT_NE(text.find("\"383\":[0,0,0,0,0,0,0,0]"), std::string::npos);
    EXPECT_EQ(std::filesystem::status(target).permissions(), ownerOnly);

    const Outcome missing = writeConfigurationFile(folder / "no-such-folder" / "looper.cfg", read.buttons, read.banks);
    EXPECT_TRUE(!missing.success && missing.text.find("no-such-folder") != std::string::npos) << missing.text;
    EXPECT_EQ(entries(), 1);

    // A link is followed and stays a link; a new file gets what the umask allows.
    std::filesystem::create_symlink("looper.cfg", folder / "link.cfg");
    const mode_t mask = ::umask(027);
    ASSERT_TRUE(writeConfigurationFile(folder / "link.cfg", read.buttons, read.banks).success);
    ASSERT_TRUE(writeConfigurationFile(folder / "new.cfg", read.buttons, read.banks).success);
    ::umask(mask);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.cfg"));
    EXPECT_EQ(readText(folder / "link.cfg"), text);
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(folder / "new.cfg").permissions(),
              perms::owner_read | perms::owner_write | perms::group_read);
}

// The looper holds zeros on every button.
TEST_F(Configuration, RestoreSendsOnlyButtonsThatDifferEachWithAConsoleLine)
{
    // The file's members, the console lines, the codes sent, the outcome's end.
    const std::tuple<std::string, std::vector<std::string>, std::vector<std::int64_t>, std::string> rows[] = {
        {"\"12\":[1,2,-1,0,0,0,0,0],\"13\":[0,0,0,0,0,0,0,0]", {"12 [1, 2, -1, 0, 0, 0, 0, 0]"}, {12},
         "1 button mapping sent"},
        // Members naming no button are skipped; too few values are not sent.
        {"\"abc\":[1,1,1,1,1,1,1,1],\"-3\":[1,1,1,1,1,1,1,1],\"400\":[1,1,1,1,1,1,1,1],\"\":[1,1,1,1,1,1,1,1],"
         "\"+5\":[2,2,2,2,2,2,2,2],\"007\":[1,2,3,4,5,6,7,8,9],\"9\":[1,2,3]",
         {"5 [2, 2, 2, 2, 2, 2, 2, 2]", "7 [1, 2, 3, 4, 5, 6, 7, 8, 9]", "9 [1, 2, 3]"}, {5, 7, 9},
         "2 button mappings sent"},
    };
    for (const auto& [members, lines, codes, end] : rows) {
        console.clear();
        sent.clear();
        const Outcome outcome = restore("{\"MIDIButtons\":{" + members + "},\"QX2Effects1\":[],\"QX2Effects2\":[]}");
        EXPECT_TRUE(outcome.success);
        EXPECT_EQ(outcome.text, "Restored from " + (folder / "looper.cfg").string() + ": " + end);
        EXPECT_EQ(console.lines(), lines);
        EXPECT_EQ(sent, codes);
    }
    EXPECT_EQ(read.buttons[12].effects, Slots{}) << "what was sent is read back next time, not assumed";
}

TEST_F(Configuration, AnythingButAConfigurationFileRestoresNothing)
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
        const auto says = [&](const std::string& part) { return outcome.text.find(part) != std::string::npos; };
        EXPECT_TRUE(!outcome.success && says("is not a configuration file") && says(reason))
            << outcome.text.substr(0, 200);
        EXPECT_LT(outcome.text.size(), 400u) << "the file is not printed back";
    }
    // Only a regular file of at most 256 KiB is read; a FIFO does not block.
    ASSERT_EQ(::mkfifo((folder / "pipe.cfg").c_str(), 0600), 0);
    writeText(folder / "huge.cfg", std::string(kMaxConfigurationFile + 1, ' '));
    for (const auto& [name, reason] : {std::pair{"absent.cfg", "Could not read"},
                                       {"pipe.cfg", "it is not a regular file"},
                                       {"huge.cfg", "longer than 262144 bytes, too long for a configuration file"},
                                       {"", "it is a folder"}})
        EXPECT_NE(checkConfigurationFile(folder / name).value_or("").find(reason), std::string::npos) << name;
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(console.lines().empty());
}

// One transfer at a time, each ending with its own outcome. A stopped
// transfer reports nothing: its end, posted but not yet taken by the UI
// thread, must not be taken for the next one's, which times out. A save writes
// what the looper holds, not a late mapping report left from an earlier
// transfer (from before a restore changed those buttons); a restore's writes
// show on the button tab from the UI thread.
TEST_F(Configuration, RefusalsThenAStoppedASilentAWholeSaveAndARestore)
{
    // A file that cannot be applied ends the restore, off the UI thread,
    // before the looper is read.
    writeText(folder / "list.cfg", "[1,2,3]");
    ASSERT_EQ(config.restore(folder / "list.cfg"), std::nullopt);
    ASSERT_TRUE(awaitOutcome(true));
    EXPECT_EQ(outcomes, std::vector<std::string>{"failed: Restore refused: " + (folder / "list.cfg").string() +
                                                 " is not a configuration file: the top level is not an object"});
    EXPECT_EQ(gate.holder(), "");
    outcomes.clear();
    writeText(folder / "wanted.cfg", "{\"MIDIButtons\":{\"12\":[1,2,-1,0,0,0,0,0],\"7\":[1,2,3,4,5,6,7,8,9]}}");
    ASSERT_TRUE(gate.tryEnter("upgrade"));
    EXPECT_EQ(config.restore(folder / "wanted.cfg"), "Restore refused: an upgrade is running");
    EXPECT_EQ(commands.count(), 0u) << "nothing was read from the looper";
    gate.leave();

    // Played to its end, then stopped before the UI thread takes that end.
    ASSERT_EQ(config.save(folder / "stopped.cfg"), std::nullopt);
    ASSERT_TRUE(test::waitUntil([&] { return playLooper(false), std::filesystem::exists(folder / "stopped.cfg"); }));
    ASSERT_TRUE(test::waitUntil([&] { return config.cancel().text.starts_with("Saved 384"); }))
        << "cancelled once it has ended, it says how it ended";
    ASSERT_EQ(config.save(folder / "silent.cfg"), std::nullopt);
    EXPECT_EQ(gate.holder(), "save");
    const std::string busy = " refused: a save or restore is already running";
    EXPECT_EQ(config.restore(folder / "wanted.cfg"), "Restore" + busy);
    EXPECT_EQ(config.save(folder / "other.cfg"), "Save" + busy);
    ASSERT_TRUE(test::waitUntil([&] { return commands.count() > 0; }));
    clockMs += 10000;  // then the looper stays silent for longer than the limit
    ASSERT_TRUE(awaitOutcome(true));
    ui.waitAndDrain(50ms);
    EXPECT_EQ(outcomes, std::vector<std::string>{"failed: The looper did not answer: nothing saved"});
    EXPECT_FALSE(std::filesystem::exists(folder / "silent.cfg"));
    EXPECT_EQ(progress.back(), 0.0);

    outcomes.clear();
    progress.clear();
    config.takeReply(block(376, {9, 9, 9, 9, 9, 9, 9, 9}));  // left from before: not saved
    config.takeReply(sim::reply::effectsReport({kBank2, kBank1}));
    ASSERT_EQ(config.save(folder / "looper.cfg"), std::nullopt) << "the silent transfer left the gate";
    ASSERT_TRUE(awaitOutcome());
    EXPECT_EQ(outcomes[0], "Saved 384 button mappings to " + (folder / "looper.cfg").string());
    nlohmann::json looper = {{"MIDIButtons", {}}, {"QX2Effects1", kBank1}, {"QX2Effects2", kBank2}};
    for (std::int64_t code = 0; code < 384; ++code) looper["MIDIButtons"][std::to_string(code)] = patternFor(code);
    EXPECT_EQ(nlohmann::json::parse(readText(folder / "looper.cfg")), looper);
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(std::vector(progress.end() - 2, progress.end()), (std::vector{0.9, 1.0}));
    for (double p : progress) EXPECT_TRUE(p >= 0.0 && p <= 1.0) << p;

    // A restore ends once its writes have gone out; cancelled before, it says
    // how many did and takes the others back.
    outcomes.clear();
    ASSERT_EQ(config.restore(folder / "wanted.cfg"), std::nullopt);
    ASSERT_TRUE(test::waitUntil([&] { return playLooper(false, true), !writes.empty(); }));
    ui.waitAndDrain(20ms);
    EXPECT_TRUE(outcomes.empty());
    EXPECT_EQ(config.cancel().text, "Restore cancelled: 1 of 2 button mapping writes were sent");
    EXPECT_EQ(commands.count(), 0u);
    writes.clear();
    buttonTab.currentBtn = 12;
    ASSERT_EQ(config.restore(folder / "wanted.cfg"), std::nullopt);
    ASSERT_TRUE(awaitOutcome());
    EXPECT_EQ(progress.back(), 1.0);
    EXPECT_EQ(outcomes[0], "Restored from " + (folder / "wanted.cfg").string() + ": 2 button mappings sent");
    playLooper(false);
    const Bytes write12 = hex("F0 00 02 33 10 00 0C 00 01 00 02 7F 7F 00 00 00 00 00 00 00 00 00 00 F7");
    EXPECT_EQ(writes, (std::vector<Bytes>{write12, msg::buttonMappingWrite(7, {1, 2, 3, 4, 5, 6, 7, 8})}))
        << "a long list is cut to eight";
    EXPECT_EQ(buttonTab.oldvalues, (FunctionValues{1, 2, -1, 0, 0, 0, 0, 0}));
}

TEST_F(Configuration, TasksLeftOnTheUiQueueDoNothingOnceTheTransferIsGone)
{
    struct CountingQueue : ManualMainQueue {
        void post(std::function<void()> task) override { ++posted, ManualMainQueue::post(std::move(task)); }
        std::atomic<int> posted{0};
    } queue;
    int shown = 0;
    const ConfigurationTransfer::Handlers handlers{.progress = [&](double) { ++shown; }, .mapping = {}, .outcome = {}};
    auto gone = std::make_unique<ConfigurationTransfer>(commands, queue, gate, handlers);
    ASSERT_EQ(gone->save(folder / "gone.cfg"), std::nullopt);
    ASSERT_TRUE(test::waitUntil([&] { return queue.posted.load() > 0; }));
    gone.reset();
    EXPECT_GE(queue.drain(), 1u);
    EXPECT_EQ(shown, 0);
}

}  // namespace
}  // namespace qx
