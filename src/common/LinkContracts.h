#pragma once
// The narrow interfaces through which the two links reach each other, so that
// neither includes the other's headers.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/Bytes.h"
#include "common/Outcome.h"
#include "common/QXCommandQueue.h"
#include "model/QXStatusStruct.h"

namespace qx {

// What the network side needs from the MIDI link controller.
class LinkHost {
public:
    virtual ~LinkHost() = default;
    // The transport flag: true while MIDI holds the link. Read and written
    // under the controller's lock.
    virtual bool pollMIDI() = 0;
    virtual void setPollMIDI(bool value) = 0;
    virtual QXCommandQueue& commandQueue() = 0;
    // The common decoder for every SysEx message, whichever link delivered it.
    virtual void handleSysEx(std::span<const std::uint8_t> message) = 0;
    // Model updates: each is handed to the UI thread with the values it carries.
    virtual void showTracks(std::vector<QXStatusStruct> tracks) = 0;
    virtual void appendLog(std::string text) = 0;
    virtual void showDeviceLine(std::string text) = 0;
    virtual void showProgress(double fraction) = 0;
    virtual void setSelectedTrack(std::int64_t track) = 0;
    // A network upgrade ended (finished or stopped): frees the transfer gate and
    // tells the user how it went.
    virtual void upgradeEnded(Outcome outcome) = 0;
    // Where the link stands, in words for the status bar ("Searching the
    // network for the looper", "Connected over the network to NAME at ADDRESS").
    virtual void showLinkState(std::string text) { (void)text; }
};

// What the MIDI link controller needs from the network side.
class NetworkSide {
public:
    virtual ~NetworkSide() = default;
    // Starts and ends the network thread.
    virtual void start() = 0;
    virtual void stop() = 0;
    // Sends one message as a datagram to the looper, if one has been found.
    virtual void sendToLooper(std::span<const std::uint8_t> message) = 0;
    // Starts a firmware upgrade over the network with the file's contents;
    // returns the reason when it cannot start. The caller holds the transfer
    // gate; the network side leaves it when the upgrade ends.
    virtual std::optional<std::string> startUpgrade(Bytes contents) = 0;
};

}  // namespace qx
