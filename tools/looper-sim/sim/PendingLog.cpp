#include "sim/PendingLog.h"

namespace qx::sim {

void PendingLog::append(std::string_view text)
{
    text_.append(text);
    if (text_.size() > kCapacity) text_.erase(0, text_.size() - kCapacity);
}

std::string PendingLog::take(std::size_t maxBytes)
{
    if (maxBytes == 0) return {};
    std::size_t cut = text_.size();
    if (cut > maxBytes) {
        const std::size_t lineEnd = text_.rfind('\n', maxBytes - 1);
        cut = lineEnd == std::string::npos ? maxBytes : lineEnd + 1;
    }
    std::string taken = text_.substr(0, cut);
    text_.erase(0, cut);
    return taken;
}

}  // namespace qx::sim
