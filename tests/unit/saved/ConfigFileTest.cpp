// The saved file's shape, and that writing it never loses the previous one.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <nlohmann/json.hpp>

#include "SavedTestSupport.h"
#include "common/MainQueue.h"
#include "config/AtomicFile.h"
#include "config/ConfigFile.h"
#include "config/SaveableConfig.h"

namespace qx {
namespace {

using Json = nlohmann::json;

class SavedFile : public ::testing::Test {
protected:
    void fillButtons()
    {
        for (std::size_t code = 0; code < kButtonCodes; ++code) {
            config.btnConfig[code].effects = test::patternFor(code);
            config.btnConfig[code].valid = true;
        }
    }

    QXCommandQueue commands;
    ManualMainQueue ui;
    QXSaveableConfig config{commands, ui};
    test::ScratchFolder folder;
};

TEST_F(SavedFile, HoldsEveryButtonUnderItsDecimalCodeAndNothingElse)
{
    fillButtons();
    const Outcome outcome = config.writeConfigurationFile(folder / "looper.cfg");
    ASSERT_TRUE(outcome.success) << outcome.text;
    EXPECT_NE(outcome.text.find("384"), std::string::npos);
    EXPECT_NE(outcome.text.find((folder / "looper.cfg").string()), std::string::npos);

    const Json file = Json::parse(test::readText(folder / "looper.cfg"));
    ASSERT_TRUE(file.is_object());
    EXPECT_EQ(file.size(), 3u);
    const Json& buttons = file.at("MIDIButtons");
    ASSERT_EQ(buttons.size(), 384u);
    for (std::size_t code = 0; code < kButtonCodes; ++code) {
        const Json& slots = buttons.at(std::to_string(code));
        ASSERT_EQ(slots.size(), 8u);
        EXPECT_EQ(slots.get<test::Slots>(), test::patternFor(code)) << "code " << code;
    }
}

TEST_F(SavedFile, IsCompactAndKeepsEmptyBanksWhenNoEffectsReportCame)
{
    ASSERT_TRUE(config.writeConfigurationFile(folder / "looper.cfg").success);
    const std::string text = test::readText(folder / "looper.cfg");
    EXPECT_EQ(text.find_first_of(" \n\t\r"), std::string::npos);
    EXPECT_NE(text.find("\"QX2Effects1\":[]"), std::string::npos);
    EXPECT_NE(text.find("\"QX2Effects2\":[]"), std::string::npos);
    EXPECT_NE(text.find("\"0\":[0,0,0,0,0,0,0,0]"), std::string::npos);
}

TEST_F(SavedFile, CarriesBothBanksAsRead)
{
    config.responseQueue.enqueue(test::effectsReport({48, -1, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 2103}));
    config.runPass();
    ASSERT_TRUE(config.writeConfigurationFile(folder / "looper.cfg").success);
    const std::string text = test::readText(folder / "looper.cfg");
    EXPECT_NE(text.find("\"QX2Effects1\":[48,-1,0,0,0,0,0,0]"), std::string::npos);
    EXPECT_NE(text.find("\"QX2Effects2\":[0,0,0,0,0,0,0,2103]"), std::string::npos);
}

TEST_F(SavedFile, WrittenFileReadsBackToTheSameMappings)
{
    fillButtons();
    const auto members = readButtonMembers(configurationFileText(config.btnConfig, config.qx2EffectsConfig));
    ASSERT_TRUE(std::holds_alternative<ButtonMembers>(members));
    std::size_t seen = 0;
    for (const ButtonMember& member : std::get<ButtonMembers>(members)) {
        const auto code = buttonCodeFromKey(member.key);
        ASSERT_TRUE(code);
        EXPECT_TRUE(std::ranges::equal(member.values, test::patternFor(static_cast<std::size_t>(*code))));
        ++seen;
    }
    EXPECT_EQ(seen, kButtonCodes);
}

TEST_F(SavedFile, ReplacesAnOlderFileAndKeepsItsPermissions)
{
    const auto target = folder / "looper.cfg";
    test::writeText(target, "old");
    ::chmod(target.c_str(), 0600);
    ASSERT_TRUE(config.writeConfigurationFile(target).success);
    EXPECT_EQ(test::readText(target).substr(0, 2), "{\"");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"looper.cfg"});
}

// Root ignores permission bits, so the write is made to fail by a file size
// limit: the kernel refuses the bytes past it, as a full disk would.
TEST_F(SavedFile, FailedWriteLeavesTheOldFileWholeAndNoTemporaryFile)
{
    const auto target = folder / "looper.cfg";
    const std::string old = "{\"MIDIButtons\":{\"0\":[1,1,1,1,1,1,1,1]}}";
    test::writeText(target, old);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Outcome outcome = config.writeConfigurationFile(target);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(outcome.success);
    EXPECT_NE(outcome.text.find("Could not write"), std::string::npos) << outcome.text;
    EXPECT_EQ(test::readText(target), old);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"looper.cfg"});
}

TEST_F(SavedFile, UnwritablePlacesAreReportedWithTheReason)
{
    std::filesystem::create_directory(folder / "taken");
    const Outcome intoFolder = config.writeConfigurationFile(folder / "taken");
    EXPECT_FALSE(intoFolder.success);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "taken"));
    const Outcome missing = config.writeConfigurationFile(folder / "no-such-folder" / "looper.cfg");
    EXPECT_FALSE(missing.success);
    EXPECT_NE(missing.text.find("no-such-folder"), std::string::npos) << missing.text;
    EXPECT_EQ(folder.names(), std::vector<std::string>{"taken"});
}

TEST(ButtonKeys, AcceptOnlyASignedDecimalCodeFrom0To383)
{
    EXPECT_EQ(buttonCodeFromKey("0"), 0);
    EXPECT_EQ(buttonCodeFromKey("383"), 383);
    EXPECT_EQ(buttonCodeFromKey("+12"), 12);
    EXPECT_EQ(buttonCodeFromKey("007"), 7);
    EXPECT_EQ(buttonCodeFromKey("-0"), 0);
    for (const char* key : {"", "+", "-", "abc", "-3", "384", "400", "12a", " 12", "1.0", "99999999999999999999999"})
        EXPECT_FALSE(buttonCodeFromKey(key)) << key;
}

}  // namespace
}  // namespace qx
