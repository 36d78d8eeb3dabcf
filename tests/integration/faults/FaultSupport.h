#pragma once
// What the fault tests share: waiting while the UI queue runs, checking that
// a configuration file is whole, and making upgrade files.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/Bytes.h"
#include "common/MainQueue.h"

namespace qx::test {

using Json = nlohmann::json;

// Runs the UI queue until the condition holds or the time is up.
inline bool pumpUntil(ManualMainQueue& ui, const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        ui.drain();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        ui.waitAndDrain(std::chrono::milliseconds(10));
    }
}

inline std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> folderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    return names;
}

// Why the text is not a whole configuration file, or empty when it is: an
// object with exactly "MIDIButtons" (members "0" to "383", eight function
// numbers each), "QX2Effects1" and "QX2Effects2" (eight numbers, or none).
inline std::string configurationFault(const std::string& text)
{
    const Json top = Json::parse(text, nullptr, false);
    if (top.is_discarded()) return "not JSON";
    if (!top.is_object() || top.size() != 3) return "not an object of three members";
    auto functionNumbers = [](const Json& list, std::size_t count) {
        if (!list.is_array() || list.size() != count) return false;
        for (const Json& item : list)
            if (!item.is_number_integer() || item.get<std::int64_t>() < -1 || item.get<std::int64_t>() > 16383)
                return false;
        return true;
    };
    for (const char* bank : {"QX2Effects1", "QX2Effects2"}) {
        if (!top.contains(bank)) return std::string("no ") + bank;
        if (!functionNumbers(top[bank], 8) && !functionNumbers(top[bank], 0)) return std::string("bad ") + bank;
    }
    if (!top.contains("MIDIButtons") || !top["MIDIButtons"].is_object()) return "no MIDIButtons object";
    const Json& buttons = top["MIDIButtons"];
    if (buttons.size() != 384) return "MIDIButtons holds " + std::to_string(buttons.size()) + " members";
    for (int code = 0; code < 384; ++code) {
        const std::string key = std::to_string(code);
        if (!buttons.contains(key) || !functionNumbers(buttons[key], 8)) return "button " + key + " is not eight numbers";
    }
    return {};
}

// How many of the 384 button mappings differ between two configurations.
inline int differingButtons(const Json& a, const Json& b)
{
    int differ = 0;
    for (int code = 0; code < 384; ++code) {
        const std::string key = std::to_string(code);
        differ += a["MIDIButtons"][key] != b["MIDIButtons"][key];
    }
    return differ;
}

// An upgrade file of SysEx messages of a manufacturer the looper's panel
// protocol does not use, each numbered, so that every one is told apart.
inline Bytes sysexUpgradeFile(int messages, int messageSize)
{
    Bytes file;
    for (int m = 0; m < messages; ++m) {
        file.push_back(0xF0);
        file.push_back(0x7D);
        file.push_back(static_cast<std::uint8_t>(m >> 7));
        file.push_back(static_cast<std::uint8_t>(m & 0x7F));
        for (int i = 4; i < messageSize - 1; ++i) file.push_back(static_cast<std::uint8_t>((m + i) & 0x7F));
        file.push_back(0xF7);
    }
    return file;
}

inline void writeBytes(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string hexText(const Bytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text;
}

// The messages of a hex byte text ("F0 .. F7 F0 .. F7"), each as its text.
inline std::vector<std::string> splitMessages(const std::string& hex)
{
    std::vector<std::string> messages;
    std::istringstream items(hex);
    std::string message;
    for (std::string item; items >> item;) {
        message += (message.empty() ? "" : " ") + item;
        if (item == "F7") messages.push_back(std::move(message)), message.clear();
    }
    return messages;
}

// True when every item of part occurs in whole, in the same order, each once.
inline bool isOrderedSubset(const std::vector<std::string>& part, const std::vector<std::string>& whole)
{
    std::size_t at = 0;
    for (const std::string& item : part) {
        while (at < whole.size() && whole[at] != item) ++at;
        if (at == whole.size()) return false;
        ++at;
    }
    return true;
}

}  // namespace qx::test
