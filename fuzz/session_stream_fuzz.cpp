// One looper session that lives as long as the fuzzer, fed input after input:
// MIDI bytes through the read procedure of its MIDI link, datagrams the way
// the network receive thread hands them on, time passing (the MIDI poll
// cycle, the 0.5 s edit cycle, the idle network side handing the link back),
// the UI queue drained, the user's edits, saves, restores and cancels, and a
// looper that answers what was asked. State carries over from one input to
// the next, so a flood may be spread over many inputs. Neither link's
// threads run and no socket is opened; a save or restore runs on its own
// thread, as in the panel, which makes a run not exactly repeatable.
//
// Input: records, each a kind byte (taken modulo 8) and its operands:
//   0 MIDI packet    length (2 bytes, low first), bytes
//   1 datagram       length (2 bytes, low first), bytes, cut at the receive buffer's size
//   2 time passes    n: (n + 1) * 10 ms of the session's time
//   3 UI drain
//   4 user edit      what, a, b
//   5 transfer       what: save, cancel, restore the saved file
//   6 looper answers how: the oldest request sent and not yet answered, as a
//                    datagram when bit 0 is set; the other bits vary its values
//   7 flood          n, length (2 bytes), bytes: the packet ((n & 0x7F) + 1) * 16
//                    times, as datagrams when bit 7 is set
//
// After each input, whatever it held: the log keeps at most its 256 KiB and
// stays whole UTF-8, the grid keeps its eight tracks, every message sent to
// the looper is one whole SysEx message, and the command queue holds no more
// than the session's own producers can have put there since it was last seen
// empty (see commandAllowance): messages from the looper alone never grow it.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <system_error>
#include <thread>
#include <variant>
#include <vector>

#include "FuzzSupport.h"
#include "common/MainQueue.h"
#include "config/ConfigurationRead.h"
#include "midi/MidiEndpoints.h"
#include "midi/MidiLink.h"
#include "midi/MidiPollCycle.h"
#include "model/Tracks.h"
#include "net/UdpSocket.h"
#include "protocol/ConfigReports.h"
#include "protocol/LooperReport.h"
#include "protocol/Messages.h"
#include "protocol/SysExCodec.h"
#include "session/EditCycle.h"
#include "session/SessionFactory.h"

namespace {

using qx::Bytes;
using qx::fuzz::require;
using Clock = std::chrono::steady_clock;

// The session's time: the harness's schedule and the transfer's silence
// clock. Read on the transfer thread too.
std::atomic<std::int64_t> sessionNanos{0};
Clock::time_point sessionNow() { return Clock::time_point(std::chrono::nanoseconds(sessionNanos.load())); }

bool isRequest(std::uint8_t type)
{
    using namespace qx::msg;
    return type == kStatus || type == kLog || type == kEffects || type == kButtonRequest || type == kSliceRequest ||
           type == kInfoRequest;
}

// The looper's MIDI ports: what the session sends is checked, and its
// requests wait for the harness to answer them.
class LooperEndpoints final : public qx::MidiEndpoints {
public:
    static constexpr std::size_t kMaxUnanswered = 64;

    void setReceiver(Receiver receiver) override
    {
        std::lock_guard guard(lock_);
        receiver_ = std::move(receiver);
    }
    std::vector<std::string> destinationNames() const override { return {"looper"}; }
    std::vector<std::string> sourceNames() const override { return {"looper"}; }
    bool sendToEach(std::span<const std::uint8_t> message) override
    {
        const bool whole = message.size() >= qx::sysex::kMinLength && message.front() == qx::sysex::kStart &&
                           message.back() == qx::sysex::kEnd &&
                           std::all_of(message.begin() + 1, message.end() - 1, [](std::uint8_t b) { return b < 0x80; });
        require(whole, "every message sent to the looper is one whole SysEx message");
        std::lock_guard guard(lock_);
        if (isRequest(message[qx::sysex::kTypeOffset])) {
            if (unanswered_.size() == kMaxUnanswered) unanswered_.pop_front();
            unanswered_.emplace_back(message.begin(), message.end());
        }
        return true;
    }

    void deliver(std::span<const std::uint8_t> bytes)
    {
        std::unique_lock guard(lock_);
        const Receiver receiver = receiver_;
        guard.unlock();
        if (receiver) receiver(bytes);
    }
    // The oldest request not yet answered, or an empty message.
    Bytes takeRequest()
    {
        std::lock_guard guard(lock_);
        if (unanswered_.empty()) return {};
        Bytes oldest = std::move(unanswered_.front());
        unanswered_.pop_front();
        return oldest;
    }

private:
    std::mutex lock_;
    Receiver receiver_;
    std::deque<Bytes> unanswered_;
};

// The looper's answer to one request; a status report when nothing was asked.
Bytes answerTo(const Bytes& request, std::uint8_t how)
{
    namespace sysex = qx::sysex;
    const std::uint8_t type = request.size() > sysex::kTypeOffset + 1 ? request[sysex::kTypeOffset] : qx::msg::kStatus;
    const std::int64_t value = how >> 1;
    Bytes payload;
    switch (type) {
    case qx::msg::kLog: {
        const std::string text = "loop " + std::to_string(value) + " saved\n";
        payload.assign(text.begin(), text.end());
        return sysex::message(qx::msg::kLog, payload);
    }
    case qx::msg::kEffects:
        payload.push_back(0x08);
        for (std::int64_t slot = 0; slot < 16; ++slot) sysex::appendPair(payload, (value + slot) % 40 - 1);
        return sysex::message(qx::msg::kEffects, payload);
    case qx::msg::kButtonRequest: {
        const std::int64_t first = sysex::pairAt(request, sysex::kPayloadOffset).value_or(0);
        const std::uint8_t count = request.size() > 8 && request[7] == 8 ? 8 : 1;
        sysex::appendPair(payload, first);
        payload.push_back(count);
        for (std::int64_t slot = 0; slot < 8 * count; ++slot) sysex::appendPair(payload, (value + slot) % 60 - 1);
        return sysex::message(qx::msg::kButtonReport, payload);
    }
    case qx::msg::kSliceRequest: {
        payload.push_back(request.size() > 6 ? request[5] : 0);
        Bytes slice(133);
        for (std::size_t i = 0; i < slice.size(); ++i) slice[i] = static_cast<std::uint8_t>((value + i) % 8);
        sysex::appendPackedGroups(payload, slice);
        return sysex::message(qx::msg::kSliceReport, payload);
    }
    case qx::msg::kInfoRequest: {
        const std::string text = "QX2 1." + std::to_string(value % 10);
        payload.assign(text.begin(), text.end());
        payload.push_back(0x00);
        return sysex::message(qx::msg::kInfoText, payload);
    }
    default: {
        // Four tracks, the position moving with the answer.
        payload = {4, static_cast<std::uint8_t>(value % 5)};
        for (std::int64_t track = 0; track < 4; ++track) {
            payload.insert(payload.end(), {static_cast<std::uint8_t>((value + track) % 6), 6, 0x40, 0x10});
            sysex::appendFiveGroups(payload, 96000 * (track + 1));
            sysex::appendFiveGroups(payload, value * 480);
        }
        return sysex::message(qx::msg::kStatus, payload);
    }
    }
}

class SessionStream {
public:
    // Whatever an input holds, its work is bounded: bytes fed, the session's
    // time, and transfers started and waited for.
    static constexpr std::size_t kMaxBytesPerInput = 512 * 1024;
    static constexpr auto kMaxTimePerInput = std::chrono::seconds(600);
    static constexpr int kMaxTransfersPerInput = 8;
    static constexpr int kMaxTransferWaitsPerInput = 16;
    static constexpr auto kTick = std::chrono::milliseconds(qx::EditCycle::kTickMs);
    static constexpr auto kHandBack = std::chrono::seconds(1);  // the idle network side's wait

    SessionStream()
        : savePath_(std::filesystem::temp_directory_path() /
                    ("qx-session-stream-" + std::to_string(getpid()) + ".json")),
          session_(ui_,
                   qx::makeLinks({.midi =
                                      [this] {
                                          auto endpoints = std::make_unique<LooperEndpoints>();
                                          looper_ = endpoints.get();
                                          return endpoints;
                                      },
                                  .network = std::nullopt}),
                   qx::TransferTiming{
                       .wait = qx::Seconds(0.002), .silenceLimit = qx::Seconds(10.0), .now = sessionNow}),
          cycle_(static_cast<qx::MidiLink&>(session_.link(qx::Transport::midi)))
    {
        std::error_code ignored;
        std::filesystem::remove(savePath_, ignored);
    }
    ~SessionStream()
    {
        session_.stop();
        std::error_code ignored;
        std::filesystem::remove(savePath_, ignored);
    }

    void run(std::span<const std::uint8_t> input)
    {
        qx::fuzz::InputReader in(input);
        bytesFed_ = 0;
        timeSpent_ = {};
        transfersThisInput_ = 0;
        transferWaits_ = 0;
        while (!in.empty()) {
            switch (in.byte() % 8) {
            case 0: feedMidi(lengthAndBytes(in), 1); break;
            case 1: datagram(lengthAndBytes(in)); break;
            case 2: pass(std::chrono::milliseconds(10 * (in.byte() + 1))); break;
            case 3: ui_.drain(); break;
            case 4: {
                // Read in order: the order of a call's arguments is unspecified.
                const std::uint8_t what = in.byte(), a = in.byte(), b = in.byte();
                edit(what, a, b);
                break;
            }
            case 5: transfer(in.byte()); break;
            case 6: answer(in.byte()); break;
            case 7: {
                const std::uint8_t how = in.byte();
                const std::size_t times = 16 * (std::size_t{how & 0x7Fu} + 1);
                const auto bytes = lengthAndBytes(in);
                if (how & 0x80) datagrams(bytes, times);
                else feedMidi(bytes, times);
                break;
            }
            }
            noteEmptyQueue();
        }
        ui_.drain();
        noteEmptyQueue();
        check();
    }

private:
    static std::span<const std::uint8_t> lengthAndBytes(qx::fuzz::InputReader& in)
    {
        const std::size_t low = in.byte();
        return in.take(low | std::size_t{in.byte()} << 8);
    }

    void feedMidi(std::span<const std::uint8_t> packet, std::size_t times)
    {
        for (std::size_t i = 0; i < times && bytesFed_ < kMaxBytesPerInput; ++i) {
            looper_->deliver(packet);
            bytesFed_ += packet.size() + 1;
        }
    }

    void datagrams(std::span<const std::uint8_t> bytes, std::size_t times)
    {
        for (std::size_t i = 0; i < times && bytesFed_ < kMaxBytesPerInput; ++i) {
            datagram(bytes);
            bytesFed_ += std::min(bytes.size(), qx::kMaxDatagram) + 1;
        }
    }

    // As the network receive thread: the looper's datagram, at most one receive buffer.
    void datagram(std::span<const std::uint8_t> bytes)
    {
        bytes = bytes.first(std::min(bytes.size(), qx::kMaxDatagram));
        qx::LooperReport report = qx::decodeDatagram(bytes);
        if (const auto* info = std::get_if<qx::InformationReport>(&report))
            session_.linkHost().reports.showDeviceLine(info->text + " - 192.0.2.7:7000");
        else
            session_.linkHost().reports.received(qx::Transport::network, std::move(report));
    }

    void answer(std::uint8_t how)
    {
        const Bytes reply = answerTo(looper_->takeRequest(), how);
        if (how & 1) datagram(reply);
        else feedMidi(reply, 1);
    }

    // Time passes: the MIDI worker's steps, the window's edit ticks and the
    // idle network side's hand-back, each when due, in time order, the UI
    // thread draining after each.
    void pass(std::chrono::milliseconds span)
    {
        if (timeSpent_ >= kMaxTimePerInput) return;
        timeSpent_ += span;
        const Clock::time_point until = sessionNow() + span;
        for (;;) {
            const Clock::time_point next = std::min({nextStep_, nextTick_, nextHandBack_});
            if (next > until) break;
            sessionNanos.store(next.time_since_epoch().count());
            if (next == nextStep_) {
                nextStep_ = next + std::chrono::duration_cast<Clock::duration>(cycle_.step());
                ++stepsSinceEmpty_;
            } else if (next == nextTick_) {
                session_.edits().tick();
                nextTick_ = next + kTick;
                ++ticksSinceEmpty_;
            } else {
                if (!session_.arbiter().holds(qx::Transport::midi)) session_.arbiter().handTo(qx::Transport::midi);
                nextHandBack_ = next + kHandBack;
            }
            ui_.drain();
            noteEmptyQueue();
        }
        sessionNanos.store(until.time_since_epoch().count());
        letTransferRun();
    }

    // A transfer's thread looks at the queue every 2 ms of real time and acts
    // once it is empty; a moment for it then lets the records that follow
    // meet its next pass or its end.
    void letTransferRun()
    {
        if (session_.running().empty() || session_.queuedForLooper() != 0 ||
            transferWaits_ == kMaxTransferWaitsPerInput)
            return;
        ++transferWaits_;
        std::this_thread::sleep_for(std::chrono::microseconds(2500));
        ui_.drain();
    }

    void edit(std::uint8_t what, std::uint8_t a, std::uint8_t b)
    {
        static constexpr std::int64_t qx::MiscConfigStruct::*kFields[] = {
            &qx::MiscConfigStruct::qx2Brightness,   &qx::MiscConfigStruct::qx2DisplayType,
            &qx::MiscConfigStruct::midiInClockMode, &qx::MiscConfigStruct::midiOutClockMode,
            &qx::MiscConfigStruct::midiChannel,     &qx::MiscConfigStruct::noiseGateLevel};
        static constexpr std::int64_t kKinds[] = {0, 128, 256, 3};
        qx::EditCycle& edits = session_.edits();
        const std::int64_t value = std::int64_t{b} - 2;  // -2 to 253: a few out of range
        switch (what % 8) {
        case 0: edits.changeSetting(kFields[a % 6], value); break;
        case 1: edits.chooseButton(kKinds[a % 4], value); break;
        case 2: edits.changeButtonSlot(a % 9, value); break;
        case 3: edits.changeEffect(a % 3, b % 9, std::int64_t{a} * 2 - 1); break;
        case 4: edits.askForSettingsSlice(a % 2 == 0 ? qx::msg::kSlice0 : qx::msg::kSlice72); break;
        case 5: edits.askForButton(); break;
        case 6: edits.askForEffects(); break;
        case 7: edits.askForSettings(); break;
        }
        ++userActionsSinceEmpty_;
    }

    void transfer(std::uint8_t what)
    {
        if (what % 3 == 1) {
            session_.cancelTransfer();
            return;
        }
        // Each start costs a thread; a few per input are enough.
        if (transfersThisInput_ == kMaxTransfersPerInput) return;
        const std::uint64_t before = session_.queuedSoFar();
        const bool started = (what % 3 == 0 ? session_.save(savePath_.string())
                                            : session_.restore(savePath_.string()))
                                 .success;
        if (!started) return;
        ++transfersThisInput_;
        ++transfersSinceEmpty_;
        // The transfer's first requests, so that the records after this one
        // meet them, as a looper polled after the click would.
        const auto until = Clock::now() + std::chrono::milliseconds(200);
        while (!session_.running().empty() && session_.queuedSoFar() == before && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }

    void noteEmptyQueue()
    {
        if (session_.queuedForLooper() != 0) return;
        stepsSinceEmpty_ = ticksSinceEmpty_ = userActionsSinceEmpty_ = transfersSinceEmpty_ = 0;
    }

    // What the session's producers can have queued since the queue was last
    // seen empty. A restore's writes (one per button code) or a read pass
    // (49 requests) at a time, and a cancelled or silent transfer leaves its
    // requests behind for the next; an edit tick at most the six settings, a
    // button write and a button selection; a user's ask two messages; a MIDI
    // step can enable one configuration request (three messages and the
    // button shown) twice over (a first contact and a silence). Nothing is
    // allowed per message from the looper.
    std::size_t commandAllowance() const
    {
        return qx::kButtonCodes + qx::ConfigurationRead::kRequestsPerPass * (1 + transfersSinceEmpty_) +
               8 * (1 + ticksSinceEmpty_ + stepsSinceEmpty_) + 2 * userActionsSinceEmpty_;
    }

    // The log only grows at its end and loses its front, so what was checked
    // before needs no second look: the new text, and where the log now starts.
    bool logIsText(const qx::LogText& log)
    {
        const std::string& text = log.log();
        const std::uint64_t from = std::max(checkedLogEnd_, log.dropped());
        checkedLogEnd_ = log.end();
        if (text.empty()) return true;
        if ((static_cast<unsigned char>(text.front()) & 0xC0) == 0x80) return false;
        return qx::fuzz::isUtf8(text.substr(static_cast<std::size_t>(from - log.dropped())));
    }

    void check()
    {
        const qx::SessionModels& models = session_.models();
        require(models.log->log().size() <= qx::LogText::kLimit, "the log keeps at most its limit");
        require(logIsText(*models.log), "the log stays well-formed text");
        require(models.tracks->tracks().size() == qx::Tracks::kCount, "the track grid keeps its tracks");
        require(session_.queuedForLooper() <= commandAllowance(),
                "the command queue grows only with time and the user's actions");
    }

    qx::ManualMainQueue ui_;  // first: the session posts here until it is gone
    std::filesystem::path savePath_;
    LooperEndpoints* looper_ = nullptr;
    qx::LooperSession session_;
    qx::MidiPollCycle cycle_;

    Clock::time_point nextStep_{}, nextTick_{}, nextHandBack_{};
    std::size_t bytesFed_ = 0;
    std::chrono::milliseconds timeSpent_{};
    int transfersThisInput_ = 0;
    int transferWaits_ = 0;
    std::uint64_t checkedLogEnd_ = 0;
    std::size_t stepsSinceEmpty_ = 0, ticksSinceEmpty_ = 0, userActionsSinceEmpty_ = 0, transfersSinceEmpty_ = 0;
};

SessionStream* stream = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qx::fuzz::silenceConsole();
    // Lives until exit, when its destructor ends a running transfer's thread.
    static SessionStream instance;
    stream = &instance;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    stream->run(std::span<const std::uint8_t>(data, size));
    return 0;
}
