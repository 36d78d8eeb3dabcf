#pragma once
// A trace of every message sent and received, for bug reports: one line
// each, with the local time, the direction, the link (a MIDI port or an
// address) and the bytes in hex. Written from any link thread; a trace stops
// growing at kLimit bytes, with a last line saying so.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace qx {

class TrafficTrace {
public:
    static constexpr std::uint64_t kLimit = 256ull * 1024 * 1024;
    enum class Direction { sent, received };

    // Throws std::runtime_error saying why when the file cannot be written.
    static std::shared_ptr<TrafficTrace> open(const std::string& path);
    ~TrafficTrace();
    TrafficTrace(const TrafficTrace&) = delete;
    TrafficTrace& operator=(const TrafficTrace&) = delete;

    void record(Direction direction, const std::string& link, std::span<const std::uint8_t> bytes);

    // The line record() writes, without the time.
    static std::string describe(Direction direction, const std::string& link, std::span<const std::uint8_t> bytes);

private:
    explicit TrafficTrace(std::FILE* file) : file_(file) {}
    std::mutex lock_;
    std::FILE* file_;
    std::uint64_t written_ = 0;
};

}  // namespace qx
