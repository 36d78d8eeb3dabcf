#include "protocol/StatusReport.h"

#include "protocol/SysExCodec.h"

namespace qx {

std::vector<QXStatusStruct> decodeStatusReport(std::span<const std::uint8_t> b)
{
    std::vector<QXStatusStruct> tracks;
    if (b.size() < kStatusReportLength) return tracks;
    const std::int64_t selectedTrack = b[6];
    for (std::size_t t = 0; t < 4; ++t) {
        const std::size_t k = 7 + 14 * t;
        QXStatusStruct track;
        track.status = b[k];
        track.level = -std::int32_t{b[k + 1]};
        // A pan byte of 0x80 or more is stored inverted.
        track.pan = b[k + 2] < 0x80 ? b[k + 2] : (b[k + 2] ^ 0xFF);
        track.feedback = b[k + 3];
        track.length = sysex::decodeFiveGroups(b.subspan(k + 4).first<5>());
        track.position = sysex::decodeFiveGroups(b.subspan(k + 9).first<5>());
        track.selected = selectedTrack == static_cast<std::int64_t>(t + 1);
        tracks.push_back(track);
    }
    return tracks;
}

}  // namespace qx
