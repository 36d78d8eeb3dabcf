// The saved file's shape, and that writing it never loses the previous one.
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "SavedTestSupport.h"

namespace qx {
namespace {

using SavedFile = test::SavedConfigTest;

// Every member, its values and the banks read are checked where a whole save
// runs; here, what a file looks like when nothing was read.
TEST_F(SavedFile, IsCompactAndKeepsEmptyBanksWhenNoEffectsReportCame)
{
    ASSERT_TRUE(config.writeConfigurationFile(folder / "looper.cfg").success);
    const std::string text = test::readText(folder / "looper.cfg");
    EXPECT_EQ(text.find_first_of(" \n\t\r"), std::string::npos);
    EXPECT_NE(text.find("\"QX2Effects1\":[],\"QX2Effects2\":[]"), std::string::npos) << text.substr(0, 80);
    EXPECT_NE(text.find("\"383\":[0,0,0,0,0,0,0,0]"), std::string::npos);
}

// Root ignores permission bits, so the write is made to fail by a file size
// limit: the kernel refuses the bytes past it, as a full disk would.
TEST_F(SavedFile, ReplacingIsAllOrNothingAndKeepsThePermissions)
{
    const auto target = folder / "looper.cfg";
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
    EXPECT_EQ(folder.entries(), 1) << "no temporary file left";

    ASSERT_TRUE(config.writeConfigurationFile(target).success);
    EXPECT_EQ(test::readText(target).substr(0, 2), "{\"");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const Outcome missing = config.writeConfigurationFile(folder / "no-such-folder" / "looper.cfg");
    EXPECT_FALSE(missing.success);
    EXPECT_NE(missing.text.find("no-such-folder"), std::string::npos) << missing.text;
    EXPECT_EQ(folder.entries(), 1);
}

}  // namespace
}  // namespace qx
