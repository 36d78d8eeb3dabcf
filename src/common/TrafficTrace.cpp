#include "common/TrafficTrace.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace qx {

std::shared_ptr<TrafficTrace> TrafficTrace::open(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) throw std::runtime_error("cannot write the trace file " + path + ": " + std::strerror(errno));
    return std::shared_ptr<TrafficTrace>(new TrafficTrace(file));
}

TrafficTrace::~TrafficTrace() { std::fclose(file_); }

std::string TrafficTrace::describe(Direction direction, const std::string& link, std::span<const std::uint8_t> bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line = direction == Direction::sent ? "sent [" : "received [";
    line += link;
    line += ']';
    for (std::uint8_t byte : bytes) {
        line += ' ';
        line += kHex[byte >> 4];
        line += kHex[byte & 0xF];
    }
    return line;
}

void TrafficTrace::record(Direction direction, const std::string& link, std::span<const std::uint8_t> bytes)
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[40];
    const std::size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(stamp + length, sizeof stamp - length, ".%03d ", static_cast<int>(millis));

    const std::string line = stamp + describe(direction, link, bytes) + "\n";
    std::lock_guard guard(lock_);
    if (written_ >= kLimit) return;
    written_ += line.size();
    std::fputs(line.c_str(), file_);
    if (written_ >= kLimit) std::fputs("trace stopped: it reached its size limit\n", file_);
    std::fflush(file_);
}

}  // namespace qx
