#pragma once
// The track grid's model: eight records of display texts and colours, rebuilt
// from every status report.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/Observable.h"
#include "protocol/QXStatusStruct.h"

namespace qx {

enum class TrackColor { clear, red, yellow, green, orange, blue };

struct TrackStatus {
    explicit TrackStatus(std::int64_t trackNumber) : index(trackNumber) {}
    std::int64_t index;
    std::string length;
    std::string position;
    std::string status;
    TrackColor color = TrackColor::clear;
    std::string pan;
    std::string volume;
    std::string feedback;
    TrackColor trackNumColor = TrackColor::clear;
};

std::string statusName(std::uint8_t code);

class Tracks : public Observable {
public:
    static constexpr std::size_t kCount = 8;
    Tracks();
    const std::vector<TrackStatus>& tracks() const { return tracks_; }
    // Takes a list of 4 or 8 records; any other length changes nothing.
    void updateFromStatus(const std::vector<QXStatusStruct>& entries);

private:
    std::vector<TrackStatus> tracks_;
};

}  // namespace qx
