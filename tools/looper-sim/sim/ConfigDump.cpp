#include "sim/ConfigDump.h"

#include <nlohmann/json.hpp>

namespace qx::sim {

std::string configurationJson(LooperEngine& engine)
{
    nlohmann::json buttons = nlohmann::json::object();
    for (int code = 0; code < kButtonCodes; ++code) {
        const FunctionSlots slots = engine.mapping(code);
        buttons[std::to_string(code)] = std::vector<std::int64_t>(slots.begin(), slots.end());
    }
    const EffectBanks banks = engine.effects();
    nlohmann::json file = {
        {"MIDIButtons", std::move(buttons)},
        {"QX2Effects1", std::vector<std::int64_t>(banks.bank1.begin(), banks.bank1.end())},
        {"QX2Effects2", std::vector<std::int64_t>(banks.bank2.begin(), banks.bank2.end())},
    };
    return file.dump();
}

}  // namespace qx::sim
