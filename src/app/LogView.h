#pragma once
// The "Log" tab: the looper's running log in an editable text area. Text the
// links append shows at the end; the user's edits go straight back into the
// log model, so later text is appended after them.
#include <cstdint>
#include <memory>
#include <string>

#include <QPlainTextEdit>

#include "app/ModelSubscription.h"
#include "model/DisplayModels.h"

namespace qx::app {

class LogView : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kWidth = 700;
    static constexpr int kHeight = 400;

    explicit LogView(std::shared_ptr<LogText> log, QWidget* parent = nullptr);

private:
    void showModel();
    void takeUserEdit();

    std::shared_ptr<LogText> logText_;
    // The model text this area shows, and how much the model had dropped from
    // its front then; together they tell an append from any other change.
    std::string shown_;
    std::uint64_t shownDropped_ = 0;
    bool showingModel_ = false;
    bool takingEdit_ = false;
    ModelSubscription subscription_;
};

}  // namespace qx::app
