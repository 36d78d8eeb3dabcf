#pragma once
// Follows the MIDI system's ports as they come and go: each refresh lists
// them, joins the panel to the new ones, forgets the vanished ones and keeps
// the known ones. The panel's own ports and "Midi Through" (which would echo
// every request back) stay out, and so does every device but the chosen one.
// The same for the ALSA sequencer and JACK: only the listing and joining
// differ.
#include <mutex>
#include <string>
#include <vector>

namespace qx {

// What a MIDI system offers: its ports as "device:port", and joining the
// panel's input to a source or its output to a destination.
class MidiPortDirectory {
public:
    virtual ~MidiPortDirectory() = default;
    virtual std::vector<std::string> listSources() = 0;
    virtual std::vector<std::string> listDestinations() = 0;
    virtual bool joinSource(const std::string& port) = 0;
    virtual bool joinDestination(const std::string& port) = 0;
    virtual void leaveSource(const std::string& port) = 0;
    virtual void leaveDestination(const std::string& port) = 0;
};

class MidiPortFollower {
public:
    MidiPortFollower(MidiPortDirectory& directory, std::string ownDevice, std::string chosenDevice)
        : directory_(directory), ownDevice_(std::move(ownDevice)), chosen_(std::move(chosenDevice))
    {
    }

    // Lists and joins; true when the ports in use or the devices changed.
    bool refresh();
    // Takes effect at the next refresh.
    void choose(std::string device);

    std::vector<std::string> sources() const;
    std::vector<std::string> destinations() const;
    // Every device with a usable port, chosen or not, by name.
    std::vector<std::string> devices() const;

    // "device:port" -> "device".
    static std::string deviceOf(const std::string& port);
    // JACK names a second client of the same name "device-01": the same device.
    static std::string withoutJackSuffix(const std::string& device);
    // Whether a port belongs to the device chosen by name (empty: every device).
    static bool belongsTo(const std::string& port, const std::string& device);

private:
    bool usable(const std::string& port) const;
    bool follow(std::vector<std::string>& joined, const std::vector<std::string>& present, bool source);

    MidiPortDirectory& directory_;
    const std::string ownDevice_;
    mutable std::mutex lock_;  // the lists below: read by any thread, changed by refresh()
    std::string chosen_;
    std::vector<std::string> sources_;
    std::vector<std::string> destinations_;
    std::vector<std::string> devices_;
};

}  // namespace qx
