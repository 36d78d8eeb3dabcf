#pragma once
// Shared by the saved-configuration tests: the looper's replies as bytes and a
// fixture holding one configuration, a scratch folder, and time as the
// configuration sees it, moved only by the test.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/MainQueue.h"
#include "config/SaveableConfig.h"
#include "midi/Messages.h"
#include "midi/SysExCodec.h"
#include "support/Hex.h"

namespace qx::test {

using Slots = msg::Bank;

// A mapping report: first code, the count it claims (by default the number of
// buttons given), then eight slots a button.
inline Bytes blockReport(std::int64_t first, const std::vector<Slots>& buttons, int count = -1)
{
    Bytes payload;
    sysex::appendPair(payload, first);
    payload.push_back(static_cast<std::uint8_t>(count < 0 ? buttons.size() : static_cast<std::size_t>(count)));
    for (const Slots& slots : buttons)
        for (auto v : slots) sysex::appendPair(payload, v);
    return sysex::message(msg::kButtonReport, payload);
}

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

class SavedConfigTest : public ::testing::Test {
protected:
    SavedConfigTest()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qx-saved-XXXXXX").string();
        if (::mkdtemp(pattern.data())) folder = pattern;
    }
    ~SavedConfigTest() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    SaveableConfigTiming fakeTime()
    {
        using namespace std::chrono;
        return {.wait = milliseconds(1), .now = [this] { return steady_clock::time_point(milliseconds(clockMs.load())); }};
    }

    std::filesystem::path folder;
    std::atomic<std::int64_t> clockMs{0};
    QXCommandQueue commands;
    ManualMainQueue ui;
    QXSaveableConfig config{commands, ui, fakeTime()};
};

}  // namespace qx::test
