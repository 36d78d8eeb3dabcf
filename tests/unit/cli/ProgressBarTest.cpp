// The progress bar: redrawn in place on a terminal; elsewhere one line at the
// end, so a log or a pipe gets no carriage returns.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "cli/ProgressBar.h"

namespace qx::cli {
namespace {

// What a bar writes into memory, as if to a terminal or not.
class Written {
public:
    Written() { file_ = ::open_memstream(&buffer_, &size_); }
    ~Written()
    {
        std::fclose(file_);
        std::free(buffer_);
    }
    std::FILE* file() { return file_; }
    std::string text()
    {
        std::fflush(file_);
        return std::string(buffer_, size_);
    }

private:
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_ = nullptr;
};

TEST(ProgressBar, AwayFromATerminalItIsOneLineAtTheEnd)
{
    Written out;
    ProgressBar bar("save", out.file(), false);
    bar.show(0.0);
    bar.show(0.42);
    bar.show(1.0);
    EXPECT_EQ(out.text(), "") << "nothing while it runs";
    bar.finish();
    bar.finish();
    EXPECT_EQ(out.text(), "save 100%\n");
}

TEST(ProgressBar, AwayFromATerminalTheLineSaysWhereItStopped)
{
    Written out;
    ProgressBar bar("upgrade", out.file(), false);
    bar.show(0.374);
    bar.finish();
    bar.show(0.9);  // after the end: nothing
    EXPECT_EQ(out.text(), "upgrade 37%\n");
}

TEST(ProgressBar, AwayFromATerminalAJobThatNeverBeganLeavesNoLine)
{
    Written out;
    ProgressBar refused("restore", out.file(), false);
    refused.show(0.0);
    refused.finish();
    ProgressBar silent("save", out.file(), false);
    silent.finish();
    EXPECT_EQ(out.text(), "");
}

TEST(ProgressBar, OnATerminalItIsRedrawnInPlaceAndEndsItsLine)
{
    Written out;
    ProgressBar bar("save", out.file(), true);
    bar.show(0.5);
    bar.show(1.0);
    bar.finish();
    EXPECT_EQ(out.text(), "\rsave [####################--------------------]  50%"
                          "\rsave [########################################] 100%\n");
}

}  // namespace
}  // namespace qx::cli
