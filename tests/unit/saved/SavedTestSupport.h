#pragma once
// Shared by the saved-configuration tests: the looper's replies as bytes, a
// scratch folder, and a small stand-in looper that answers requests taken
// from a command queue.
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/Bytes.h"
#include "common/QXCommandQueue.h"
#include "config/SaveableConfigRecords.h"

namespace qx::test {

using Slots = std::array<std::int64_t, 8>;

// An eight-button (or any count) mapping report: first code, count, then the
// slots of each button.
Bytes blockReport(std::int64_t first, const std::vector<Slots>& buttons, std::size_t count);
inline Bytes blockReport(std::int64_t first, const std::vector<Slots>& buttons)
{
    return blockReport(first, buttons, buttons.size());
}
Bytes effectsReport(const Slots& bank1, const Slots& bank2);

// A distinct, recognisable mapping for each code (some slots -1).
Slots patternFor(std::size_t code);

// A fresh folder under the system's temporary folder, removed at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    std::vector<std::string> names() const;

private:
    std::filesystem::path path_;
};

std::string readText(const std::filesystem::path& path);
void writeText(const std::filesystem::path& path, const std::string& text);

// Answers mapping and effects requests from its own state, and takes mapping
// writes, on a thread of its own. Replies go straight onto the reply queue, as
// the decoder routes them. A silent one takes requests and answers nothing.
class StandInLooper {
public:
    StandInLooper(QXCommandQueue& requests, QXCommandQueue& replies) : requests_(requests), replies_(replies) {}
    ~StandInLooper() { stop(); }

    void start();
    void stop();

    std::array<Slots, kButtonCodes> buttons{};
    Slots bank1{};
    Slots bank2{};
    std::atomic<bool> silent{false};

    std::vector<Bytes> writesTaken() const;
    std::size_t requestsTaken() const { return requestsTaken_.load(); }

private:
    void answer(const Bytes& request);

    QXCommandQueue& requests_;
    QXCommandQueue& replies_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> requestsTaken_{0};
    mutable std::mutex lock_;
    std::vector<Bytes> writes_;
    std::thread thread_;
};

}  // namespace qx::test
