#include "config/ConfigurationTransfer.h"

#include <algorithm>

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
    // A file that cannot be applied is refused before the looper is read;
    // it is read again at the end, as it is then.
    if (!job.save)
        if (auto problem = checkConfigurationFile(job.path)) return word + " refused: " + *problem;
    // Upgrades share the progress bar and the command queue.
    if (!gate_.tryEnter(job.save ? "save" : "restore"))
        return word + " refused: " + withArticle(gate_.holder()) + " is running";
    pacer_ = std::make_unique<Pacer>();
    ++transferNumber_;
    thread_ = std::thread([this, job = std::move(job)] { run(job); });
    return std::nullopt;
}

void ConfigurationTransfer::stop()
{
    if (!running()) return;
    pacer_->requestStop();
    thread_.join();
    gate_.leave();
}

void ConfigurationTransfer::run(const Job& job)
{
    std::optional<TransferEnd> end = readAndFinish(job);
    // Stopped from the UI thread, which has already cleaned up.
    if (!end) return;
    end->transfer = transferNumber_;
    postToUi([this, end = *end] { endTransfer(end); });
}

std::optional<ConfigurationTransfer::TransferEnd> ConfigurationTransfer::readAndFinish(const Job& job)
{
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
    return TransferEnd{applyConfigurationFile(job.path, read_.buttons, send), 1.0};
}

void ConfigurationTransfer::endTransfer(const TransferEnd& end)
{
    // stop() may have ended this transfer before its end arrived here, and
    // another may have started since.
    if (!running() || end.transfer != transferNumber_) return;
    thread_.join();  // the thread's last act was posting this task
    gate_.leave();
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
    commands_.enqueue(msg::buttonMappingWrite(code, first));
    // The tab takes it only if it shows this very button and values holds
    // exactly eight numbers, as for a one-button report.
    postToUi([this, code, values] {
        if (handlers_.mapping) handlers_.mapping(code, values);
    });
    return true;
}

}  // namespace qx
