#include "app/PanelStatusBar.h"

#include <QEvent>
#include <QLabel>
#include <QPalette>

#include "app/TrackColors.h"

namespace qx::app {

PanelStatusBar::PanelStatusBar(SessionModels& models, QWidget* parent) : QStatusBar(parent)
{
    // On the left, a label of its own: a temporary message would be erased by
    // the next tool tip, while the outcome stays until the next one.
    outcomeLabel_ = new QLabel(this);
    outcomeLabel_->setTextFormat(Qt::PlainText);
    addWidget(outcomeLabel_, 1);
    auto status = models.linkStatus;
    linkStateLabel_ = new QLabel(QString::fromStdString(statusWords(status->state())), this);
    linkStateLabel_->setTextFormat(Qt::PlainText);
    addPermanentWidget(linkStateLabel_);
    linkSubscription_ = ModelSubscription(status, [this, status] {
        linkStateLabel_->setText(QString::fromStdString(statusWords(status->state())));
    });
    auto outcome = models.outcome;
    outcomeSubscription_ = ModelSubscription(outcome, [this, outcome] { showOutcome(outcome->last()); });
    auto notice = models.midiNotice;
    noticeSubscription_ = ModelSubscription(notice, [this, notice] { showNotice(notice->text()); });
    showNotice(notice->text());
}

QString PanelStatusBar::linkState() const { return linkStateLabel_->text(); }
QString PanelStatusBar::outcomeText() const { return outcomeLabel_->text(); }

void PanelStatusBar::showOutcome(const Outcome& outcome)
{
    // It stays until the next outcome.
    showingNotice_ = false;
    lastFailed_ = !outcome.success;
    outcomeLabel_->setText(QString::fromStdString(outcome.text));
    paintOutcome();
}

void PanelStatusBar::showNotice(const std::string& notice)
{
    if (notice.empty()) {
        if (showingNotice_) showOutcome({true, ""});
        return;
    }
    showOutcome({false, notice});
    showingNotice_ = true;
}

void PanelStatusBar::paintOutcome()
{
    if (!lastFailed_) {
        outcomeLabel_->setPalette(QPalette());  // the bar's own colours
        return;
    }
    QPalette palette = outcomeLabel_->palette();
    palette.setColor(QPalette::WindowText, readableOn(QColor(200, 0, 0), this->palette().color(backgroundRole())));
    outcomeLabel_->setPalette(palette);
}

void PanelStatusBar::changeEvent(QEvent* event)
{
    // The desktop switched to another palette: the failure red follows it.
    if (event->type() == QEvent::PaletteChange) paintOutcome();
    QStatusBar::changeEvent(event);
}

}  // namespace qx::app
