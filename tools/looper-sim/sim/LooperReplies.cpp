#include "sim/LooperReplies.h"

#include <algorithm>

#include "protocol/Messages.h"
#include "protocol/SysExCodec.h"

namespace qx::sim::reply {

Bytes statusReport(int trackCount, int selected, std::span<const SimTrack> tracks)
{
    Bytes payload;
    payload.push_back(static_cast<std::uint8_t>(trackCount & 0x7F));
    payload.push_back(static_cast<std::uint8_t>(selected & 0x7F));
    for (std::size_t i = 0; i < 4; ++i) {
        const SimTrack track = i < tracks.size() ? tracks[i] : SimTrack{};
        payload.push_back(static_cast<std::uint8_t>(track.state));
        payload.push_back(track.level & 0x7F);
        payload.push_back(track.pan & 0x7F);
        payload.push_back(track.feedback & 0x7F);
        sysex::appendFiveGroups(payload, track.length);
        sysex::appendFiveGroups(payload, track.position);
    }
    return sysex::message(msg::kStatus, payload);
}

Bytes logText(std::string_view text)
{
    Bytes payload(text.begin(), text.end());
    std::replace_if(payload.begin(), payload.end(), [](std::uint8_t b) { return b >= 0x80; }, std::uint8_t{'?'});
    return sysex::message(msg::kLog, payload);
}

Bytes informationText(std::string_view identity)
{
    Bytes payload(identity.begin(), identity.end());
    std::replace_if(payload.begin(), payload.end(), [](std::uint8_t b) { return b == 0 || b >= 0x80; },
                    std::uint8_t{'?'});
    payload.push_back(0x00);
    return sysex::message(msg::kInfoText, payload);
}

Bytes settingsSlice(std::uint8_t number, const SliceData& data)
{
    Bytes payload{static_cast<std::uint8_t>(number & 0x7F)};
    sysex::appendPackedGroups(payload, data);
    return sysex::message(msg::kSliceReport, payload);
}

Bytes buttonReport(int firstCode, std::span<const FunctionSlots> buttons)
{
    Bytes payload;
    sysex::appendPair(payload, firstCode);
    payload.push_back(static_cast<std::uint8_t>(buttons.size() & 0x7F));
    for (const FunctionSlots& slots : buttons)
        for (std::int64_t value : slots) sysex::appendPair(payload, value);
    return sysex::message(msg::kButtonReport, payload);
}

Bytes effectsReport(const EffectBanks& banks)
{
    Bytes payload{0x08};
    for (std::int64_t value : banks.bank1) sysex::appendPair(payload, value);
    for (std::int64_t value : banks.bank2) sysex::appendPair(payload, value);
    return sysex::message(msg::kEffects, payload);
}

Bytes buttonEvent(std::uint8_t kindCode, std::uint8_t number)
{
    const std::uint8_t payload[] = {static_cast<std::uint8_t>(kindCode & 0x7F),
                                    static_cast<std::uint8_t>(number & 0x7F), 0x00};
    return sysex::message(msg::kButtonEvent, payload);
}

}  // namespace qx::sim::reply
