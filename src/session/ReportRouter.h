#pragma once
// Where the links hand what the looper says: each decoded report goes to its
// model on the UI thread, configuration replies also to a running transfer,
// and a status report after a silence (or the first on a new link) asks for
// the looper's configuration. Called on the links' threads.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/MainQueue.h"
#include "session/HandOff.h"
#include "session/SessionModels.h"
#include "transport/Link.h"

namespace qx {

class ReportRouter final : public ReportSink {
public:
    using ReplyTaker = std::function<void(Bytes message)>;
    // transferReply takes the configuration replies a transfer reads;
    // upgradeEnded is told (on the link's thread) before the outcome is shown.
    ReportRouter(MainQueue& mainQueue, SessionModels& models, LinkHost host, ReplyTaker transferReply,
                 std::function<void(const Outcome&)> upgradeEnded);

    void received(Transport from, LooperReport report) override;
    void showDeviceLine(std::string text) override;
    void showProgress(double fraction) override;
    void upgradeEnded(Outcome outcome) override;
    void showMidiDevices(std::vector<std::string> names) override;
    void showMidiNotice(std::string text) override;

private:
    void takeTracks(const TrackReport& report);
    void takeLog(std::string text);
    void requestConfiguration();

    MainQueue& mainQueue_;
    SessionModels models_;  // shared with the session; copies of its pointers
    LinkHost host_;
    ReplyTaker transferReply_;
    std::function<void(const Outcome&)> upgradeEndedHook_;
    // Shared with the task posted to the UI thread, which may outlive the router.
    std::shared_ptr<HandOff<std::vector<QXStatusStruct>>> latestTracks_ =
        std::make_shared<HandOff<std::vector<QXStatusStruct>>>();
    std::shared_ptr<HandOff<EffectsReport>> latestEffects_ = std::make_shared<HandOff<EffectsReport>>();
    std::shared_ptr<HandOff<std::string>> pendingLog_ = std::make_shared<HandOff<std::string>>();
};

}  // namespace qx
