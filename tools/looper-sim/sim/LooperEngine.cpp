#include "sim/LooperEngine.h"

#include <algorithm>
#include <limits>
#include <thread>

#include "sim/LooperReplies.h"

namespace qx::sim {
namespace {

std::shared_ptr<const SimClock> realTimeUnlessGiven(std::shared_ptr<const SimClock> clock)
{
    return clock ? std::move(clock) : std::make_shared<SteadySimClock>();
}

}  // namespace

LooperEngine::LooperEngine(EngineOptions options)
    : name_(std::move(options.name)),
      identity_(std::move(options.identity)),
      trackCount_(options.tracks == 8 ? 8 : 4),
      clock_(realTimeUnlessGiven(std::move(options.clock))),
      deck_(trackCount_, clock_->now()),
      effects_(EffectBanks::initial()),
      faults_(options.seed),
      journal_(options.journalCapacity)
{
    if (options.defaultScene) log_.append(deck_.loadDefaultScene());
}

std::vector<Reply> LooperEngine::receiveMidi(std::span<const std::uint8_t> message)
{
    return receiveLocked(Transport::Midi, message);
}

std::vector<Reply> LooperEngine::receiveDatagram(std::span<const std::uint8_t> datagram)
{
    return receiveLocked(Transport::Udp, datagram);
}

std::vector<Reply> LooperEngine::receiveLocked(Transport transport, std::span<const std::uint8_t> bytes)
{
    JournalEntry entry{.time = Nanos(0), .transport = transport, .bytes = Bytes(bytes.begin(), bytes.end())};
    std::shared_ptr<const std::function<void(const std::string&)>> sink;
    std::vector<Reply> replies;
    {
        std::lock_guard guard(lock_);
        sink = journalSink_;
        entry.time = clock_->now();  // read under the lock so journal times never go backwards
        journal_.record(entry);
        advanceLocked();
        Outgoing out = transport == Transport::Midi ? answerSysExLocked(bytes) : answerDatagramLocked(bytes);
        if (transport == Transport::Midi && midiBusy_) out = {};
        faults_.shapeReplies(out.answers);
        faults_.shapeAcks(out.transfer);
        replies = std::move(out.answers);
        for (Reply& reply : out.transfer) replies.push_back(std::move(reply));
    }
    if (sink) (*sink)(journalLine(entry));
    return replies;
}

void LooperEngine::advanceLocked() { log_.append(deck_.advanceTo(clock_->now())); }

int LooperEngine::addEventListener(EventListener listener, Transport transport)
{
    std::lock_guard guard(lock_);
    const int id = nextListenerId_++;
    listeners_[id] = {std::make_shared<const EventListener>(std::move(listener)), transport};
    return id;
}

void LooperEngine::removeEventListener(int id)
{
    std::lock_guard guard(lock_);
    listeners_.erase(id);
}

bool LooperEngine::pressButton(int kindCode, int number)
{
    if (kindCode < 0 || kindCode > 0x7F || number < 0 || number > 0x7F) return false;
    const Bytes event = reply::buttonEvent(static_cast<std::uint8_t>(kindCode), static_cast<std::uint8_t>(number));
    std::vector<std::shared_ptr<const EventListener>> listeners;
    {
        std::lock_guard guard(lock_);
        if (faults_.faults().silent) return true;
        for (const auto& [id, listener] : listeners_) listeners.push_back(listener.call);
    }
    for (const auto& listener : listeners) (*listener)(event);
    return true;
}

LooperEngine::FloodSent LooperEngine::flood(FloodKind kind, std::uint64_t count)
{
    // One lane per transport that has listeners, each with its own pace.
    constexpr double kUnlimited = std::numeric_limits<double>::infinity();
    struct Lane {
        FloodStream stream;
        std::vector<std::shared_ptr<const EventListener>> listeners;
        double bytesPerSecond;
        double packetsPerSecond;
        std::uint64_t bytes = 0;
        std::uint64_t packets = 0;
        bool done = false;
        double due() const { return std::max(bytes / bytesPerSecond, packets / packetsPerSecond); }
    };
    std::vector<Lane> lanes;
    FloodSent sent;
    {
        std::lock_guard guard(lock_);
        sent.from = sent.to = clock_->now();
        if (faults_.faults().silent) return sent;
        advanceLocked();
        const FloodScene scene{effects_, deck_.tracks(), deck_.count(), deck_.selected()};
        for (const Transport transport : {Transport::Midi, Transport::Udp}) {
            Lane lane{FloodStream(kind, count, transport, scene), {},
                      transport == Transport::Midi ? kMidiFloodRate : kUdpFloodRate,
                      transport == Transport::Midi ? kUnlimited : kUdpFloodDatagrams};
            for (const auto& [id, listener] : listeners_)
                if (listener.transport == transport) lane.listeners.push_back(listener.call);
            if (!lane.listeners.empty()) lanes.push_back(std::move(lane));
        }
        midiBusy_ = (kind == FloodKind::SysEx || kind == FloodKind::SysExNoEnd) &&
                    std::ranges::any_of(lanes, [](const Lane& l) { return l.stream.transport() == Transport::Midi; });
    }
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        Lane* lane = nullptr;
        for (Lane& l : lanes)
            if (!l.done && (!lane || l.due() < lane->due())) lane = &l;
        if (!lane) break;
        std::this_thread::sleep_until(start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                  std::chrono::duration<double>(lane->due())));
        const Bytes packet = lane->stream.next();
        if (packet.empty()) {
            lane->done = true;
            continue;
        }
        for (const auto& listener : lane->listeners) (*listener)(packet);
        lane->bytes += packet.size();
        ++lane->packets;
    }
    for (const Lane& lane : lanes) {
        if (lane.stream.transport() == Transport::Midi) {
            sent.midiBytes = lane.bytes;
        } else {
            sent.udpBytes = lane.bytes;
            sent.udpDatagrams = lane.packets;
        }
    }
    std::lock_guard guard(lock_);
    midiBusy_ = false;
    sent.to = clock_->now();
    return sent;
}

std::vector<SimTrack> LooperEngine::tracks()
{
    std::lock_guard guard(lock_);
    advanceLocked();
    return deck_.tracks();
}

int LooperEngine::selectedTrack()
{
    std::lock_guard guard(lock_);
    return deck_.selected();
}

bool LooperEngine::setTrackState(int track, TrackState state)
{
    std::lock_guard guard(lock_);
    advanceLocked();
    const auto line = deck_.setState(track, state);
    if (line) log_.append(*line);
    return line.has_value();
}

bool LooperEngine::setTrack(int track, const SimTrack& value)
{
    std::lock_guard guard(lock_);
    advanceLocked();
    return deck_.setTrack(track, value);
}

bool LooperEngine::selectTrack(int track)
{
    std::lock_guard guard(lock_);
    return deck_.select(track);
}

void LooperEngine::appendLog(std::string_view text)
{
    std::lock_guard guard(lock_);
    log_.append(text);
}

MiscSettings LooperEngine::settings()
{
    std::lock_guard guard(lock_);
    return settings_.values();
}

SliceData LooperEngine::slice(std::uint8_t number)
{
    std::lock_guard guard(lock_);
    return settings_.slice(number);
}

FunctionSlots LooperEngine::mapping(int code)
{
    std::lock_guard guard(lock_);
    if (!ButtonMappings::validCode(code)) return {};
    return mappings_.at(code);
}

bool LooperEngine::setMapping(int code, const FunctionSlots& slots)
{
    std::lock_guard guard(lock_);
    if (!ButtonMappings::validCode(code)) return false;
    mappings_.set(code, slots);
    return true;
}

EffectBanks LooperEngine::effects()
{
    std::lock_guard guard(lock_);
    return effects_;
}

UpgradeImage LooperEngine::upgradeImage()
{
    std::lock_guard guard(lock_);
    return upgrade_.image();
}

Faults LooperEngine::faults()
{
    std::lock_guard guard(lock_);
    return faults_.faults();
}

void LooperEngine::setFaults(const Faults& faults)
{
    std::lock_guard guard(lock_);
    faults_.setFaults(faults);
}

std::vector<JournalEntry> LooperEngine::journal()
{
    std::lock_guard guard(lock_);
    return journal_.snapshot();
}

void LooperEngine::setJournalSink(std::function<void(const std::string&)> sink)
{
    std::lock_guard guard(lock_);
    journalSink_ = sink ? std::make_shared<const std::function<void(const std::string&)>>(std::move(sink)) : nullptr;
}

}  // namespace qx::sim
