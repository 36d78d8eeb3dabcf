// The check an upgrade file passes before anything is sent over MIDI, and the
// sending itself. A file the check accepts must go out message by message,
// exactly as stored, with the progress rising to 1.0 and no abandon; a file it
// refuses must be refused with a reason. Files the check would refuse are
// also sent, to show that the sender never reads outside the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "midi/MidiUpgrade.h"
#include "protocol/UpgradeFile.h"

using qx::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const qx::Bytes contents(data, data + size);
    const std::optional<std::string> fault = qx::checkSysExUpgrade(contents);
    if (fault) require(!fault->empty(), "a refusal says why");

    qx::MidiUpgrade upgrade;
    upgrade.load(contents);
    qx::Bytes sent;
    double progress = 0.0;
    bool ended = false;
    // Every step takes at least one byte or ends the upgrade, so this is bounded.
    for (std::size_t step = 0; step <= contents.size() + 1 && !ended; ++step) {
        const qx::MidiUpgrade::Step next = upgrade.next();
        require(next.message.size() <= 256, "one message fits one packet");
        require(next.progress >= progress && next.progress <= 1.0, "progress rises and stays within 1");
        progress = next.progress;
        sent.insert(sent.end(), next.message.begin(), next.message.end());
        ended = next.finished || next.abandoned;
        if (!fault) {
            require(!next.abandoned, "a checked file is never abandoned");
            if (!next.message.empty())
                require(next.message.front() == 0xF0 && next.message.back() == 0xF7,
                        "a checked file goes out as whole messages");
        }
    }
    require(ended && !upgrade.inProgress(), "every upgrade ends");
    require(sent.size() <= contents.size() && std::equal(sent.begin(), sent.end(), contents.begin()),
            "what is sent is the file's own bytes, in order");
    if (!fault) require(sent == contents && progress == 1.0, "a checked file goes out whole");
    return 0;
}
