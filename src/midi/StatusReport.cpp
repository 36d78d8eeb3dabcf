#include "midi/StatusReport.h"

#include "midi/SysExCodec.h"

namespace qx {

StatusReport decodeStatusReport(std::span<const std::uint8_t> b)
{
    StatusReport report;
    if (b.size() < kStatusReportLength) return report;
    report.trackCount = b[5];
    report.selectedTrack = b[6];
    for (std::size_t t = 0; t < 4; ++t) {
        const std::size_t k = 7 + 14 * t;
        QXStatusStruct track;
        track.status = b[k];
        track.level = -std::int64_t{b[k + 1]};
        track.pan = b[k + 2] < 0x80 ? b[k + 2] : (b[k + 2] ^ 0xFF);
        track.feedback = b[k + 3];
        track.length = sysex::decodeFiveGroups(b.subspan(k + 4).first<5>());
        track.position = sysex::decodeFiveGroups(b.subspan(k + 9).first<5>());
        track.selected = report.selectedTrack == static_cast<std::int64_t>(t + 1);
        report.tracks.push_back(track);
    }
    return report;
}

}  // namespace qx
