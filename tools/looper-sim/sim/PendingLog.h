#pragma once
// Log text the looper has written and the panel has not fetched yet. Each log
// request takes the oldest part; unfetched text is bounded so that a looper
// left alone for hours does not grow without end.
#include <cstddef>
#include <string>
#include <string_view>

namespace qx::sim {

class PendingLog {
public:
    static constexpr std::size_t kCapacity = 64 * 1024;

    void append(std::string_view text);
    // Up to maxBytes of the oldest text, cut after a line end when one lies
    // within the limit; the rest stays for the next request.
    std::string take(std::size_t maxBytes);
    bool empty() const { return text_.empty(); }

private:
    std::string text_;
};

}  // namespace qx::sim
