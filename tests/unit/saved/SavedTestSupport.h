#pragma once
// Shared by the saved-configuration tests: the looper's replies as bytes, a
// scratch folder and a fixture holding one configuration.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "common/MainQueue.h"
#include "config/SaveableConfig.h"
#include "midi/Messages.h"
#include "midi/SysExCodec.h"
#include "support/Hex.h"

namespace qx::test {

using Slots = std::array<std::int64_t, 8>;

// A mapping report: first code, the count it claims, then eight slots a button.
inline Bytes blockReport(std::int64_t first, const std::vector<Slots>& buttons, std::size_t count)
{
    Bytes payload;
    sysex::appendPair(payload, first);
    payload.push_back(static_cast<std::uint8_t>(count));
    for (const Slots& slots : buttons)
        for (auto v : slots) sysex::appendPair(payload, v);
    return sysex::message(msg::kButtonReport, payload);
}
inline Bytes blockReport(std::int64_t first, const std::vector<Slots>& b) { return blockReport(first, b, b.size()); }

inline Bytes effectsReport(const Slots& bank1, const Slots& bank2)
{
    Bytes payload{0x08};
    for (const Slots* bank : {&bank1, &bank2})
        for (auto v : *bank) sysex::appendPair(payload, v);
    return sysex::message(msg::kEffects, payload);
}

// A distinct, recognisable mapping for each code (some slots -1).
inline Slots patternFor(std::size_t code)
{
    Slots slots{};
    for (std::size_t i = 0; i < slots.size(); ++i)
        slots[i] = (code + i) % 5 == 0 ? -1 : static_cast<std::int64_t>((code * 7 + i * 131) % 2200);
    return slots;
}

inline std::vector<Bytes> drain(QXCommandQueue& queue)
{
    std::vector<Bytes> out;
    for (Bytes m = queue.dequeue(); !m.empty(); m = queue.dequeue()) out.push_back(m);
    return out;
}

inline std::string readText(const std::filesystem::path& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}
inline void writeText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A fresh folder under the system's temporary folder, removed at the end.
struct ScratchFolder {
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qx-saved-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path operator/(const std::string& name) const { return path / name; }
    std::ptrdiff_t entries() const { return std::distance(std::filesystem::directory_iterator(path), {}); }
    std::filesystem::path path;
};

// One configuration with nothing read yet, its command queue, a folder, and
// time as the configuration sees it, moved only by the test.
class SavedConfigTest : public ::testing::Test {
protected:
    SaveableConfigTiming fakeTime()
    {
        using namespace std::chrono;
        return {.wait = milliseconds(1), .now = [this] { return steady_clock::time_point(milliseconds(clockMs.load())); }};
    }

    std::atomic<std::int64_t> clockMs{0};
    QXCommandQueue commands;
    ManualMainQueue ui;
    QXSaveableConfig config{commands, ui, fakeTime()};
    ScratchFolder folder;
};

}  // namespace qx::test
