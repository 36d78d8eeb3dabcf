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

// Nothing while it runs, then one line saying where it ended; none for a job
// that never began, and nothing after the end.
TEST(ProgressBar, AwayFromATerminalItIsOneLineAtTheEnd)
{
    Written out;
    ProgressBar bar("save", out.file(), false);
    bar.show(0.0);
    bar.show(1.0);
    EXPECT_EQ(out.text(), "");
    bar.finish();
    bar.finish();
    ProgressBar stopped("upgrade", out.file(), false);
    stopped.show(0.374);
    stopped.finish();
    stopped.show(0.9);
    ProgressBar refused("restore", out.file(), false);
    refused.show(0.0);
    refused.finish();
    EXPECT_EQ(out.text(), "save 100%\nupgrade 37%\n");
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
