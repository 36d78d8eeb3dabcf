#pragma once
// Where the links hand what the looper says: each decoded report goes to its
// model on the UI thread, configuration replies also to a running transfer,
// and a status report after a silence (or the first on a new link) asks for
// the looper's configuration. Called on the links' threads.
#include <functional>

#include "common/MainQueue.h"
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

private:
    void takeTracks(const TrackReport& report);
    void requestConfiguration();

    MainQueue& mainQueue_;
    SessionModels models_;  // shared with the session; copies of its pointers
    LinkHost host_;
    ReplyTaker transferReply_;
    std::function<void(const Outcome&)> upgradeEndedHook_;
};

}  // namespace qx
