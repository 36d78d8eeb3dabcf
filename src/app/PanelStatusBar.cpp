#include "app/PanelStatusBar.h"

#include <QLabel>
#include <QPalette>

namespace qx::app {
namespace {

constexpr const char* kBeforeFirstWord = "Starting the link to the looper";

}  // namespace

PanelStatusBar::PanelStatusBar(QXInterface& link, QWidget* parent) : QStatusBar(parent)
{
    link.linkStateModel = linkState_;
    linkStateLabel_ = new QLabel(QString::fromUtf8(kBeforeFirstWord), this);
    linkStateLabel_->setTextFormat(Qt::PlainText);
    // Its own text colour, so a failure shown on the left does not tint it.
    QPalette palette = linkStateLabel_->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::WindowText));
    linkStateLabel_->setPalette(palette);
    addPermanentWidget(linkStateLabel_);
    subscription_ = ModelSubscription(linkState_, [this] {
        linkStateLabel_->setText(QString::fromStdString(linkState_->text()));
    });
}

QString PanelStatusBar::linkState() const { return linkStateLabel_->text(); }

void PanelStatusBar::showOutcome(const Outcome& outcome)
{
    lastFailed_ = !outcome.success;
    // A failure stands out in red; it stays until the next outcome.
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, outcome.success ? QPalette().color(QPalette::WindowText) : QColor(200, 0, 0));
    setPalette(palette);
    showMessage(QString::fromStdString(outcome.text));
}

}  // namespace qx::app
