// The common decoder of every SysEx message, from MIDI or from a datagram,
// with every model attached and the UI queue drained after each message so
// that the model updates run too.
//
// Input: one control byte, then the messages. Bits 0-3 of the control byte
// are the silence count the first message meets (4 or more makes a status
// report ask for the configuration again); bit 4 set hands the rest over as
// one message, the way a datagram arrives, else it is cut after every 0xF7,
// the way the MIDI read procedure cuts it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "FuzzSupport.h"
#include "common/MainQueue.h"
#include "common/QXCommandQueue.h"
#include "config/MIDIButtonConfig.h"
#include "config/MiscConfig.h"
#include "config/QX2Effects.h"
#include "midi/QXInterface.h"
#include "model/DisplayModels.h"
#include "model/Tracks.h"

using qx::fuzz::require;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qx::fuzz::silenceConsole();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::uint8_t control = data[0];
    const std::span<const std::uint8_t> messages(data + 1, size - 1);

    qx::ManualMainQueue ui;
    qx::QXCommandQueue responses;
    qx::QXInterface link(ui, nullptr);
    link.attachResponseQueue(&responses);
    link.tracksModel = std::make_shared<qx::Tracks>();
    link.completionModel = std::make_shared<qx::CompletionPercent>();
    link.qxInfoString = std::make_shared<qx::ObservableText>();
    link.logModel = std::make_shared<qx::LogText>();
    link.qxMIDIButtons = std::make_shared<qx::MIDIButtonConfig>(link.cmdQueue);
    link.qxMIDIButtons->currentBtn = 0;
    link.qxMiscConfig = std::make_shared<qx::MiscConfigModel>(link.cmdQueue, qx::MiscConfigStruct{});
    link.attachEffectsModels(std::make_shared<qx::QX2Effects>(), std::make_shared<qx::QX2Effects>());
    link.pollTries.store(control & 0x0F);

    auto decode = [&](std::span<const std::uint8_t> message) {
        link.handleSysEx(message);
        ui.drain();
    };
    if (control & 0x10) {
        decode(messages);
    } else {
        std::size_t start = 0;
        for (std::size_t i = 0; i < messages.size(); ++i) {
            if (messages[i] != 0xF7) continue;
            decode(messages.subspan(start, i + 1 - start));
            start = i + 1;
        }
        if (start < messages.size()) decode(messages.subspan(start));
    }

    // Whatever arrived, the track grid keeps its rows, and every
    // message the decoder queued for the looper is a whole SysEx message.
    const std::size_t rows = link.tracksModel->tracks().size();
    require(rows == qx::Tracks::kCount, "the track grid keeps its rows");
    for (qx::Bytes queued = link.cmdQueue.dequeue(); !queued.empty(); queued = link.cmdQueue.dequeue())
        require(queued.front() == 0xF0 && queued.back() == 0xF7, "queued requests are whole messages");
    for (qx::Bytes routed = responses.dequeue(); !routed.empty(); routed = responses.dequeue())
        require(routed.size() >= 39 && routed[1] == 0x00 && routed[2] == 0x02 && routed[3] == 0x33,
                "only the looper's configuration reports are routed to the transfer");
    return 0;
}
