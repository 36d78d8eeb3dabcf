#include "config/ConfigurationTransfer.h"

#include <algorithm>
#include <system_error>

#include "config/ConfigurationFileStep.h"
#include "protocol/Messages.h"

namespace qx {
namespace {

std::string withArticle(const std::string& noun)
{
    const bool vowel = !noun.empty() && std::string("aeiou").find(noun[0]) != std::string::npos;
    return (vowel ? "an " : "a ") + noun;
}

const char* commandWord(bool save) { return save ? "Save" : "Restore"; }

}  // namespace

ConfigurationTransfer::ConfigurationTransfer(QXCommandQueue& commands, MainQueue& mainQueue, TransferGate& gate,
                                             Handlers handlers, TransferTiming timing)
    : commands_(commands), mainQueue_(mainQueue), gate_(gate), handlers_(std::move(handlers)),
      read_(commands, std::move(timing))
{
    read_.reset();
}

ConfigurationTransfer::~ConfigurationTransfer()
{
    stop();
    alive_.reset();  // tasks still waiting on the UI queue now do nothing
}

std::optional<std::string> ConfigurationTransfer::save(std::filesystem::path path)
{
    return start({true, std::move(path)});
}

std::optional<std::string> ConfigurationTransfer::restore(std::filesystem::path path)
{
    return start({false, std::move(path)});
}

std::optional<std::string> ConfigurationTransfer::start(Job job)
{
    const std::string word = commandWord(job.save);
    if (running()) return word + " refused: a save or restore is already running";
    // Upgrades share the progress bar and the command queue.
    TransferGate::Hold hold = gate_.enter(job.save ? "save" : "restore");
    if (!hold) return word + " refused: " + withArticle(gate_.holder()) + " is running";
    pacer_ = std::make_unique<Pacer>();
    ++transferNumber_;
    saving_ = job.save;
    writes_.clear();
    ended_.reset();
    active_.store(true);
    try {
        thread_ = std::thread([this, job = std::move(job)] { run(job); });
    } catch (const std::system_error& error) {
        active_.store(false);
        return word + " refused: " + error.what();
    }
    hold_ = std::move(hold);
    return std::nullopt;
}

Outcome ConfigurationTransfer::cancel()
{
    if (!running()) return {false, "Nothing to cancel: no save or restore is running"};
    pacer_->requestStop();
    thread_.join();
    hold_.release();
    if (ended_) return *ended_;  // it ended before the UI thread took its end
    if (saving_) return {false, "Save cancelled: nothing written"};
    if (writes_.empty()) return {false, "Restore cancelled: nothing sent"};
    const std::size_t sent = writesSent();
    commands_.withdraw(writes_);
    return {false, "Restore cancelled: " + std::to_string(sent) + " of " + std::to_string(writes_.size()) +
                      " button mapping writes were sent"};
}

void ConfigurationTransfer::run(const Job& job)
{
    std::optional<TransferEnd> end = readAndFinish(job);
    active_.store(false);
    // Stopped from the UI thread, which has already cleaned up.
    if (!end) return;
    end->transfer = transferNumber_;
    ended_ = end->outcome;
    postToUi([this, end = *end] { endTransfer(end); });
}

std::optional<ConfigurationTransfer::TransferEnd> ConfigurationTransfer::readAndFinish(const Job& job)
{
    // A file that cannot be applied is refused before the looper is read
    // (here, off the UI thread); it is read again at the end, as it is then.
    if (!job.save)
        if (auto problem = checkConfigurationFile(job.path))
            return TransferEnd{{false, "Restore refused: " + *problem}, 0.0};
    read_.begin();
    for (;;) {
        if (pacer_->stopRequested()) return std::nullopt;
        if (!read_.runPass()) break;
        for (;;) {
            if (read_.looperSilent())
                return TransferEnd{{false, std::string("The looper did not answer: nothing ") +
                                               (job.save ? "saved" : "restored")},
                                   0.0};
            const std::optional<double> progress = read_.progressWhileWaiting();
            if (!progress) break;
            postProgress(*progress);
            if (!pacer_->pause(read_.timing().wait)) return std::nullopt;
        }
    }
    postProgress(ConfigurationRead::kReadShare);
    if (job.save) return TransferEnd{writeConfigurationFile(job.path, read_.buttons, read_.banks), 1.0};
    auto send = [this](std::int64_t code, const FunctionValues& values) { return sendButtonMapping(code, values); };
    return sendWrites(applyConfigurationFile(job.path, read_.buttons, send));
}

std::size_t ConfigurationTransfer::writesSent()
{
    const std::uint64_t sent = commands_.dequeuedTotal();
    const std::uint64_t left = writesEnd_ > sent ? writesEnd_ - sent : 0;
    return writes_.size() - std::min<std::size_t>(writes_.size(), static_cast<std::size_t>(left));
}

std::optional<ConfigurationTransfer::TransferEnd> ConfigurationTransfer::sendWrites(Outcome applied)
{
    // The writes leave one per polling cycle; the progress bar's last part
    // follows them, and a looper that stops taking them is given up on.
    writesEnd_ = commands_.enqueuedTotal();
    std::uint64_t sentBefore = commands_.dequeuedTotal();
    auto lastProgress = read_.timing().now();
    while (!writes_.empty() && commands_.dequeuedTotal() < writesEnd_) {
        if (commands_.dequeuedTotal() != sentBefore) {
            sentBefore = commands_.dequeuedTotal();
            lastProgress = read_.timing().now();
        } else if (read_.timing().now() - lastProgress >= read_.timing().silenceLimit) {
            const std::size_t sent = writesSent();
            commands_.withdraw(writes_);
            return TransferEnd{{false, "The looper stopped taking the restore: " + std::to_string(sent) + " of " +
                                           std::to_string(writes_.size()) + " button mapping writes were sent"},
                               ConfigurationRead::kReadShare};
        }
        const double share = 1.0 - ConfigurationRead::kReadShare;
        postProgress(ConfigurationRead::kReadShare +
                     share * static_cast<double>(writesSent()) / static_cast<double>(writes_.size()));
        if (!pacer_->pause(read_.timing().wait)) return std::nullopt;
    }
    return TransferEnd{std::move(applied), 1.0};
}

void ConfigurationTransfer::endTransfer(const TransferEnd& end)
{
    // stop() may have ended this transfer before its end arrived here, and
    // another may have started since.
    if (!running() || end.transfer != transferNumber_) return;
    thread_.join();  // the thread's last act was posting this task
    hold_.release();
    if (handlers_.progress) handlers_.progress(end.progress);
    if (handlers_.outcome) handlers_.outcome(end.outcome);
}

void ConfigurationTransfer::postProgress(double fraction)
{
    // More than a pass's worth of messages waiting (other tabs enqueue too)
    // would push the fraction below zero.
    const double shown = std::clamp(fraction, 0.0, 1.0);
    postToUi([this, shown] {
        if (handlers_.progress) handlers_.progress(shown);
    });
}

void ConfigurationTransfer::postToUi(std::function<void()> task)
{
    mainQueue_.post([alive = std::weak_ptr<bool>(alive_), task = std::move(task)] {
        if (alive.lock()) task();
    });
}

bool ConfigurationTransfer::sendButtonMapping(std::int64_t code, const FunctionValues& values)
{
    msg::Bank first{};
    if (values.size() < first.size()) return false;
    std::copy_n(values.begin(), first.size(), first.begin());
    writes_.push_back(msg::buttonMappingWrite(code, first));
    commands_.enqueue(writes_.back());
    // The tab takes it only if it shows this very button and values holds
    // exactly eight numbers, as for a one-button report.
    postToUi([this, code, values] {
        if (handlers_.mapping) handlers_.mapping(code, values);
    });
    return true;
}

}  // namespace qx
