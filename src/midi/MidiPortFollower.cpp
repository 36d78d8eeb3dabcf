#include "midi/MidiPortFollower.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace qx {

std::string MidiPortFollower::deviceOf(const std::string& port)
{
    const auto colon = port.find(':');
    return colon == std::string::npos ? port : port.substr(0, colon);
}

bool MidiPortFollower::belongsTo(const std::string& port, const std::string& device)
{
    if (device.empty() || port == device) return true;
    const std::string owner = deviceOf(port);
    if (owner == device) return true;
    // "device-01", "device-02": further clients of that device under JACK.
    return withoutJackSuffix(owner) == device;
}

std::string MidiPortFollower::withoutJackSuffix(const std::string& device)
{
    const std::size_t n = device.size();
    if (n > 3 && device[n - 3] == '-' && std::isdigit(static_cast<unsigned char>(device[n - 2])) &&
        std::isdigit(static_cast<unsigned char>(device[n - 1])))
        return device.substr(0, n - 3);
    return device;
}

bool MidiPortFollower::usable(const std::string& port) const
{
    return port.find("Midi Through") == std::string::npos && !belongsTo(port, ownDevice_);
}

void MidiPortFollower::choose(std::string device)
{
    std::lock_guard guard(lock_);
    chosen_ = std::move(device);
}

bool MidiPortFollower::follow(std::vector<std::string>& joined, const std::vector<std::string>& present,
                              bool source)
{
    std::string chosen;
    {
        std::lock_guard guard(lock_);
        chosen = chosen_;
    }
    std::vector<std::string> kept;
    for (const auto& port : present) {
        if (!usable(port) || !belongsTo(port, chosen)) continue;
        // Joined again even when known: a port that vanished and came back
        // under the same name between two refreshes has lost its connection.
        if (source ? directory_.joinSource(port) : directory_.joinDestination(port)) kept.push_back(port);
    }
    for (const auto& port : joined) {
        // A vanished port has left already; one no longer chosen is let go.
        const bool stillThere = std::find(present.begin(), present.end(), port) != present.end();
        const bool stillWanted = std::find(kept.begin(), kept.end(), port) != kept.end();
        if (stillThere && !stillWanted) source ? directory_.leaveSource(port) : directory_.leaveDestination(port);
    }
    const bool changed = kept != joined;
    joined = std::move(kept);
    return changed;
}

bool MidiPortFollower::refresh()
{
    const std::vector<std::string> sources = directory_.listSources();
    const std::vector<std::string> destinations = directory_.listDestinations();
    std::vector<std::string> joinedSources, joinedDestinations;
    {
        std::lock_guard guard(lock_);
        joinedSources = sources_;
        joinedDestinations = destinations_;
    }
    bool changed = follow(joinedSources, sources, true);
    changed = follow(joinedDestinations, destinations, false) || changed;

    std::set<std::string> devices;
    for (const auto* list : {&sources, &destinations})
        for (const auto& port : *list)
            if (usable(port)) devices.insert(withoutJackSuffix(deviceOf(port)));

    std::lock_guard guard(lock_);
    sources_ = std::move(joinedSources);
    destinations_ = std::move(joinedDestinations);
    std::vector<std::string> deviceList(devices.begin(), devices.end());
    changed = changed || deviceList != devices_;
    devices_ = std::move(deviceList);
    return changed;
}

std::vector<std::string> MidiPortFollower::sources() const
{
    std::lock_guard guard(lock_);
    return sources_;
}

std::vector<std::string> MidiPortFollower::destinations() const
{
    std::lock_guard guard(lock_);
    return destinations_;
}

std::vector<std::string> MidiPortFollower::devices() const
{
    std::lock_guard guard(lock_);
    return devices_;
}

}  // namespace qx
