#include "app/LogView.h"

#include <algorithm>

#include <QScrollBar>
#include <QTextCursor>

namespace qx::app {
namespace {

// How many document positions text takes: one per UTF-16 unit, except that a
// CR LF pair becomes one paragraph break.
int positionsOf(const std::string& text)
{
    const QString converted = QString::fromStdString(text);
    return static_cast<int>(converted.size() - converted.count(QStringLiteral("\r\n")));
}

}  // namespace

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
    if (takingEdit_) return;  // the echo of the user's own edit
    const LogText& log = *logText_;
    const std::uint64_t newlyDropped = log.dropped() - std::min(log.dropped(), shownDropped_);
    const bool appended = log.dropped() >= shownDropped_ && newlyDropped <= shown_.size() &&
                          log.end() >= shownDropped_ + shown_.size() &&
                          log.log().compare(0, shown_.size() - newlyDropped, shown_, newlyDropped) == 0;
    if (appended && log.end() == shownDropped_ + shown_.size()) return;

    showingModel_ = true;
    QScrollBar* bar = verticalScrollBar();
    const bool followingEnd = bar->value() == bar->maximum();
    if (appended) {
        // Old text dropped at the front and new text added at the end, leaving
        // the user's cursor and selection on the text they were on.
        const auto kept = static_cast<std::size_t>(shown_.size() - newlyDropped);
        if (newlyDropped > 0) {
            QTextCursor front(document());
            front.setPosition(std::min(positionsOf(shown_.substr(0, newlyDropped)), document()->characterCount() - 1),
                              QTextCursor::KeepAnchor);
            front.removeSelectedText();
        }
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        end.insertText(QString::fromStdString(log.log().substr(kept)));
    } else {
        const int keep = textCursor().position();
        setPlainText(QString::fromStdString(log.log()));
        QTextCursor cursor = textCursor();
        cursor.setPosition(std::min(keep, document()->characterCount() - 1));
        setTextCursor(cursor);
    }
    shown_ = log.log();
    shownDropped_ = log.dropped();
    if (followingEnd) bar->setValue(bar->maximum());
    showingModel_ = false;
}

void LogView::takeUserEdit()
{
    if (showingModel_) return;
    std::string edited = toPlainText().toStdString();
    const std::uint64_t droppedBefore = logText_->dropped();
    takingEdit_ = true;
    logText_->setLog(edited);
    takingEdit_ = false;
    shown_ = std::move(edited);
    shownDropped_ = droppedBefore;
    // A paste past the log's limit is cut at the front by the model; the view
    // drops the same text.
    showModel();
}

}  // namespace qx::app
