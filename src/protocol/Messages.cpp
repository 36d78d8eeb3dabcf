#include "protocol/Messages.h"

#include "protocol/SysExCodec.h"

namespace qx::msg {

Bytes statusRequest() { return sysex::message(kStatus); }
Bytes logRequest() { return sysex::message(kLog); }
Bytes effectsRequest() { return sysex::message(kEffects); }
Bytes informationRequest() { return sysex::message(kInfoRequest); }

Bytes settingsSliceRequest(std::uint8_t slice)
{
    const std::uint8_t payload[] = {slice};
    return sysex::message(kSliceRequest, payload);
}

Bytes settingWrite(std::uint8_t type, std::uint8_t value)
{
    const std::uint8_t payload[] = {value};
    return sysex::message(type, payload);
}

Bytes effectsWrite(const Bank& bank1, const Bank& bank2)
{
    Bytes payload{0x08};
    for (auto v : bank1) sysex::appendPair(payload, v);
    for (auto v : bank2) sysex::appendPair(payload, v);
    return sysex::message(kEffectsWrite, payload);
}

Bytes buttonMappingRequest(std::int64_t firstCode, std::uint8_t count)
{
    Bytes payload;
    sysex::appendPair(payload, firstCode);
    payload.push_back(count);
    return sysex::message(kButtonRequest, payload);
}

Bytes buttonMappingWrite(std::int64_t code, const Bank& functions)
{
    Bytes payload;
    sysex::appendPair(payload, code);
    for (auto v : functions) sysex::appendPair(payload, v);
    return sysex::message(kButtonWrite, payload);
}

}  // namespace qx::msg
