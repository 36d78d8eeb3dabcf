#include "app/LogView.h"

#include <algorithm>

#include <QScrollBar>
#include <QTextCursor>

namespace qx::app {

LogView::LogView(std::shared_ptr<LogText> log, QWidget* parent) : QPlainTextEdit(parent), logText_(std::move(log))
{
    setFixedSize(kWidth, kHeight);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The looper's text is shown as it comes: no undo history to grow with it.
    setUndoRedoEnabled(false);

    connect(this, &QPlainTextEdit::textChanged, this, &LogView::takeUserEdit);
    subscription_ = ModelSubscription(logText_, [this] { showModel(); });
    showModel();
}

void LogView::showModel()
{
    const std::string& log = logText_->log();
    if (log == shown_) return;  // the echo of the user's own edit

    showingModel_ = true;
    QScrollBar* bar = verticalScrollBar();
    const bool followingEnd = bar->value() == bar->maximum();
    if (log.size() > shown_.size() && log.compare(0, shown_.size(), shown_) == 0) {
        // An append: add only the new text, at the end, leaving the user's
        // cursor and selection where they are.
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        end.insertText(QString::fromStdString(log.substr(shown_.size())));
    } else {
        const int keep = textCursor().position();
        setPlainText(QString::fromStdString(log));
        QTextCursor cursor = textCursor();
        cursor.setPosition(std::min(keep, document()->characterCount() - 1));
        setTextCursor(cursor);
    }
    shown_ = log;
    if (followingEnd) bar->setValue(bar->maximum());
    showingModel_ = false;
}

void LogView::takeUserEdit()
{
    if (showingModel_) return;
    shown_ = toPlainText().toStdString();
    logText_->setLog(shown_);
}

}  // namespace qx::app
