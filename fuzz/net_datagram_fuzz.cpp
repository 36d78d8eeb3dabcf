// The network receive thread's handling of one datagram from the looper:
// decodeDatagram by its first byte (a compact status report 0x00, a text
// reply "<", a SysEx message 0xF0 for the common decoder, anything else
// dropped) and the report router behind it, with every model of a session.
// No link runs: no socket is opened.
//
// Whatever the datagram: only a report carrying the format mark 48000 counts
// as the looper's answer on the network (its silence count drops to 0) and
// carries at most its eight tracks, the log stays well-formed UTF-8, and the
// track grid keeps its rows.
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

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
    const std::span<const std::uint8_t> datagram(data, size);
    qx::ManualMainQueue ui;
    qx::QXCommandQueue commands;
    qx::SessionModels models(commands);
    qx::LinkArbiter arbiter;
    qx::EffectsRequests effects;
    qx::ReportRouter router(ui, models, {commands, arbiter, effects, router}, [](qx::Bytes) {}, {});
    arbiter.setUnanswered(qx::Transport::network, 3);

    qx::LooperReport report = qx::decodeDatagram(datagram);
    const auto* tracks = std::get_if<qx::TrackReport>(&report);
    const bool compact = tracks && tracks->form == qx::TrackReport::Form::compact;
    if (compact) require(tracks->tracks.size() <= 8, "a compact report carries at most its eight tracks");
    router.received(qx::Transport::network, std::move(report));
    ui.drain();

    const bool answer = size >= 8 && data[0] == 0x00 && data[1] == 0x00 && data[2] == 0xBB && data[3] == 0x80;
    require(compact == answer, "only a marked status report is a compact report");
    require(arbiter.unanswered(qx::Transport::network) == (answer ? 0 : 3), "only a marked status report is an answer");
    require(qx::fuzz::isUtf8(models.log->log()), "the log stays well-formed text");
    require(models.tracks->tracks().size() == qx::Tracks::kCount, "the track grid keeps its rows");
    return 0;
}
