#pragma once
// The progress of an upgrade, save or restore on standard error. On a
// terminal it is a bar redrawn in place; otherwise (a pipe, a file, a log)
// nothing is written while it runs and one line at the end says where it
// stopped: "save 100%". Away from a terminal, a job that never got past 0%
// (refused, or stopped before its first step) leaves no line: its outcome
// says it all.
#include <unistd.h>

#include <cstdio>
#include <string>

namespace qx::cli {

class ProgressBar {
public:
    explicit ProgressBar(std::string label, std::FILE* out = stderr)
        : ProgressBar(std::move(label), out, ::isatty(::fileno(out)) == 1)
    {
    }
    ProgressBar(std::string label, std::FILE* out, bool terminal)
        : label_(std::move(label)), out_(out), terminal_(terminal)
    {
    }

    // fraction: 0 to 1.
    void show(double fraction)
    {
        if (finished_) return;
        fraction_ = fraction < 0 ? 0 : fraction > 1 ? 1 : fraction;
        shown_ = true;
        if (terminal_) draw();
    }
    // Ends the bar's line; away from a terminal, writes the one line.
    void finish()
    {
        if (finished_) return;
        finished_ = true;
        if (terminal_ && shown_) std::fputs("\n", out_);
        if (!terminal_ && fraction_ > 0) std::fprintf(out_, "%s %d%%\n", label_.c_str(), percent());
        std::fflush(out_);
    }

private:
    int percent() const { return static_cast<int>(fraction_ * 100 + 0.5); }
    void draw()
    {
        constexpr int width = 40;
        const int filled = static_cast<int>(fraction_ * width + 0.5);
        std::fprintf(out_, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(width - filled), '-').c_str(), percent());
        std::fflush(out_);
    }

    std::string label_;
    std::FILE* out_;
    bool terminal_;
    double fraction_ = 0;
    bool shown_ = false;
    bool finished_ = false;
};

}  // namespace qx::cli
