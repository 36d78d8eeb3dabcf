#include "model/Observable.h"

#include <cstdio>
#include <mutex>
#include <random>

namespace qx {

std::string makeUuid()
{
    static std::mutex lock;
    static std::mt19937_64 generator{std::random_device{}()};
    std::uint64_t hi, lo;
    {
        std::lock_guard guard(lock);
        hi = generator();
        lo = generator();
    }
    hi = (hi & ~0xF000ULL) | 0x4000ULL;
    lo = (lo & ~(0xC000ULL << 48)) | (0x8000ULL << 48);
    char text[37];
    std::snprintf(text, sizeof text, "%08llx-%04llx-%04llx-%04llx-%012llx",
                  static_cast<unsigned long long>(hi >> 32),
                  static_cast<unsigned long long>((hi >> 16) & 0xFFFF),
                  static_cast<unsigned long long>(hi & 0xFFFF),
                  static_cast<unsigned long long>(lo >> 48),
                  static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFULL));
    return text;
}

}  // namespace qx
