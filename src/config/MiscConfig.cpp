#include "config/MiscConfig.h"

#include "common/ConsoleLine.h"
#include "common/ConsoleTexts.h"
#include "protocol/Messages.h"

namespace qx {
namespace {

std::int64_t inClockCode(std::int64_t mode) { return mode == 0 ? 4 : mode == 1 ? 3 : 0; }
std::int64_t outClockCode(std::int64_t mode) { return mode == 0 ? 1 : mode == 1 ? 2 : 0; }

}  // namespace

MiscConfigStruct defaultMiscConfig()
{
    MiscConfigStruct config;
    config.midiChannel = 1;
    return config;
}

void MiscConfigModel::sendChangedSettings()
{
    const MiscConfigStruct& now = currentConfig;
    const MiscConfigStruct& was = oldConfig;
    auto queue = [this](std::uint8_t type, std::int64_t value) {
        // The value travels as one SysEx data byte (below 0x80); a value that
        // does not fit would break the message, so it is never sent.
        if (value < 0 || value > 0x7F) return;
        commands_.enqueue(msg::settingWrite(type, static_cast<std::uint8_t>(value)));
    };
    if (now.qx2Brightness != was.qx2Brightness) queue(msg::kBrightnessWrite, now.qx2Brightness);
    if (now.qx2DisplayType != was.qx2DisplayType) queue(msg::kDisplayTypeWrite, now.qx2DisplayType);
    if (now.midiInClockMode != was.midiInClockMode) queue(msg::kClockModeWrite, inClockCode(now.midiInClockMode));
    if (now.midiOutClockMode != was.midiOutClockMode) queue(msg::kClockModeWrite, outClockCode(now.midiOutClockMode));
    if (now.midiChannel != was.midiChannel) {
        if (now.midiChannel < 0) consoleLine({console::kMidiChannelError, now.midiChannel});
        else queue(msg::kMidiChannelWrite, now.midiChannel);
    }
    if (now.noiseGateLevel != was.noiseGateLevel) queue(msg::kNoiseGateWrite, now.noiseGateLevel);
    oldConfig = currentConfig;
}

void MiscConfigModel::applyReport(const SettingsReport& report)
{
    auto take = [](const std::optional<std::int64_t>& value, std::int64_t& field) {
        if (value) field = *value;
    };
    take(report.brightness, reported_.qx2Brightness);
    take(report.displayType, reported_.qx2DisplayType);
    take(report.inClockMode, reported_.midiInClockMode);
    take(report.outClockMode, reported_.midiOutClockMode);
    take(report.midiChannel, reported_.midiChannel);
    take(report.noiseGate, reported_.noiseGateLevel);
    currentConfig = oldConfig = reported_;
    if (report.slice == 0) ++slice0Taken_;
    if (report.slice == 72) ++slice72Taken_;
}

}  // namespace qx
