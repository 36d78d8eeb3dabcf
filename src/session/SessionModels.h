#pragma once
// Every model a looper session owns. The window's views and qxctl read them
// and subscribe to them; only the session and the user's own edits change them.
#include <memory>

#include "common/QXCommandQueue.h"
#include "config/MIDIButtonConfig.h"
#include "config/MiscConfig.h"
#include "config/QX2Effects.h"
#include "model/DisplayModels.h"
#include "model/Tracks.h"

namespace qx {

struct SessionModels {
    explicit SessionModels(QXCommandQueue& commands)
        : settings(std::make_shared<MiscConfigModel>(commands, defaultMiscConfig())),
          button(std::make_shared<MIDIButtonConfig>(commands))
    {
    }

    std::shared_ptr<Tracks> tracks = std::make_shared<Tracks>();
    std::shared_ptr<CompletionPercent> progress = std::make_shared<CompletionPercent>();
    std::shared_ptr<ObservableText> deviceLine = std::make_shared<ObservableText>();
    // Why there is no MIDI ("No MIDI: ..."), said once; empty while MIDI is there.
    std::shared_ptr<ObservableText> midiNotice = std::make_shared<ObservableText>();
    std::shared_ptr<MidiDevices> midiDevices = std::make_shared<MidiDevices>();
    std::shared_ptr<LogText> log = std::make_shared<LogText>();
    std::shared_ptr<LinkStatus> linkStatus = std::make_shared<LinkStatus>();
    std::shared_ptr<CommandOutcome> outcome = std::make_shared<CommandOutcome>();
    std::shared_ptr<MiscConfigModel> settings;
    std::shared_ptr<MIDIButtonConfig> button;
    std::shared_ptr<QX2Effects> effects1 = std::make_shared<QX2Effects>();
    std::shared_ptr<QX2Effects> effects2 = std::make_shared<QX2Effects>();
};

}  // namespace qx
