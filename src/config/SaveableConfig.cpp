// Starting and ending configuration transfers; the UI-thread side.
#include "config/SaveableConfig.h"

#include <algorithm>

namespace qx {
namespace {

std::string capitalised(std::string word)
{
    if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 'a' + 'A');
    return word;
}

std::string withArticle(const std::string& noun)
{
    const bool vowel = !noun.empty() && std::string("aeiou").find(noun[0]) != std::string::npos;
    return (vowel ? "an " : "a ") + noun;
}

}  // namespace

QXSaveableConfig::QXSaveableConfig(QXCommandQueue& commands, MainQueue& mainQueue, SaveableConfigTiming timing)
    : commands_(commands), mainQueue_(mainQueue), timing_(std::move(timing))
{
    resetConfig();
}

QXSaveableConfig::~QXSaveableConfig()
{
    stop();
    alive_.reset();  // tasks still waiting on the UI queue now do nothing
}

std::optional<std::string> QXSaveableConfig::saveConfiguration(std::filesystem::path path)
{
    if (transferRunning()) return std::optional<std::string>("Save refused: a save or restore is already running");
    auto refusal = start("save");
    if (!refusal) {
        savePath = std::move(path);
        openPath.reset();
        getThread = std::thread([this] { getDeviceConfig(); });
    }
    return refusal;
}

std::optional<std::string> QXSaveableConfig::restoreConfiguration(std::filesystem::path path)
{
    if (transferRunning()) return std::optional<std::string>("Restore refused: a save or restore is already running");
    // A file that cannot be applied is refused before the looper is read;
    // it is read again at the end, as it is then.
    if (auto problem = checkConfigurationFile(path)) return "Restore refused: " + *problem;
    auto refusal = start("restore");
    if (!refusal) {
        openPath = std::move(path);
        savePath.reset();
        getThread = std::thread([this] { getDeviceConfig(); });
    }
    return refusal;
}

std::optional<std::string> QXSaveableConfig::start(const std::string& kind)
{
    // Upgrades share the progress bar and the command queue.
    if (gate_ && !gate_->tryEnter(kind))
        return capitalised(kind) + " refused: " + withArticle(gate_->holder()) + " is running";
    pacer_ = std::make_unique<Pacer>();
    ++transferNumber_;
    return std::nullopt;
}

void QXSaveableConfig::stop()
{
    if (!transferRunning()) return;
    pacer_->requestStop();
    getThread.join();
    if (gate_) gate_->leave();
}

void QXSaveableConfig::getDeviceConfig()
{
    std::optional<TransferEnd> end = runTransfer();
    // Stopped from the UI thread, which has already cleaned up.
    if (!end) return;
    end->transfer = transferNumber_;
    postToUi([this, end = *end] { endTransfer(end); });
}

void QXSaveableConfig::endTransfer(const TransferEnd& end)
{
    // stop() may have ended this transfer before its end arrived here, and
    // another may have started since.
    if (!transferRunning() || end.transfer != transferNumber_) return;
    getThread.join();  // the thread's last act was posting this task
    if (gate_) gate_->leave();
    if (progress_) progress_(end.progress);
    if (outcome_) outcome_(end.outcome);
}

void QXSaveableConfig::postProgress(double fraction)
{
    // More than a pass's worth of messages waiting (other tabs enqueue too)
    // would push the formula below zero.
    const double shown = std::clamp(fraction, 0.0, 1.0);
    postToUi([this, shown] {
        if (progress_) progress_(shown);
    });
}

void QXSaveableConfig::postToUi(std::function<void()> task)
{
    mainQueue_.post([alive = std::weak_ptr<bool>(alive_), task = std::move(task)] {
        if (alive.lock()) task();
    });
}

}  // namespace qx
