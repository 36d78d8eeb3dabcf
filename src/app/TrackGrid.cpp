#include "app/TrackGrid.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>

#include "app/TrackColors.h"

namespace qx::app {
namespace {

enum Row { title, length, position, state, pan, volume, feedback };

const char* const kHeaders[TrackGrid::kRows] = {"", "Length", "Position", "Status", "Pan", "Volume", "Feedback"};

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// The colour sits right behind the text: the label is as wide as its text
// plus a little padding, and only the label is filled. A clear cell takes the
// grid's colours, so it follows the desktop's palette.
void paintBehindText(QLabel* label, TrackColor color)
{
    const auto fill = fillColor(color);
    // Every report rebuilds every record; most leave the colours as they were.
    if (!fill) {
        if (!label->autoFillBackground() && !label->testAttribute(Qt::WA_SetPalette)) return;
        label->setAutoFillBackground(false);
        label->setPalette(QPalette());
        return;
    }
    QPalette palette = label->palette();
    if (label->autoFillBackground() && palette.color(label->backgroundRole()) == *fill) return;
    palette.setColor(label->backgroundRole(), *fill);
    palette.setColor(label->foregroundRole(), textColorOn(color));
    label->setAutoFillBackground(true);
    label->setPalette(palette);
}

}  // namespace

TrackGrid::TrackGrid(std::shared_ptr<Tracks> tracks, QWidget* parent) : QWidget(parent), tracks_(std::move(tracks))
{
    // The desktop's content colours (white in a light theme) behind the
    // whole grid; the cells take the matching text colour.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(kColumnGap);
    grid->setSizeConstraint(QLayout::SetMinimumSize);
    for (int row = 0; row < kRows; ++row) {
        grid->setRowMinimumHeight(row, kMinRowHeight);
        header_[row] = plainLabel(kHeaders[row], this);
        grid->addWidget(header_[row], row, 0, Qt::AlignVCenter | Qt::AlignLeft);
    }

    columns_.resize(tracks_->tracks().size());
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const int column = static_cast<int>(i) + 1;
        for (int row = 0; row < kRows; ++row) {
            QLabel* label = plainLabel(QString(), this);
            columns_[i][row] = label;
            if (row == title) label->setContentsMargins(3, 0, 3, 0);
            if (row == state) {
                // An 80-px cell with the state name centred in it.
                auto* stateCell = new QWidget(this);
                stateCell->setFixedWidth(kStateCellWidth);
                auto* centre = new QHBoxLayout(stateCell);
                centre->setContentsMargins(0, 0, 0, 0);
                label->setParent(stateCell);
                label->setContentsMargins(3, 0, 3, 0);
                centre->addWidget(label, 0, Qt::AlignCenter);
                grid->addWidget(stateCell, row, column, Qt::AlignCenter);
            } else {
                grid->addWidget(label, row, column, Qt::AlignCenter);
            }
        }
    }

    subscription_ = ModelSubscription(tracks_, [this] { refresh(); });
    refresh();
}

void TrackGrid::refresh()
{
    const auto& records = tracks_->tracks();
    for (std::size_t i = 0; i < columns_.size() && i < records.size(); ++i) {
        const TrackStatus& record = records[i];
        Column& column = columns_[i];
        column[title]->setText(QStringLiteral("Track %1").arg(record.index));
        column[length]->setText(QString::fromStdString(record.length));
        column[position]->setText(QString::fromStdString(record.position));
        column[state]->setText(QString::fromStdString(record.status));
        column[pan]->setText(QString::fromStdString(record.pan));
        column[volume]->setText(QString::fromStdString(record.volume));
        column[feedback]->setText(QString::fromStdString(record.feedback));
        paintBehindText(column[title], record.trackNumColor);
        paintBehindText(column[state], record.color);
    }
}

QLabel* TrackGrid::cell(int row, int column) const
{
    if (row < 0 || row >= kRows || column < 0 || column >= columnCount()) return nullptr;
    return column == 0 ? header_[row] : columns_[static_cast<std::size_t>(column - 1)][row];
}

QString TrackGrid::text(int row, int column) const
{
    const QLabel* label = cell(row, column);
    return label ? label->text() : QString();
}

std::optional<QColor> TrackGrid::fill(int row, int column) const
{
    const QLabel* label = cell(row, column);
    if (!label || !label->autoFillBackground()) return std::nullopt;
    return label->palette().color(label->backgroundRole());
}

}  // namespace qx::app
