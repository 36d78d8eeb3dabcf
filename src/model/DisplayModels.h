#pragma once
// The small observable models that the links write (through the UI thread)
// and the views show: progress, the device line and the log.
#include <string>

#include "model/Observable.h"

namespace qx {

class CompletionPercent : public Observable {
public:
    const std::string id = makeUuid();
    double completion() const { return completion_; }
    void setCompletion(double value) { completion_ = value; notify(); }

private:
    double completion_ = 0.0;
};

class ObservableText : public Observable {
public:
    const std::string id = makeUuid();
    const std::string& text() const { return text_; }
    void setText(std::string value) { text_ = std::move(value); notify(); }

private:
    std::string text_;
};

class LogText : public Observable {
public:
    const std::string id = makeUuid();
    const std::string& log() const { return log_; }
    void setLog(std::string value) { log_ = std::move(value); notify(); }
    // Writers append at the end; nothing is inserted between entries.
    void append(const std::string& text) { setLog(log_ + text); }

private:
    std::string log_;
};

}  // namespace qx
