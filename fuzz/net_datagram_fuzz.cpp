// The network receive thread's handling of one datagram from the looper, by
// its first byte: a compact status report (0x00), a text reply ("<"), a
// SysEx message (0xF0) for the common decoder, anything else dropped. The
// network side is never started: no socket is opened.
//
// Whatever the datagram: only a report carrying the format mark 48000 counts
// as the looper's answer (the silence count drops to 0) and selects one of
// its eight tracks or none, the log stays well-formed UTF-8, and the track
// grid keeps its rows.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "FuzzSupport.h"
#include "common/MainQueue.h"
#include "common/QXCommandQueue.h"
#include "midi/QXInterface.h"
#include "model/DisplayModels.h"
#include "model/Tracks.h"
#include "net/QXNetworkInterface.h"

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
    qx::QXCommandQueue responses;
    qx::QXInterface link(ui, nullptr);
    link.attachResponseQueue(&responses);
    link.tracksModel = std::make_shared<qx::Tracks>();
    link.qxInfoString = std::make_shared<qx::ObservableText>();
    link.logModel = std::make_shared<qx::LogText>();
    qx::QXNetworkInterface network(link);
    for (int i = 0; i < 3; ++i) network.addPollAttempt();

    network.dispatchDatagram(datagram);
    ui.drain();

    const bool answer = size >= 8 && data[0] == 0x00 && data[1] == 0x00 && data[2] == 0xBB && data[3] == 0x80;
    require(network.pollAttemptsNow() == (answer ? 0 : 3), "only a marked status report is an answer");
    require(qx::fuzz::isUtf8(link.logModel->log()), "the log stays well-formed text");
    require(link.tracksModel->tracks().size() == qx::Tracks::kCount, "the track grid keeps its rows");
    if (answer) {
        const std::int64_t selected = link.selectedTrack.load();
        require(selected >= 0 && selected <= 8, "a compact report selects one of its eight tracks, or none");
    }
    return 0;
}
