// The common decoder of every SysEx message, from MIDI or from a datagram,
// and the report router behind it with every model of a session, the UI
// queue drained after each message so that the model updates run too.
//
// Input: one control byte, then the messages. Bits 0-3 of the control byte
// are the MIDI silence count the first message meets (4 or more makes a
// status report ask for the configuration again); bit 4 set hands the rest
// over as one message, the way a datagram arrives, else it is cut after every
// 0xF7, the way the MIDI read procedure cuts it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "common/MainQueue.h"
#include "common/QXCommandQueue.h"
#include "model/Tracks.h"
#include "protocol/LooperReport.h"
#include "session/ReportRouter.h"
#include "session/SessionModels.h"
#include "transport/LinkArbiter.h"

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
    qx::QXCommandQueue commands;
    qx::SessionModels models(commands);
    models.button->currentBtn = 0;  // a one-button report of code 0 reaches the button tab
    qx::LinkArbiter arbiter;
    qx::EffectsRequests effects;
    std::vector<qx::Bytes> routed;  // what reaches the configuration transfer
    qx::ReportRouter router(ui, models, {commands, arbiter, effects, router},
                            [&routed](qx::Bytes reply) { routed.push_back(std::move(reply)); }, {});
    arbiter.setUnanswered(qx::Transport::midi, control & 0x0F);

    auto decode = [&](std::span<const std::uint8_t> message) {
        router.received(qx::Transport::midi, qx::decodeSysEx(message));
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
    // message the router queued for the looper is a whole SysEx message.
    require(models.tracks->tracks().size() == qx::Tracks::kCount, "the track grid keeps its rows");
    for (qx::Bytes queued = commands.dequeue(); !queued.empty(); queued = commands.dequeue())
        require(queued.front() == 0xF0 && queued.back() == 0xF7, "queued requests are whole messages");
    for (const qx::Bytes& reply : routed)
        require(reply.size() >= 39 && reply[1] == 0x00 && reply[2] == 0x02 && reply[3] == 0x33,
                "only the looper's configuration reports are routed to the transfer");
    return 0;
}
