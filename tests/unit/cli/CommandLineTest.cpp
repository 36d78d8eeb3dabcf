// qxctl's command line: what each command is called with, the options before
// or after the command, help and version on standard output with status 0,
// and usage errors (a message and the usage on standard error, status 2)
// that never run a command.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CommandLine.h"

namespace qx::cli {
namespace {

struct Called {
    std::string command;  // empty: none ran
    Args args;
    std::optional<SettingChange> setting;
    ButtonRequest button;
    std::optional<EffectChange> effect;
    std::string path;
};

struct Line {
    int status = -1;
    std::string out, err;
    Called called;
};

Line run(const std::vector<std::string>& words)
{
    Line line;
    Called& called = line.called;
    auto note = [&called](const char* name, const Args& args) {
        called.command = name;
        called.args = args;
        return 0;
    };
    auto takesPath = [&](const char* name) {
        return [&, name](const Args& a, const std::string& p) {
            called.path = p;
            return note(name, a);
        };
    };
    const CommandTable commands{
        .monitor = [&](const Args& a) { return note("monitor", a); },
        .settings =
            [&](const Args& a, const std::optional<SettingChange>& c) {
                called.setting = c;
                return note("settings", a);
            },
        .button =
            [&](const Args& a, const ButtonRequest& r) {
                called.button = r;
                return note("button", a);
            },
        .effects =
            [&](const Args& a, const std::optional<EffectChange>& c) {
                called.effect = c;
                return note("effects", a);
            },
        .upgrade = takesPath("upgrade"),
        .save = takesPath("save"),
        .restore = takesPath("restore"),
        .ports = [&](const Args& a) { return note("ports", a); },
    };
    std::ostringstream out, err;
    line.status = runCommandLine(words, commands, out, err);
    line.out = out.str();
    line.err = err.str();
    return line;
}

TEST(CommandLine, OptionsStandBeforeOrAfterTheCommandAndReachTheSession)
{
    const Line before = run({"--demo", "--midi-port", "QX Looper", "--trace", "/tmp/t.txt", "--verbose", "monitor"});
    ASSERT_EQ(before.status, 0) << before.err;
    EXPECT_EQ(before.called.command, "monitor");
    EXPECT_TRUE(before.called.args.demo);
    EXPECT_EQ(before.called.args.session.midiDevice, "QX Looper");
    EXPECT_EQ(before.called.args.session.tracePath, "/tmp/t.txt");
    EXPECT_TRUE(before.called.args.session.verbose);

    const Line after = run({"save", "looper.cfg", "--midi-port=QX", "--demo"});
    ASSERT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(after.called.command, "save");
    EXPECT_EQ(after.called.path, "looper.cfg");
    EXPECT_TRUE(after.called.args.demo);
    EXPECT_EQ(after.called.args.session.midiDevice, "QX");
    EXPECT_FALSE(after.called.args.session.verbose);
    EXPECT_EQ(after.called.args.session.tracePath, "");

    const Line plain = run({"ports"});
    EXPECT_EQ(plain.called.command, "ports");
    EXPECT_FALSE(plain.called.args.demo);
}

TEST(CommandLine, EachCommandGetsItsArgumentsTyped)
{
    const Line read = run({"settings"});
    EXPECT_EQ(read.called.command, "settings");
    EXPECT_FALSE(read.called.setting);
    const Line set = run({"settings", "set", "Brightness", "high", "--demo"});
    ASSERT_TRUE(set.called.setting) << set.err;
    EXPECT_STREQ(set.called.setting->setting->name, "brightness");
    EXPECT_TRUE(set.called.args.demo);

    const Line button = run({"button", "cc", "5"});
    ASSERT_EQ(button.called.command, "button") << button.err;
    EXPECT_EQ(button.called.button.kind, 128);
    EXPECT_EQ(button.called.button.number, 5);
    EXPECT_FALSE(button.called.button.change);
    // By value, with a function of several words and one that is negative.
    const Line named = run({"button", "256", "36", "set", "2", "QX2", "Select", "Other"});
    ASSERT_TRUE(named.called.button.change) << named.err;
    EXPECT_EQ(named.called.button.kind, 256);
    EXPECT_EQ(named.called.button.change->slot, 2);
    EXPECT_EQ(named.called.button.change->function.id, 2101);
    const Line none = run({"--demo", "button", "PgmChange", "0", "set", "7", "-1"});
    ASSERT_TRUE(none.called.button.change) << none.err;
    EXPECT_EQ(none.called.button.change->function.id, -1);

    const Line effects = run({"effects", "set", "2", "7", "Stop"});
    ASSERT_TRUE(effects.called.effect) << effects.err;
    EXPECT_EQ(effects.called.effect->bank, 2);
    EXPECT_EQ(effects.called.effect->slot, 7);
    EXPECT_EQ(effects.called.effect->function.id, 16);
    EXPECT_EQ(run({"upgrade", "firmware.syx"}).called.path, "firmware.syx");
    EXPECT_EQ(run({"restore", "save"}).called.path, "save") << "a file named like a command";
}

TEST(CommandLine, HelpAndVersionGoToStandardOutput)
{
    const Line help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: qxctl [OPTIONS] COMMAND"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("--midi-port"), std::string::npos);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.called.command, "");

    const Line button = run({"button", "-h"});
    EXPECT_EQ(button.status, 0);
    EXPECT_NE(button.out.find("Usage: qxctl button [OPTIONS] KIND NUMBER"), std::string::npos) << button.out;
    EXPECT_EQ(button.called.command, "");

    const Line version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "qxctl " QX_PROJECT_VERSION "\n");
}

// Each is refused before any command runs, with a message and the usage of
// the command it is about.
TEST(CommandLine, WrongArgumentsAreUsageErrors)
{
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"--bogus", "monitor"},
        {"monitor", "--bogus"},
        {"jump"},
        {"monitor", "now"},
        {"settings", "show"},
        {"settings", "set", "volume", "3"},
        {"settings", "set", "channel"},
        {"button", "Foot", "1"},
        {"button", "CC", "128"},
        {"button", "CC", "1", "set", "8", "Stop"},
        {"effects", "set", "3", "0", "Stop"},
        {"save"},
        {"save", "a.cfg", "b.cfg"},
        {"--trace"},
    };
    for (const auto& words : wrong) {
        const Line line = run(words);
        const std::string said = words.empty() ? "(nothing)" : words[0];
        EXPECT_EQ(line.status, 2) << said;
        EXPECT_EQ(line.out, "") << said;
        EXPECT_EQ(line.called.command, "") << said;
        EXPECT_TRUE(line.err.starts_with("qxctl: ")) << line.err;
        EXPECT_NE(line.err.find("\nUsage: qxctl"), std::string::npos) << line.err;
    }
    const Line unknown = run({"monitor", "--bogus"});
    EXPECT_TRUE(unknown.err.starts_with("qxctl: The following argument was not expected: --bogus\n")) << unknown.err;
}

// What the tabs do not offer, in the system's own words.
TEST(CommandLine, ValuesTheTabsDoNotOfferAreRefusedInTheirOwnWords)
{
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"settings", "set", "channel", "17"}, "settings: channel takes 1 to 16"},
        {{"settings", "set", "brightness", "1"}, "settings: brightness takes "},
        {{"button", "CC", "1", "set", "0", "80"}, "button: no function \"80\""},
        {{"button", "CC", "1", "set", "0", "stop"}, "button: no function \"stop\""},
        {{"effects", "set", "1", "0", "No", "Such"}, "effects: no function \"No Such\""},
    };
    for (const auto& [words, message] : refused) {
        const Line line = run(words);
        EXPECT_EQ(line.status, 2) << message;
        EXPECT_EQ(line.called.command, "") << message;
        EXPECT_TRUE(line.err.starts_with(message)) << line.err;
        EXPECT_NE(line.err.find("\nUsage: qxctl " + words[0]), std::string::npos) << line.err;
    }
}

}  // namespace
}  // namespace qx::cli
