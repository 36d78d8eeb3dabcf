// The looper's configuration replies: effect banks, button mappings, button
// events and settings slices.
#include "midi/QXInterface.h"
#include "midi/SettingsSlice.h"
#include "midi/SysExCodec.h"

namespace qx {
namespace {

constexpr std::size_t kEffectsReportLength = 39;

FunctionValues pairsAt(std::span<const std::uint8_t> message, std::size_t offset, std::size_t count)
{
    FunctionValues values;
    for (std::size_t i = 0; i < count; ++i)
        values.push_back(sysex::pairAt(message, offset + 2 * i).value_or(-1));
    return values;
}

std::array<std::int64_t, 8> toBank(const FunctionValues& values)
{
    std::array<std::int64_t, 8> bank{};
    for (std::size_t i = 0; i < bank.size(); ++i) bank[i] = values[i];
    return bank;
}

}  // namespace

void QXInterface::handleEffectsReport(std::span<const std::uint8_t> message)
{
    // Too short to decode: dropped whole, not even handed to the transfer.
    if (message.size() < kEffectsReportLength) return;
    if (auto* queue = responseQueue_.load()) queue->enqueue(Bytes(message.begin(), message.end()));
    const FunctionValues bank1 = pairsAt(message, 6, 8);
    const FunctionValues bank2 = pairsAt(message, 22, 8);
    {
        std::lock_guard guard(stateLock_);
        effects1_ = toBank(bank1);
        effects2_ = toBank(bank2);
    }
    mainQueue_.post([this, bank1, bank2] {
        if (auto model = qx2EffectsModel(1)) model->applyValues(bank1);
        if (auto model = qx2EffectsModel(2)) model->applyValues(bank2);
    });
}

void QXInterface::handleButtonReport(std::span<const std::uint8_t> message)
{
    if (message.size() == 137) {
        if (auto* queue = responseQueue_.load()) queue->enqueue(Bytes(message.begin(), message.end()));
        return;
    }
    // The one-button form is 25 bytes; anything shorter cannot hold the slots.
    constexpr std::size_t kOneButtonReportLength = 25;
    if (message.size() < kOneButtonReportLength) return;
    const std::int64_t code = sysex::decodePair(message[5], message[6]);
    const FunctionValues values = pairsAt(message, 8, 8);
    mainQueue_.post([this, code, values] {
        if (qxMIDIButtons) qxMIDIButtons->applyMapping(code, values);
    });
}

void QXInterface::handleButtonEvent(std::span<const std::uint8_t> message)
{
    static constexpr std::int64_t kinds[] = {0, 128, 256};
    if (message.size() < 9) return;
    const std::uint8_t kindCode = message[5];
    const std::int64_t kind = kindCode < 3 ? kinds[kindCode] : -1;
    const std::int64_t number = message[6];
    mainQueue_.post([this, kind, number] {
        if (qxMIDIButtons) qxMIDIButtons->receiveButtonEvent(kind, number);
    });
}

void QXInterface::handleSettingsSlice(std::span<const std::uint8_t> message)
{
    const SettingsSlice slice = decodeSettingsSlice(message);
    {
        std::lock_guard guard(stateLock_);
        applySliceToSettings(slice, qxMiscConfigCache_);
    }
    // Both records get the looper's values, as they are when the update runs,
    // so nothing counts as an edit.
    mainQueue_.post([this, sliceNum = slice.sliceNum] {
        if (qxMiscConfig) qxMiscConfig->applyReported(miscConfigCache(), sliceNum);
    });
}

}  // namespace qx
