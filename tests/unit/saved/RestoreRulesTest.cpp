// Applying a saved file: only the mappings that differ from the looper's go
// out, each with its console line; anything that is not a configuration file
// restores nothing.
#include "SavedTestSupport.h"
#include "config/ConfigFile.h"
#include "config/MIDIButtonConfig.h"
#include "support/ConsoleCapture.h"

namespace qx {
namespace {

std::string buttonsFile(const std::string& members)
{
    return "{\"MIDIButtons\":{" + members + "},\"QX2Effects1\":[],\"QX2Effects2\":[]}";
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

TEST_F(Restore, FileEqualToTheLooperSendsNothingAndSaysNothing)
{
    for (std::size_t code = 0; code < kButtonCodes; ++code) config.btnConfig[code].effects = test::patternFor(code);
    const Outcome outcome = restore(configurationFileText(config.btnConfig, config.qx2EffectsConfig));
    EXPECT_EQ(outcome.text, "Restored from " + (folder / "looper.cfg").string() + ": 0 button mappings sent");
    EXPECT_EQ(commands.count(), 0u);
    EXPECT_TRUE(console.lines().empty());
}

TEST_F(Restore, ChangedButtonGetsOneWriteAndOneConsoleLineAndShowsOnItsTabFromTheUiThread)
{
    buttonTab.currentBtn = 12;
    const Outcome outcome = restore(buttonsFile("\"12\":[1,2,-1,0,0,0,0,0],\"13\":[0,0,0,0,0,0,0,0]"));
    EXPECT_TRUE(outcome.success);
    EXPECT_NE(outcome.text.find(": 1 button mapping sent"), std::string::npos) << outcome.text;
    EXPECT_EQ(test::drain(commands),
              std::vector<Bytes>{test::hex("F0 00 02 33 10 00 0C 00 01 00 02 7F 7F 00 00 00 00 00 00 00 00 00 00 F7")});
    EXPECT_EQ(console.lines(), std::vector<std::string>{"12 [1, 2, -1, 0, 0, 0, 0, 0]"});
    EXPECT_EQ(config.btnConfig[12].effects, test::Slots{}) << "what was sent is read back next time, not assumed";

    EXPECT_EQ(buttonTab.oldvalues, FunctionValues{}) << "the tab changes on the UI thread only";
    ui.drain();
    EXPECT_EQ(buttonTab.oldvalues, (FunctionValues{1, 2, -1, 0, 0, 0, 0, 0}));
}

TEST_F(Restore, MembersNamingNoButtonOrHoldingTooFewValuesAreSkipped)
{
    restore(buttonsFile("\"abc\":[1,1,1,1,1,1,1,1],\"-3\":[1,1,1,1,1,1,1,1],\"400\":[1,1,1,1,1,1,1,1],"
                        "\"\":[1,1,1,1,1,1,1,1],\"+5\":[2,2,2,2,2,2,2,2],\"007\":[1,2,3,4,5,6,7,8,9],\"9\":[1,2,3]"));
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"5 [2, 2, 2, 2, 2, 2, 2, 2]", "7 [1, 2, 3, 4, 5, 6, 7, 8, 9]",
                                                         "9 [1, 2, 3]"}));
    const auto sent = test::drain(commands);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][6], 5);
    EXPECT_EQ(sent[1], msg::buttonMappingWrite(7, {1, 2, 3, 4, 5, 6, 7, 8})) << "a long list is cut to eight";
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
