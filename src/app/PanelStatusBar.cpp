#include "app/PanelStatusBar.h"

#include <QLabel>
#include <QPalette>

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
    // Its own text colour, so a failure shown on the left does not tint it.
    QPalette palette = linkStateLabel_->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::WindowText));
    linkStateLabel_->setPalette(palette);
    addPermanentWidget(linkStateLabel_);
    linkSubscription_ = ModelSubscription(status, [this, status] {
        linkStateLabel_->setText(QString::fromStdString(statusWords(status->state())));
    });
    auto outcome = models.outcome;
    outcomeSubscription_ = ModelSubscription(outcome, [this, outcome] { showOutcome(outcome->last()); });
}

QString PanelStatusBar::linkState() const { return linkStateLabel_->text(); }
QString PanelStatusBar::outcomeText() const { return outcomeLabel_->text(); }

void PanelStatusBar::showOutcome(const Outcome& outcome)
{
    lastFailed_ = !outcome.success;
    // A failure stands out in red; it stays until the next outcome.
    QPalette palette = outcomeLabel_->palette();
    palette.setColor(QPalette::WindowText, outcome.success ? QPalette().color(QPalette::WindowText) : QColor(200, 0, 0));
    outcomeLabel_->setPalette(palette);
    outcomeLabel_->setText(QString::fromStdString(outcome.text));
}

}  // namespace qx::app
