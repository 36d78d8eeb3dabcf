#include "SavedTestSupport.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>

#include "midi/Messages.h"
#include "midi/SysExCodec.h"

namespace qx::test {

Bytes blockReport(std::int64_t first, const std::vector<Slots>& buttons, std::size_t count)
{
    Bytes payload;
    sysex::appendPair(payload, first);
    payload.push_back(static_cast<std::uint8_t>(count));
    for (const Slots& slots : buttons)
        for (auto v : slots) sysex::appendPair(payload, v);
    return sysex::message(msg::kButtonReport, payload);
}

Bytes effectsReport(const Slots& bank1, const Slots& bank2)
{
    Bytes payload{0x08};
    for (auto v : bank1) sysex::appendPair(payload, v);
    for (auto v : bank2) sysex::appendPair(payload, v);
    return sysex::message(msg::kEffects, payload);
}

Slots patternFor(std::size_t code)
{
    Slots slots{};
    for (std::size_t i = 0; i < slots.size(); ++i)
        slots[i] = (code + i) % 5 == 0 ? -1 : static_cast<std::int64_t>((code * 7 + i * 131) % 2200);
    return slots;
}

ScratchFolder::ScratchFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "qx-saved-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchFolder::names() const
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) found.push_back(entry.path().filename());
    return found;
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

void StandInLooper::start()
{
    stop_.store(false);
    thread_ = std::thread([this] {
        // Bounded: a test that forgets to stop it still ends.
        for (int turn = 0; turn < 200000 && !stop_.load(); ++turn) {
            Bytes request = requests_.dequeue();
            if (request.empty()) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            ++requestsTaken_;
            if (!silent.load()) answer(request);
        }
    });
}

void StandInLooper::stop()
{
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
}

std::vector<Bytes> StandInLooper::writesTaken() const
{
    std::lock_guard guard(lock_);
    return writes_;
}

void StandInLooper::answer(const Bytes& request)
{
    const std::uint8_t type = request[sysex::kTypeOffset];
    if (type == msg::kEffects && request.size() == 6) {
        replies_.enqueue(effectsReport(bank1, bank2));
    } else if (type == msg::kButtonRequest && request.size() == 9) {
        const auto first = static_cast<std::size_t>(sysex::decodePair(request[5], request[6]));
        std::vector<Slots> block;
        for (std::size_t k = 0; k < request[7] && first + k < buttons.size(); ++k) block.push_back(buttons[first + k]);
        replies_.enqueue(blockReport(static_cast<std::int64_t>(first), block));
    } else if (type == msg::kButtonWrite && request.size() == 24) {
        const auto code = static_cast<std::size_t>(sysex::decodePair(request[5], request[6]));
        for (std::size_t i = 0; i < 8; ++i) buttons[code][i] = sysex::decodePair(request[7 + 2 * i], request[8 + 2 * i]);
        std::lock_guard guard(lock_);
        writes_.push_back(request);
    }
}

}  // namespace qx::test
