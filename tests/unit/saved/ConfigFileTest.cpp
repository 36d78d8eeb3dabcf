// The saved file: its shape, that writing it never loses the previous one, and
// applying one: only the mappings that differ from the looper's go out, each
// with its console line; anything that is not a configuration file restores
// nothing.
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "SavedTestSupport.h"
#include "config/MIDIButtonConfig.h"
#include "support/ConsoleCapture.h"

namespace qx {
namespace {

using test::hex;
using SavedFile = test::SavedConfigTest;

// Root ignores permission bits, so the write is made to fail by a file size
// limit: the kernel refuses the bytes past it, as a full disk would.
TEST_F(SavedFile, ReplacingIsAllOrNothingKeepsThePermissionsAndWritesCompactText)
{
    const auto target = folder / "looper.cfg";
    const auto entries = [this] { return std::distance(std::filesystem::directory_iterator(folder), {}); };
    const std::string old = "{\"MIDIButtons\":{\"0\":[1,1,1,1,1,1,1,1]}}";
    test::writeText(target, old);
    ::chmod(target.c_str(), 0600);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Outcome failed = config.writeConfigurationFile(target);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(failed.success);
    EXPECT_NE(failed.text.find("Could not write"), std::string::npos) << failed.text;
    EXPECT_EQ(test::readText(target), old);
    EXPECT_EQ(entries(), 1) << "no temporary file left";

    // Nothing was read, so every button holds zeros and the banks are empty.
    ASSERT_TRUE(config.writeConfigurationFile(target).success);
    const std::string text = test::readText(target);
    EXPECT_EQ(text.find_first_of(" \n\t\r"), std::string::npos);
    EXPECT_NE(text.find("\"QX2Effects1\":[],\"QX2Effects2\":[]"), std::string::npos) << text.substr(0, 80);
    EXPECT_NE(text.find("\"383\":[0,0,0,0,0,0,0,0]"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const Outcome missing = config.writeConfigurationFile(folder / "no-such-folder" / "looper.cfg");
    EXPECT_FALSE(missing.success);
    EXPECT_NE(missing.text.find("no-such-folder"), std::string::npos) << missing.text;
    EXPECT_EQ(entries(), 1);
}

class Restore : public test::SavedConfigTest {
protected:
    void SetUp() override
    {
        config.setMappingHandler([this](std::int64_t code, const FunctionValues& v) { buttonTab.applyMapping(code, v); });
    }
    Outcome restore(const std::string& text)
    {
        test::writeText(folder / "looper.cfg", text);
        return config.applyConfigurationFile(folder / "looper.cfg");
    }

    QXCommandQueue tabCommands;
    MIDIButtonConfig buttonTab{tabCommands};
    test::ConsoleCapture console;
};

// The looper holds zeros on every button.
TEST_F(Restore, OnlyButtonsThatDifferAreSentEachWithAConsoleLineAndShownOnTheTabFromTheUiThread)
{
    struct Row {
        std::string members;
        std::vector<std::string> lines;
        std::vector<Bytes> writes;
        std::string sent;
    };
    const Row rows[] = {
        {"\"13\":[0,0,0,0,0,0,0,0]", {}, {}, "0 button mappings sent"},
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
        EXPECT_EQ(test::drain(commands), row.writes);
    }
    EXPECT_EQ(config.btnConfig[12].effects, test::Slots{}) << "what was sent is read back next time, not assumed";
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
        {"{\"MIDIButtons\":{\"12\":[1,2,-1,0,0,0,0,0],\"13\":[1,\"x\",0,0,0,0,0,0]}}", "not a whole number"},
        {"{\"MIDIButtons\":{\"12\":[1,2.5,-1,0,0,0,0,0]}}", "not a whole number"},
        {"{\"MIDIButtons\":{\"12\":[1,20000,-1,0,0,0,0,0]}}", "outside"},
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

}  // namespace
}  // namespace qx
