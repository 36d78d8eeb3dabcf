// Applying a saved file: only the mappings that differ from the looper's go
// out, each with its console line; anything that is not a configuration file
// restores nothing.
#include <gtest/gtest.h>

#include "SavedTestSupport.h"
#include "common/ConsoleLine.h"
#include "common/MainQueue.h"
#include "config/ConfigFile.h"
#include "config/MIDIButtonConfig.h"
#include "config/SaveableConfig.h"

namespace qx {
namespace {

std::vector<Bytes> drain(QXCommandQueue& queue)
{
    std::vector<Bytes> out;
    for (Bytes m = queue.dequeue(); !m.empty(); m = queue.dequeue()) out.push_back(m);
    return out;
}

std::string buttonsFile(const std::string& members)
{
    return "{\"MIDIButtons\":{" + members + "},\"QX2Effects1\":[],\"QX2Effects2\":[]}";
}

class Restore : public ::testing::Test {
protected:
    void SetUp() override
    {
        setConsoleSink([this](const std::string& line) { lines.push_back(line); });
        config.setMappingHandler([this](std::int64_t code, const FunctionValues& values) {
            buttonTab.applyMapping(code, values);
        });
    }
    void TearDown() override { setConsoleSink({}); }

    Outcome restore(const std::string& text)
    {
        test::writeText(folder / "looper.cfg", text);
        return config.applyConfigurationFile(folder / "looper.cfg");
    }

    QXCommandQueue commands;
    ManualMainQueue ui;
    QXSaveableConfig config{commands, ui};
    QXCommandQueue tabCommands;
    MIDIButtonConfig buttonTab{tabCommands};
    test::ScratchFolder folder;
    std::vector<std::string> lines;
};

TEST_F(Restore, FileEqualToTheLooperSendsNothingAndSaysNothing)
{
    for (std::size_t code = 0; code < kButtonCodes; ++code) config.btnConfig[code].effects = test::patternFor(code);
    const Outcome outcome = restore(configurationFileText(config.btnConfig, config.qx2EffectsConfig));
    EXPECT_TRUE(outcome.success) << outcome.text;
    EXPECT_NE(outcome.text.find("0 button mappings sent"), std::string::npos) << outcome.text;
    EXPECT_EQ(commands.count(), 0u);
    EXPECT_TRUE(lines.empty());
}

TEST_F(Restore, ChangedButtonGetsOneWriteAndOneConsoleLine)
{
    const Outcome outcome = restore(buttonsFile("\"12\":[1,2,-1,0,0,0,0,0],\"13\":[0,0,0,0,0,0,0,0]"));
    EXPECT_TRUE(outcome.success);
    EXPECT_NE(outcome.text.find("1 button mapping sent"), std::string::npos) << outcome.text;
    const Bytes write{0xF0, 0x00, 0x02, 0x33, 0x10, 0x00, 0x0C, 0x00, 0x01, 0x00, 0x02, 0x7F,
                      0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF7};
    EXPECT_EQ(drain(commands), std::vector<Bytes>{write});
    EXPECT_EQ(lines, std::vector<std::string>{"12 [1, 2, -1, 0, 0, 0, 0, 0]"});
    // What was sent is not taken as the looper's: it is read back next time.
    EXPECT_EQ(config.btnConfig[12].effects, test::Slots{});
}

TEST_F(Restore, KeysThatNameNoButtonAreSkipped)
{
    restore(buttonsFile("\"abc\":[1,1,1,1,1,1,1,1],\"-3\":[1,1,1,1,1,1,1,1],\"400\":[1,1,1,1,1,1,1,1],"
                        "\"\":[1,1,1,1,1,1,1,1],\"+5\":[2,2,2,2,2,2,2,2],\"007\":[3,3,3,3,3,3,3,3]"));
    EXPECT_EQ(lines, (std::vector<std::string>{"5 [2, 2, 2, 2, 2, 2, 2, 2]", "7 [3, 3, 3, 3, 3, 3, 3, 3]"}));
    EXPECT_EQ(commands.count(), 2u);
}

TEST_F(Restore, LongArraysAreCutToEightAndShortOnesAreNotSent)
{
    restore(buttonsFile("\"1\":[1,2,3,4,5,6,7,8,9],\"2\":[1,2,3]"));
    const auto sent = drain(commands);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), 24u);
    EXPECT_EQ(sent[0][6], 0x01);
    EXPECT_EQ(sent[0][22], 0x08);
    EXPECT_EQ(lines, (std::vector<std::string>{"1 [1, 2, 3, 4, 5, 6, 7, 8, 9]", "2 [1, 2, 3]"}));
}

TEST_F(Restore, ButtonTabShowsTheRestoredMappingOnlyForItsOwnButton)
{
    buttonTab.currentBtn = 12;
    restore(buttonsFile("\"12\":[1,2,-1,0,0,0,0,0],\"30\":[4,4,4,4,4,4,4,4]"));
    EXPECT_EQ(buttonTab.oldvalues, FunctionValues{}) << "the tab changes on the UI thread only";
    ui.drain();
    EXPECT_EQ(buttonTab.oldvalues, (FunctionValues{1, 2, -1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(buttonTab.effects[2].effectNum(), -1);
    EXPECT_EQ(buttonTab.effects[1].effectNum(), 2);
}

TEST_F(Restore, AnythingButAConfigurationFileRestoresNothing)
{
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"[{\"MIDIButtons\":{}}]", "top level is not an object"},
        {"{\"MIDIButtons\":{\"12\":[1,2,-1,0,0,0,0,0],\"13\":7}}", "\"13\""},
        {"{\"MIDIButtons\":{\"12\":[1,2,-1,0,0,0,0,0],\"13\":[1,\"x\",0,0,0,0,0,0]}}", "not a whole number"},
        {"{\"MIDIButtons\":{\"12\":[1,2.5,-1,0,0,0,0,0]}}", "not a whole number"},
        {"{\"MIDIButtons\":{\"12\":[1,20000,-1,0,0,0,0,0]}}", "outside"},
        {"{\"MIDIButtons\":{\"12\":[1,18446744073709551615,-1,0,0,0,0,0]}}", "outside"},
        {"{\"MIDIButtons\":[]}", "not an object"},
        {"{\"QX2Effects1\":[]}", "no \"MIDIButtons\""},
        {"{}", "no \"MIDIButtons\""},
        {"{\"MIDIButtons\":{\"12\":[1,2,", "not JSON"},
        {"", "not JSON"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = restore(c.text);
        EXPECT_FALSE(outcome.success) << c.text;
        EXPECT_NE(outcome.text.find("is not a configuration file"), std::string::npos) << outcome.text;
        EXPECT_NE(outcome.text.find(c.reason), std::string::npos) << outcome.text;
    }
    EXPECT_EQ(commands.count(), 0u);
    EXPECT_TRUE(lines.empty());
}

TEST_F(Restore, DeeplyNestedMemberIsRefusedWithoutPrintingItBack)
{
    const std::size_t depth = 100000;
    const Outcome outcome =
        restore("{\"MIDIButtons\":{\"0\":[" + std::string(depth, '[') + std::string(depth, ']') + "]}}");
    EXPECT_FALSE(outcome.success);
    EXPECT_NE(outcome.text.find("holds a list, which is not a whole number"), std::string::npos) << outcome.text;
    EXPECT_EQ(commands.count(), 0u);
}

TEST_F(Restore, UnreadableFileIsReported)
{
    const Outcome missing = config.applyConfigurationFile(folder / "absent.cfg");
    EXPECT_FALSE(missing.success);
    EXPECT_NE(missing.text.find("Could not read"), std::string::npos) << missing.text;
    const Outcome aFolder = config.applyConfigurationFile(folder.path());
    EXPECT_FALSE(aFolder.success);
    EXPECT_EQ(commands.count(), 0u);
}

}  // namespace
}  // namespace qx
