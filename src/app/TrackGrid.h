#pragma once
// The Main tab's track grid: a header column and one column per track, seven
// rows (title, length, position, state, pan, volume, feedback), redrawn from
// the Tracks model whenever it changes.
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <QColor>
#include <QWidget>

#include "app/ModelSubscription.h"
#include "model/Tracks.h"

class QLabel;

namespace qx::app {

class TrackGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRows = 7;
    static constexpr int kColumnGap = 20;
    static constexpr int kMinRowHeight = 10;
    static constexpr int kStateCellWidth = 80;

    explicit TrackGrid(std::shared_ptr<Tracks> tracks, QWidget* parent = nullptr);

    // The header column is column 0; track columns follow in list order.
    int columnCount() const { return static_cast<int>(columns_.size()) + 1; }
    QString text(int row, int column) const;
    // The colour behind a cell's text, or nothing when it is clear.
    std::optional<QColor> fill(int row, int column) const;
    QLabel* cell(int row, int column) const;

    // Shows the model's current records.
    void refresh();

private:
    using Column = std::array<QLabel*, kRows>;
    std::shared_ptr<Tracks> tracks_;
    QLabel* header_[kRows] = {};
    std::vector<Column> columns_;
    ModelSubscription subscription_;
};

}  // namespace qx::app
