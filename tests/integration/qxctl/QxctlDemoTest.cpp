// qxctl end to end on its built-in simulated looper (--demo: no MIDI ports,
// no network, no JACK server): its version, what goes to
// standard output and what to standard error, the progress bar's one line
// when standard error is not a terminal, and the console lines only with
// --verbose.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "QxctlRun.h"

namespace qx::test {
namespace {

using namespace std::chrono_literals;

bool anyStartsWith(const Lines& lines, const std::string& prefix)
{
    return std::ranges::any_of(lines, [&](const std::string& l) { return l.starts_with(prefix); });
}

// Console lines are items; the first is a quoted text: "Polling MIDI".
bool hasConsoleLine(const Lines& lines) { return anyStartsWith(lines, "\""); }

class QxctlDemo : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/qxctl-demo-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
};

TEST(QxctlCommandLine, VersionIsTheProjectsVersion)
{
    const Ran version = runQxctl({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, Lines{"qxctl " QX_PROJECT_VERSION});
    EXPECT_EQ(version.err, Lines{});
}

TEST(QxctlCommandLine, TheDemoHasNoMidiPorts)
{
    const Ran ports = runQxctl({"--demo", "ports"});
    EXPECT_EQ(ports.status, 1);
    EXPECT_EQ(ports.out, Lines{});
    EXPECT_EQ(ports.err, Lines{"ports: the demo looper is in-process and has no MIDI ports"});
}

// The results alone on standard output; without --verbose no console line
// anywhere, with it every console line on standard error.
TEST_F(QxctlDemo, ConsoleLinesOnlyWithVerboseAndOnStandardError)
{
    const Ran quiet = runQxctl({"--demo", "settings"});
    ASSERT_EQ(quiet.status, 0) << Ran::lastOf(quiet.err);
    EXPECT_EQ(quiet.last(), "settings: read from the looper");
    EXPECT_TRUE(quiet.has("brightness  QX2 Display Brightness  Medium"));
    EXPECT_FALSE(hasConsoleLine(quiet.out));
    EXPECT_EQ(quiet.err, Lines{});

    const Ran verbose = runQxctl({"settings", "--demo", "--verbose"});
    ASSERT_EQ(verbose.status, 0) << Ran::lastOf(verbose.err);
    EXPECT_EQ(verbose.out, quiet.out) << "the same results";
    EXPECT_NE(std::ranges::find(verbose.err, "\"Polling MIDI\""), verbose.err.end());
    EXPECT_TRUE(std::ranges::all_of(verbose.err, [](const std::string& l) { return l.starts_with("\""); }))
        << "only console lines, in their own format";
}

// Standard error is a file here: no bar while it runs, one line at the end.
TEST_F(QxctlDemo, ProgressIsOneLineWhenStandardErrorIsNoTerminal)
{
    const std::string path = (folder / "looper.cfg").string();
    const Ran save = runQxctl({"--demo", "save", path});
    ASSERT_EQ(save.status, 0) << Ran::lastOf(save.err);
    EXPECT_EQ(save.out, Lines{"Saved 384 button mappings to " + path});
    EXPECT_EQ(save.err, Lines{"save 100%"});

    const Ran restore = runQxctl({"--demo", "restore", path});
    ASSERT_EQ(restore.status, 0) << Ran::lastOf(restore.err);
    EXPECT_EQ(restore.out, Lines{"Restored from " + path + ": 0 button mappings sent"});
    EXPECT_EQ(restore.err, Lines{"restore 100%"});
}

// A refusal goes to standard error alone, in the system's own words.
TEST_F(QxctlDemo, RefusalsGoToStandardError)
{
    const std::string missing = (folder / "missing.cfg").string();
    const Ran restore = runQxctl({"--demo", "restore", missing});
    EXPECT_EQ(restore.status, 1);
    EXPECT_EQ(restore.out, Lines{});
    EXPECT_EQ(restore.err, Lines{"Restore refused: Could not read " + missing + ": No such file or directory"});

    const Ran upgrade = runQxctl({"--demo", "upgrade", missing});
    EXPECT_EQ(upgrade.status, 1);
    EXPECT_EQ(upgrade.out, Lines{});
    ASSERT_EQ(upgrade.err.size(), 1u);
    EXPECT_TRUE(upgrade.err[0].starts_with("Upgrade refused: ")) << upgrade.err[0];
}

}  // namespace
}  // namespace qx::test
